#include "SimulatedKernel.h"

#include "OSKext.h"
#include "OSNumber.h"
#include "OrvandelDriver.h"

namespace platform {

SimulatedKernel::SimulatedKernel(EventObserver events, MessageObserver messages)
    : fEvents(std::move(events)), fMessages(std::move(messages)) {
    SetHIDSystemPresent(true);
}

SimulatedKernel::~SimulatedKernel() {
    while (!fDrivers.empty()) {
        StopDriver(fDrivers.begin()->first);
    }
    SetHIDSystemPresent(false);
    if (fLoadedModule) {
        OSKext::unload(kOrvandelDriverModule);
    }
}

bool SimulatedKernel::EnsureModuleLoaded() {
    if (OSKext::isLoaded(kOrvandelDriverModule.identifier)) {
        return true;
    }
    fLoadedModule = OSKext::load(kOrvandelDriverModule) == kIOReturnSuccess;
    return fLoadedModule;
}

com_halvorin_OrvandelDriver* SimulatedKernel::StartDriver(std::uint64_t mouse,
                                                          std::int32_t vendorId,
                                                          std::int32_t productId) {
    if (fDrivers.contains(mouse) || !EnsureModuleLoaded()) {
        return nullptr;
    }
    return Adopt(mouse, OSKext::instantiateForDevice(static_cast<std::uint32_t>(vendorId),
                                                     static_cast<std::uint32_t>(productId)));
}

com_halvorin_OrvandelDriver* SimulatedKernel::StartUnmatchedDriver(std::uint64_t mouse,
                                                                   std::int32_t vendorId,
                                                                   std::int32_t productId) {
    if (fDrivers.contains(mouse) || !EnsureModuleLoaded()) {
        return nullptr;
    }
    auto* service = OSDynamicCast(
        IOService,
        OSMetaClass::allocClassWithName(com_halvorin_OrvandelDriver::gMetaClass.getClassName()));
    if (service == nullptr || !service->init()) {
        OSSafeReleaseNULL(service);
        return nullptr;
    }
    service->setProperty("VendorID", static_cast<std::uint32_t>(vendorId), 32);
    service->setProperty("ProductID", static_cast<std::uint32_t>(productId), 32);
    service->registerService();
    return Adopt(mouse, service);
}

com_halvorin_OrvandelDriver* SimulatedKernel::Adopt(std::uint64_t mouse, IOService* service) {
    auto* driver = OSDynamicCast(com_halvorin_OrvandelDriver, service);
    if (driver == nullptr) {
        if (service != nullptr) {
            service->terminate();
            service->release();
        }
        return nullptr;
    }
    driver->setEventSink(this);
    // Registered before any client of the program, so the log shows each
    // message before the program handles it.
    driver->registerInterest(::kIOGeneralInterest,
                             [this, mouse](IOService&, std::uint32_t type, void*, std::size_t) {
                                 fMessages(mouse, type);
                             });
    fDrivers[mouse] = driver;
    return driver;
}

bool SimulatedKernel::StopDriver(std::uint64_t mouse) {
    auto found = fDrivers.find(mouse);
    if (found == fDrivers.end()) {
        return false;
    }
    com_halvorin_OrvandelDriver* driver = found->second;
    fDrivers.erase(found);
    driver->terminate();
    driver->setEventSink(nullptr);
    driver->release();
    return true;
}

com_halvorin_OrvandelDriver* SimulatedKernel::DriverOf(std::uint64_t mouse) const {
    auto found = fDrivers.find(mouse);
    return found == fDrivers.end() ? nullptr : found->second;
}

void SimulatedKernel::SetHIDSystemPresent(bool present) {
    if (present && fHIDSystem == nullptr) {
        fHIDSystem = new IOHIDSystem;
        fHIDSystem->init();
        fHIDSystem->registerService();
    } else if (!present && fHIDSystem != nullptr) {
        fHIDSystem->terminate();
        OSSafeReleaseNULL(fHIDSystem);
    }
}

void SimulatedKernel::deliverEvent(IOHIDEventService& sender, const IOHIDSystemEvent& event) {
    for (const auto& [mouse, driver] : fDrivers) {
        if (driver == &sender) {
            fEvents(mouse, event);
            return;
        }
    }
}

}  // namespace platform
