#include "Registry.h"

#include <map>
#include <memory>
#include <vector>

#include "Handles.h"
#include "KernelRegistry.h"
#include "NotificationPort.h"

namespace platform {
namespace {

inline constexpr std::string_view kIOProviderClassKey = "IOProviderClass";

std::unique_ptr<RegistryBackend>& Backend() {
    static std::unique_ptr<RegistryBackend> backend = std::make_unique<KernelRegistry>();
    return backend;
}

// The ports alive in the program; interest notifications hold them weakly so
// that a destroyed port silently ends them.
std::map<IONotificationPort*, std::shared_ptr<IONotificationPort>>& Ports() {
    static std::map<IONotificationPort*, std::shared_ptr<IONotificationPort>> ports;
    return ports;
}

class IteratorObject final : public UserObject {
public:
    explicit IteratorObject(std::vector<ServiceId> services) : fServices(std::move(services)) {}
    std::optional<ServiceId> Next() {
        if (fPosition >= fServices.size()) {
            return std::nullopt;
        }
        return fServices[fPosition++];
    }

private:
    std::vector<ServiceId> fServices;
    std::size_t fPosition = 0;
};

// A general-interest registration: it keeps the service's handle alive and
// ends delivery (of queued messages too) when released.
class InterestObject final : public UserObject {
public:
    InterestObject(io_service_t service, std::shared_ptr<bool> alive)
        : fService(service), fAlive(std::move(alive)) {}
    void SetInterest(InterestId interest) { fInterest = interest; }
    void LastReferenceDropped() override {
        *fAlive = false;
        if (fInterest) {
            CurrentRegistryBackend().RemoveInterest(*fInterest);
        }
        IOObjectRelease(fService);
    }

private:
    io_service_t fService;
    std::shared_ptr<bool> fAlive;
    std::optional<InterestId> fInterest;
};

std::shared_ptr<ServiceObject> LookupService(io_object_t handle) {
    return std::dynamic_pointer_cast<ServiceObject>(LookupUserObject(handle));
}

kern_return_t InvalidHandleResult(io_object_t handle) {
    return LookupUserObject(handle) ? kIOReturnBadArgument : MACH_SEND_INVALID_DEST;
}

bool HasEveryEntryOf(const PropertyList::Dictionary& wanted, const PropertyList& properties) {
    for (const auto& [key, value] : wanted) {
        if (key == kIOProviderClassKey) {
            continue;
        }
        const PropertyList* actual = properties.Find(key);
        if (actual == nullptr || !(*actual == value)) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::unique_ptr<RegistryBackend> InstallRegistryBackend(std::unique_ptr<RegistryBackend> backend) {
    ResetUserObjects();
    return std::exchange(Backend(), std::move(backend));
}

RegistryBackend& CurrentRegistryBackend() {
    return *Backend();
}

kern_return_t IOMasterPort(mach_port_t, mach_port_t* masterPort) {
    if (masterPort == nullptr) {
        return kIOReturnBadArgument;
    }
    *masterPort = kIOMasterPortDefault;
    return KERN_SUCCESS;
}

std::optional<PropertyList> IOServiceMatching(std::string_view className) {
    if (className.empty()) {
        return std::nullopt;
    }
    return PropertyList(PropertyList::Dictionary{{std::string(kIOProviderClassKey), className}});
}

kern_return_t IOServiceGetMatchingServices(mach_port_t, const PropertyList& matching,
                                           io_iterator_t* existing) {
    const PropertyList* providerClass = matching.Find(kIOProviderClassKey);
    if (existing == nullptr || providerClass == nullptr || providerClass->AsString() == nullptr) {
        return kIOReturnBadArgument;
    }
    RegistryBackend& backend = CurrentRegistryBackend();
    std::vector<ServiceId> services = backend.ServicesOfClass(*providerClass->AsString());
    // Keys besides the class are property matches.
    if (matching.AsDictionary()->size() > 1) {
        std::erase_if(services, [&](ServiceId service) {
            std::optional<PropertyList> properties = backend.Properties(service);
            return !properties || !HasEveryEntryOf(*matching.AsDictionary(), *properties);
        });
    }
    *existing = AddUserObject(std::make_shared<IteratorObject>(std::move(services)));
    return KERN_SUCCESS;
}

io_object_t IOIteratorNext(io_iterator_t iterator) {
    auto object = std::dynamic_pointer_cast<IteratorObject>(LookupUserObject(iterator));
    if (!object) {
        return 0;
    }
    std::optional<ServiceId> next = object->Next();
    return next ? ServiceHandle(*next) : 0;
}

kern_return_t IORegistryEntryCreateCFProperties(io_registry_entry_t entry, PropertyList* properties,
                                                CFAllocatorRef, IOOptionBits) {
    std::shared_ptr<ServiceObject> service = LookupService(entry);
    if (!service) {
        return InvalidHandleResult(entry);
    }
    if (properties == nullptr) {
        return kIOReturnBadArgument;
    }
    std::optional<PropertyList> read = CurrentRegistryBackend().Properties(service->Service());
    if (!read) {
        return kIOReturnNoDevice;
    }
    *properties = std::move(*read);
    return KERN_SUCCESS;
}

kern_return_t IORegistryEntrySetCFProperties(io_registry_entry_t entry,
                                             const PropertyList& properties) {
    std::shared_ptr<ServiceObject> service = LookupService(entry);
    if (!service) {
        return InvalidHandleResult(entry);
    }
    return CurrentRegistryBackend().SetProperties(service->Service(), properties);
}

IONotificationPortRef IONotificationPortCreate(mach_port_t) {
    auto port = std::make_shared<IONotificationPort>();
    Ports()[port.get()] = port;
    return port.get();
}

CFRunLoopSourceRef IONotificationPortGetRunLoopSource(IONotificationPortRef notify) {
    auto found = Ports().find(notify);
    return found == Ports().end() ? nullptr : found->second->Source();
}

void IONotificationPortDestroy(IONotificationPortRef notify) {
    Ports().erase(notify);
}

std::weak_ptr<IONotificationPort> FindNotificationPort(IONotificationPortRef notify) {
    auto found = Ports().find(notify);
    return found == Ports().end() ? nullptr : found->second;
}

kern_return_t IOServiceAddInterestNotification(IONotificationPortRef notifyPort,
                                               io_service_t service, std::string_view interestType,
                                               IOServiceInterestCallback callback, void* refCon,
                                               io_object_t* notification) {
    std::weak_ptr<IONotificationPort> weakPort = FindNotificationPort(notifyPort);
    std::shared_ptr<ServiceObject> serviceObject = LookupService(service);
    if (!serviceObject) {
        return InvalidHandleResult(service);
    }
    if (weakPort.expired() || interestType != kIOGeneralInterest || callback == nullptr ||
        notification == nullptr) {
        return kIOReturnBadArgument;
    }
    auto alive = std::make_shared<bool>(true);
    InterestSink sink = [weakPort, alive, callback, refCon, service](natural_t messageType,
                                                                     std::uintptr_t argument) {
        if (std::shared_ptr<IONotificationPort> target = weakPort.lock()) {
            target->Deliver([alive, callback, refCon, service, messageType, argument] {
                if (*alive) {
                    callback(refCon, service, messageType, reinterpret_cast<void*>(argument));
                }
            });
        }
    };
    std::optional<InterestId> interest =
        CurrentRegistryBackend().AddInterest(serviceObject->Service(), std::move(sink));
    if (!interest) {
        return kIOReturnNoDevice;
    }
    IOObjectRetain(service);
    auto object = std::make_shared<InterestObject>(service, alive);
    object->SetInterest(*interest);
    *notification = AddUserObject(std::move(object));
    return KERN_SUCCESS;
}

kern_return_t IOServiceOpen(io_service_t service, task_port_t, std::uint32_t type,
                            io_connect_t* connect) {
    std::shared_ptr<ServiceObject> serviceObject = LookupService(service);
    if (!serviceObject) {
        return InvalidHandleResult(service);
    }
    if (connect == nullptr) {
        return kIOReturnBadArgument;
    }
    IOReturn result = CurrentRegistryBackend().Open(serviceObject->Service(), type);
    if (result != kIOReturnSuccess) {
        return result;
    }
    *connect =
        AddUserObject(std::make_shared<ServiceConnectionObject>(serviceObject->Service(), type));
    return KERN_SUCCESS;
}

kern_return_t IOServiceClose(io_connect_t connect) {
    auto connection = std::dynamic_pointer_cast<ConnectionObject>(LookupUserObject(connect));
    if (!connection) {
        return InvalidHandleResult(connect);
    }
    if (!connection->IsOpen()) {
        return kIOReturnNotOpen;
    }
    connection->Close();
    return IOObjectRelease(connect);
}

}  // namespace platform
