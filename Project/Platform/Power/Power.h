#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "IOKitTypes.h"
#include "Registry.h"

namespace platform {

inline constexpr natural_t kIOMessageCanSystemSleep = 0xE0000270;
inline constexpr natural_t kIOMessageSystemWillSleep = 0xE0000280;
inline constexpr natural_t kIOMessageSystemWillNotSleep = 0xE0000290;
inline constexpr natural_t kIOMessageSystemHasPoweredOn = 0xE0000300;
inline constexpr natural_t kIOMessageSystemWillPowerOn = 0xE0000320;

// Registers for system power messages. Returns the root power domain
// connection (0 on failure) and gives the port whose run loop source carries
// the messages and the notifier to deregister. The callback's message
// argument identifies the message for IOAllowPowerChange.
io_connect_t IORegisterForSystemPower(void* refcon, IONotificationPortRef* thePortRef,
                                      IOServiceInterestCallback callback, io_object_t* notifier);
// Stops the messages and releases the notifier handle (set to 0).
IOReturn IODeregisterForSystemPower(io_object_t* notifier);
// Acknowledges a power message (the system waits for it before sleeping).
IOReturn IOAllowPowerChange(io_connect_t kernelPort, std::intptr_t notificationID);

// Source of the power messages and taker of acknowledgements.
class PowerBackend {
public:
    using Sink = std::function<void(natural_t messageType, std::intptr_t notificationID)>;
    virtual ~PowerBackend() = default;
    // False when registration is refused.
    virtual bool Register(Sink sink) = 0;
    virtual void Deregister() = 0;
    virtual IOReturn AllowPowerChange(std::intptr_t notificationID) = 0;
};

// Installs the backend; returns the previous one (none by default:
// registration then fails).
std::unique_ptr<PowerBackend> InstallPowerBackend(std::unique_ptr<PowerBackend> backend);

}  // namespace platform
