#include "DriverInstance.h"

#include <unistd.h>

#include <array>
#include <cerrno>

#include "OSArray.h"
#include "OSDictionary.h"
#include "OSKext.h"
#include "OrvandelDriver.h"

namespace platform {

namespace {

// Until the user's agent sends the user's settings (at the login screen, or
// with no agent running) the three main buttons click as themselves, so that
// a grabbed mouse is never dead. Button indexes 0, 1, 2 report left, middle
// and right.
void GiveStandardClicks(com_halvorin_OrvandelDriver& driver) {
    using Driver = com_halvorin_OrvandelDriver;
    const std::uint32_t clicks[] = {Driver::kMappingLeftClick, Driver::kMappingMiddleClick,
                                    Driver::kMappingRightClick};
    OSArray* primary = OSArray::withNumbers(clicks);
    OSDictionary* properties = OSDictionary::withCapacity(1);
    properties->setObject("PrimaryButtonMappings", primary);
    driver.setProperties(properties);
    properties->release();
    primary->release();
}

}  // namespace

std::unique_ptr<DriverInstance> DriverInstance::Start(std::uint32_t vendorId,
                                                      std::uint32_t productId,
                                                      int pointerDescriptor,
                                                      const AccelerationGains& gains,
                                                      HostMessageQueue& messages) {
    IOService* service = OSKext::instantiateForDevice(vendorId, productId);
    if (service == nullptr) {
        return nullptr;
    }
    auto* driver = OSDynamicCast(com_halvorin_OrvandelDriver, service);
    if (driver == nullptr) {
        // Another module's class serves these ids: not for this host.
        service->terminate();
        service->release();
        return nullptr;
    }
    GiveStandardClicks(*driver);
    return std::unique_ptr<DriverInstance>(
        new DriverInstance(driver, pointerDescriptor, gains, messages));
}

DriverInstance::DriverInstance(com_halvorin_OrvandelDriver* driver, int pointerDescriptor,
                               const AccelerationGains& gains, HostMessageQueue& messages)
    : fDriver(driver),
      fMessages(messages),
      fPointer(pointerDescriptor, gains),
      fFrames(*driver),
      fRegistryId(driver->getRegistryEntryID()) {
    fDriver->setEventSink(&fPointer);
    const std::uint64_t id = fRegistryId;
    fDriver->registerInterest(::kIOGeneralInterest, [&messages, id](IOService&, std::uint32_t type,
                                                                    void* argument, std::size_t) {
        messages.Push(
            {HostMessage::Kind::Message, id, type, reinterpret_cast<std::uintptr_t>(argument)});
    });
    fMessages.Push({HostMessage::Kind::Added, fRegistryId, 0, 0});
}

DriverInstance::~DriverInstance() {
    End();
}

void DriverInstance::End() {
    if (fDriver == nullptr) {
        return;
    }
    fFrames.ReleaseButtons();
    fDriver->terminate();
    fDriver->setEventSink(nullptr);
    fPointer.ReleaseButtons();
    OSSafeReleaseNULL(fDriver);
    fMessages.Push({HostMessage::Kind::Removed, fRegistryId, 0, 0});
}

bool FeedRawEvents(int descriptor, DriverInstance& instance) {
    std::array<input_event, 64> events;
    for (;;) {
        const ssize_t got = read(descriptor, events.data(), sizeof events);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return errno == EAGAIN;
        }
        if (got == 0) {
            return false;
        }
        for (std::size_t i = 0; i < static_cast<std::size_t>(got) / sizeof(input_event); ++i) {
            instance.Feed(events[i]);
        }
        if (static_cast<std::size_t>(got) < sizeof events) {
            return true;
        }
    }
}

}  // namespace platform
