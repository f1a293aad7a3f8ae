#include "KernelRegistry.h"

#include "IOHIDSystemService.h"
#include "OSPropertyList.h"

namespace platform {
namespace {

// The service retained for the scope, or null when it is gone.
class ServiceReference {
public:
    explicit ServiceReference(ServiceId id) : fService(IOService::copyServiceWithID(id)) {}
    ~ServiceReference() { OSSafeReleaseNULL(fService); }
    ServiceReference(const ServiceReference&) = delete;
    ServiceReference& operator=(const ServiceReference&) = delete;
    IOService* operator->() const { return fService; }
    explicit operator bool() const { return fService != nullptr; }
    IOService* Get() const { return fService; }

private:
    IOService* fService;
};

}  // namespace

KernelRegistry::~KernelRegistry() {
    for (const auto& [id, interest] : fInterests) {
        if (ServiceReference service{interest.service}) {
            service->unregisterInterest(interest.notifier);
        }
    }
}

std::vector<ServiceId> KernelRegistry::ServicesOfClass(std::string_view className) {
    std::vector<ServiceId> ids;
    for (IOService* service : IOService::copyMatchingServices(className)) {
        ids.push_back(service->getRegistryEntryID());
        service->release();
    }
    return ids;
}

std::optional<PropertyList> KernelRegistry::Properties(ServiceId id) {
    ServiceReference service{id};
    if (!service) {
        return std::nullopt;
    }
    OSDictionary* properties = service->dictionaryWithProperties();
    std::optional<PropertyList> converted = CreatePropertyList(properties);
    properties->release();
    return converted;
}

IOReturn KernelRegistry::SetProperties(ServiceId id, const PropertyList& properties) {
    ServiceReference service{id};
    if (!service) {
        return kIOReturnNoDevice;
    }
    OSObject* object = CreateOSObject(properties);
    if (object == nullptr) {
        return kIOReturnBadArgument;
    }
    IOReturn result = service->setProperties(object);
    object->release();
    return result;
}

std::optional<InterestId> KernelRegistry::AddInterest(ServiceId id, InterestSink sink) {
    ServiceReference service{id};
    if (!service) {
        return std::nullopt;
    }
    IOService::InterestNotifierID notifier = service->registerInterest(
        ::kIOGeneralInterest,
        [sink = std::move(sink)](IOService&, std::uint32_t type, void* argument, std::size_t) {
            sink(type, reinterpret_cast<std::uintptr_t>(argument));
        });
    if (notifier == 0) {
        return std::nullopt;
    }
    InterestId interest = fNextInterest++;
    fInterests[interest] = Interest{id, notifier};
    return interest;
}

void KernelRegistry::RemoveInterest(InterestId interest) {
    auto found = fInterests.find(interest);
    if (found == fInterests.end()) {
        return;
    }
    // A terminated service has dropped its clients already.
    if (ServiceReference service{found->second.service}) {
        service->unregisterInterest(found->second.notifier);
    }
    fInterests.erase(found);
}

IOReturn KernelRegistry::Open(ServiceId id, std::uint32_t type) {
    ServiceReference service{id};
    if (!service) {
        return kIOReturnNoDevice;
    }
    if (OSDynamicCast(IOHIDSystem, service.Get()) == nullptr || type != kIOHIDParamConnectType) {
        return kIOReturnUnsupported;
    }
    if (fOpenRefused) {
        return kIOReturnNotPermitted;
    }
    ++fOpenConnections;
    return kIOReturnSuccess;
}

void KernelRegistry::Close(ServiceId, std::uint32_t) {
    if (fOpenConnections > 0) {
        --fOpenConnections;
    }
}

}  // namespace platform
