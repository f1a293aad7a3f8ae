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
#include "RunLoop.h"
#include "SimulatedEventStream.h"
#include "SimulatedHIDSystem.h"

class com_halvorin_OrvandelDriver;

namespace platform {

class SimulatedClock;
class SimulatedHIDDevices;
class SimulatedPower;
class SimulatedSignals;
class SimulatedKernel;

using MouseId = std::uint64_t;

// What the machine observed, one entry per effect.
struct MouseConnection {
    enum class Change { Plugged, Unplugged, DriverStarted, DriverStopped } change;
    MouseId mouse = 0;
    std::int32_t vendorId = 0;
    std::int32_t productId = 0;
};
struct DriverMessage {  // a driver instance's message to its clients
    MouseId mouse = 0;
    natural_t messageType = 0;
};
struct PowerEvent {
    natural_t messageType = 0;
    bool acknowledgement = false;  // false: sent to the program; true: acknowledged
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
using MachineEventDetail =
    std::variant<MouseConnection, DriverMessage, SimulatedEventStream::Event, HIDAcceleration,
                 DistributedNotification, PowerEvent, SessionEvent, SignalEvent, ProcessExit,
                 TapTimeout>;
struct MachineEvent {
    CFAbsoluteTime time = 0.0;
    MachineEventDetail detail;
};

// One line, stable format: the time with three decimals, a word for the kind,
// then name=value fields (see the implementation for each kind).
std::string FormatMachineEvent(const MachineEvent& event);

// A whole simulated Mac in one process: it installs the simulation backend of
// every user-side facility (and restores the previous ones when destroyed),
// loads the driver module when the first mouse is plugged, and records one
// ordered log of what the system and the pane would observe. Calls act at the
// current virtual time; At() schedules them as world events.
class SimulatedMachine {
public:
    SimulatedMachine();
    ~SimulatedMachine();
    SimulatedMachine(const SimulatedMachine&) = delete;
    SimulatedMachine& operator=(const SimulatedMachine&) = delete;

    RunLoop& Loop();
    CFAbsoluteTime Now() const;
    // Schedules an action as a world event (it happens even while the
    // program sleeps).
    void At(CFAbsoluteTime time, std::function<void()> action);

    // Plugs a mouse of the family: the HID device appears now; the kernel
    // creates its driver instance (with "VendorID"/"ProductID") after
    // `driverDelay` seconds (immediately when 0).
    MouseId PlugMouse(std::int32_t productId, CFTimeInterval driverDelay = 0.0,
                      std::int32_t vendorId = kVendorId);
    // Terminates the driver instance and removes the HID device.
    void UnplugMouse(MouseId mouse);
    // Reports through the mouse's driver instance (ignored before it exists).
    void MoveMouse(MouseId mouse, std::int32_t dx, std::int32_t dy, std::uint32_t buttons);
    void PointAbsolute(MouseId mouse, std::int32_t x, std::int32_t y, std::uint32_t buttons);
    void ScrollMouse(MouseId mouse, std::int32_t delta1, std::int32_t delta2 = 0,
                     std::int32_t delta3 = 0);
    // The mouse's driver instance, or null.
    com_halvorin_OrvandelDriver* DriverOf(MouseId mouse) const;

    // A key pressed and released on the keyboard, carrying the flags.
    void TypeKey(std::uint16_t keyCode, std::uint64_t flags = 0);
    void PressKey(std::uint16_t keyCode, std::uint64_t flags = 0);
    void ReleaseKey(std::uint16_t keyCode, std::uint64_t flags = 0);

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
    void SetLogObserver(std::function<void(const MachineEvent&)> observer) {
        fLogObserver = std::move(observer);
    }

    SimulatedHIDSystem& HIDSystem();
    SimulatedEventStream& EventStream();
    SimulatedPower& Power();
    SimulatedSignals& Signals();
    LoopbackDistributedNotifications& Notifications();
    // The process's exit status once ExitImmediately ran.
    std::optional<int> ExitStatus() const;

    static constexpr std::int32_t kVendorId = HALVORIN_VENDOR_ID;

private:
    struct Mouse;
    void Record(MachineEventDetail detail);
    Mouse* Find(MouseId mouse);
    void StartDriver(MouseId mouse);

    struct Installed;
    std::unique_ptr<Installed> fInstalled;
    std::unique_ptr<SimulatedKernel> fKernel;
    std::map<MouseId, std::unique_ptr<Mouse>> fMice;
    std::vector<MachineEvent> fLog;
    std::function<void(const MachineEvent&)> fLogObserver;
};

}  // namespace platform
