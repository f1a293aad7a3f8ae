#include "IOService.h"

#include <algorithm>
#include <mutex>

#include "OSNumber.h"

OSDefineMetaClassAndStructors(IOService, OSObject);

namespace {
struct LiveServices {
    std::mutex mutex;
    std::vector<IOService*> services;
    std::uint64_t nextEntryID = 1;
};

LiveServices& Live() {
    static LiveServices live;
    return live;
}

}  // namespace

IOService::~IOService() {
    OSSafeReleaseNULL(fProperties);
}

bool IOService::init(OSDictionary* dictionary) {
    OSSafeReleaseNULL(fProperties);
    fProperties = OSDictionary::withDictionary(dictionary);
    return true;
}

IOReturn IOService::setProperties(OSObject*) {
    return kIOReturnUnsupported;
}

bool IOService::setProperty(std::string_view key, OSObject* value) {
    if (fProperties == nullptr) {
        fProperties = OSDictionary::withCapacity(4);
    }
    return fProperties->setObject(key, value);
}

bool IOService::setProperty(std::string_view key, std::uint64_t number, unsigned numberOfBits) {
    OSNumber* value = OSNumber::withNumber(number, numberOfBits);
    bool stored = setProperty(key, value);
    value->release();
    return stored;
}

OSObject* IOService::getProperty(std::string_view key) const {
    return fProperties == nullptr ? nullptr : fProperties->getObject(key);
}

OSDictionary* IOService::dictionaryWithProperties() const {
    return OSDictionary::withDictionary(fProperties);
}

IOService::InterestNotifierID IOService::registerInterest(std::string_view typeOfInterest,
                                                          InterestHandler handler) {
    if (typeOfInterest != kIOGeneralInterest || !handler) {
        return 0;
    }
    InterestNotifierID id = fNextInterestID++;
    fInterestClients.push_back({id, std::make_shared<const InterestHandler>(std::move(handler))});
    return id;
}

bool IOService::unregisterInterest(InterestNotifierID notifier) {
    auto found = std::find_if(fInterestClients.begin(), fInterestClients.end(),
                              [&](const InterestClient& c) { return c.id == notifier; });
    if (notifier == 0 || found == fInterestClients.end()) {
        return false;
    }
    found->id = 0;
    found->handler.reset();
    SweepInterestClients();
    return true;
}

void IOService::SweepInterestClients() {
    // While messages are being delivered slots are only emptied, so that the
    // loop in messageClients keeps valid indexes; they are swept afterwards.
    if (fDispatchDepth == 0) {
        std::erase_if(fInterestClients, [](const InterestClient& c) { return c.id == 0; });
    }
}

IOReturn IOService::messageClients(std::uint32_t type, void* argument, std::size_t argumentSize) {
    ++fDispatchDepth;
    // Clients registered by a handler during delivery get the next message.
    const std::size_t count = fInterestClients.size();
    for (std::size_t i = 0; i < count; ++i) {
        // A copy keeps the handler alive if it unregisters itself.
        std::shared_ptr<const InterestHandler> handler = fInterestClients[i].handler;
        if (handler) {
            (*handler)(*this, type, argument, argumentSize);
        }
    }
    --fDispatchDepth;
    SweepInterestClients();
    return kIOReturnSuccess;
}

void IOService::registerService() {
    LiveServices& live = Live();
    std::lock_guard lock(live.mutex);
    if (fRegistryEntryID != 0) {
        return;
    }
    retain();
    fRegistryEntryID = live.nextEntryID++;
    live.services.push_back(this);
}

void IOService::terminate() {
    {
        LiveServices& live = Live();
        std::lock_guard lock(live.mutex);
        if (std::find(live.services.begin(), live.services.end(), this) == live.services.end()) {
            return;
        }
        std::erase(live.services, this);
    }
    messageClients(kIOMessageServiceIsTerminated);
    for (InterestClient& client : fInterestClients) {
        client.id = 0;
        client.handler.reset();
    }
    SweepInterestClients();
    release();
}

std::vector<IOService*> IOService::copyMatchingServices(std::string_view className) {
    LiveServices& live = Live();
    std::lock_guard lock(live.mutex);
    std::vector<IOService*> matching;
    for (IOService* service : live.services) {
        if (service->getMetaClass()->isSubclassOf(className)) {
            service->retain();
            matching.push_back(service);
        }
    }
    return matching;
}

IOService* IOService::copyServiceWithID(std::uint64_t registryEntryID) {
    LiveServices& live = Live();
    std::lock_guard lock(live.mutex);
    for (IOService* service : live.services) {
        if (service->fRegistryEntryID == registryEntryID) {
            service->retain();
            return service;
        }
    }
    return nullptr;
}
