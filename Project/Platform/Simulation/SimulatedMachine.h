#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "DistributedNotifications.h"
#include "IOKitTypes.h"
#include "KeyEventFilter.h"
#include "RunLoop.h"
#include "SimulatedEventStream.h"
#include "SimulatedHIDSystem.h"

class com_halvorin_OrvandelDriver;
struct IOHIDSystemEvent;

namespace platform {

class SimulatedClock;
class SimulatedHIDDevices;
class SimulatedKernel;
class SimulatedPower;
class SimulatedSignals;
class KernelRegistry;

using MouseId = std::uint64_t;

// What the machine observed, one entry per effect.
struct MouseChange {
    enum class Change { Plugged, Unplugged, DriverStarted, DriverStopped };
    Change change = Change::Plugged;
    MouseId mouse = 0;
    std::int32_t vendorId = 0;
    std::int32_t productId = 0;
};
// A driver instance's message to its clients (before the program sees it).
struct DriverMessage {
    MouseId mouse = 0;
    natural_t messageType = 0;
};
struct PowerEvent {
    natural_t messageType = 0;
    bool acknowledged = false;  // false: sent to the program; true: its acknowledgement
};
struct SessionEvent {
    bool active = false;
};
struct SignalEvent {
    int signalNumber = 0;
};
struct ProcessExit {
    int status = 0;
};
struct TapTimeout {};
struct LogLine {
    bool standardError = false;  // false: the system log
    std::string text;
};
using SystemEvent = SimulatedEventStream::Event;
using MachineEventDetail =
    std::variant<MouseChange, DriverMessage, SystemEvent, HIDAcceleration, DistributedNotification,
                 PowerEvent, SessionEvent, SignalEvent, ProcessExit, TapTimeout, LogLine>;
struct MachineEvent {
    CFAbsoluteTime time = 0.0;
    MachineEventDetail detail;
};

// One line without a newline, in a stable format: the virtual time with three
// decimals, a word for the kind, then its fields. For example
//   "0.200 driver-start mouse=1 vendor=65520 product=401"
//   "1.000 key-down key=8 flags=0x100000 posted"
// The words: plug, unplug, driver-start, driver-stop, message, pointer,
// position, scroll, key-down, key-up, flags-changed, mouse-down, mouse-up,
// event, acceleration, notification, power, power-ack, session, signal,
// exit, tap-timeout, syslog, stderr.
std::string FormatMachineEvent(const MachineEvent& event);

// A whole simulated Mac in one process. It installs the simulation backend of
// every user-side facility (restoring the previous ones when destroyed),
// loads the driver module when the first mouse is plugged, and keeps one
// ordered log of what the system and the pane would observe. Calls act at the
// current virtual time; At() schedules them as world events, which happen
// also while the program sleeps. Only one machine may exist at a time.
class SimulatedMachine {
public:
    static constexpr std::int32_t kVendorId = HALVORIN_VENDOR_ID;

    SimulatedMachine();
    ~SimulatedMachine();
    SimulatedMachine(const SimulatedMachine&) = delete;
    SimulatedMachine& operator=(const SimulatedMachine&) = delete;

    RunLoop& Loop();
    CFAbsoluteTime Now() const;
    void At(CFAbsoluteTime time, std::function<void()> action);

    // Plugs a mouse: the HID device appears now; the kernel creates its
    // driver instance (registry "VendorID"/"ProductID") after `driverDelay`
    // seconds, if its personalities match the ids.
    MouseId PlugMouse(std::int32_t productId, CFTimeInterval driverDelay = 0.0,
                      std::int32_t vendorId = kVendorId);
    // A driver instance with these registry ids and no HID device.
    MouseId AddDriverInstance(std::int32_t vendorId, std::int32_t productId);
    // Terminates the driver instance, then removes the HID device; with a
    // `driverLinger`, the HID device goes now and the driver instance that
    // many seconds later.
    void UnplugMouse(MouseId mouse, CFTimeInterval driverLinger = 0.0);
    // Reports through the mouse's driver instance (ignored without one).
    void MoveMouse(MouseId mouse, std::int32_t dx, std::int32_t dy, std::uint32_t buttons);
    void PointAbsolute(MouseId mouse, std::int32_t x, std::int32_t y, std::uint32_t buttons);
    void ScrollMouse(MouseId mouse, std::int32_t delta1, std::int32_t delta2 = 0,
                     std::int32_t delta3 = 0);
    com_halvorin_OrvandelDriver* DriverOf(MouseId mouse) const;

    // Keys on the keyboard, carrying the keyboard's own modifier flags.
    void TypeKey(std::uint16_t keyCode, std::uint64_t flags = 0);
    void PressKey(std::uint16_t keyCode, std::uint64_t flags = 0);
    void ReleaseKey(std::uint16_t keyCode, std::uint64_t flags = 0);

    // Power messages: will-sleep; will-power-on then has-powered-on.
    void SleepSystem();
    void WakeSystem();
    void ResignSession();
    void ActivateSession();
    void Interrupt();

    void SetMouseLocation(double x, double y);
    void SetMainScreenFrame(std::optional<CGRect> frame);

    // Failure switches.
    void SetHIDSystemPresent(bool present);
    void SetHIDSystemOpenRefused(bool refused);
    void SetEventTapRefused(bool refused);
    void SetPowerRegistrationRefused(bool refused);
    void SetSignalHandlerRefused(bool refused);

    const std::vector<MachineEvent>& Log() const { return fLog; }
    void ClearLog() { fLog.clear(); }
    // Clears the log and every backend's record of what it saw, so that a
    // machine can serve a long run (a fuzzer's) in bounded memory.
    void ForgetHistory();
    // Told of each entry as it is logged.
    void SetLogObserver(std::function<void(const MachineEvent&)> observer) {
        fLogObserver = std::move(observer);
    }

    SimulatedClock& Clock();
    SimulatedHIDSystem& HIDSystem();
    SimulatedEventStream& EventStream();
    SimulatedPower& Power();
    SimulatedSignals& Signals();
    LoopbackDistributedNotifications& Notifications();
    // The process's exit status once ExitImmediately ran.
    std::optional<int> ExitStatus() const;

private:
    struct Mouse {
        std::int32_t vendorId = 0;
        std::int32_t productId = 0;
        std::uint64_t hidDevice = 0;  // 0: no HID device
    };
    struct Backends;

    void Record(MachineEventDetail detail);
    void StartDriver(MouseId mouse);
    void ReceiveKernelEvent(MouseId mouse, const IOHIDSystemEvent& event);
    void ReceivePosted(const HIDSystemRecord& record);

    std::unique_ptr<Backends> fBackends;
    std::unique_ptr<SimulatedKernel> fKernel;
    std::map<MouseId, Mouse> fMice;
    MouseId fNextMouse = 1;
    std::vector<MachineEvent> fLog;
    std::function<void(const MachineEvent&)> fLogObserver;
};

}  // namespace platform
