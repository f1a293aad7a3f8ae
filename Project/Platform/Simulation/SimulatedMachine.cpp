#include "SimulatedMachine.h"

#include "HIDManager.h"
#include "IOHIDEventService.h"
#include "KernelRegistry.h"
#include "Logging.h"
#include "OrvandelDriver.h"
#include "Power.h"
#include "Registry.h"
#include "Session.h"
#include "Signals.h"
#include "SimulatedClock.h"
#include "SimulatedHIDDevices.h"
#include "SimulatedKernel.h"
#include "SimulatedPower.h"
#include "SimulatedSignals.h"

namespace platform {
namespace {

// The system log and standard error, into the machine's log.
class MachineLogBackend final : public LogBackend {
public:
    explicit MachineLogBackend(std::function<void(LogLine)> record) : fRecord(std::move(record)) {}
    void WriteSystemLog(std::string_view line) override { fRecord({false, std::string(line)}); }
    void WriteStandardError(std::string_view text) override { fRecord({true, std::string(text)}); }

private:
    std::function<void(LogLine)> fRecord;
};

UnsignedWide Timestamp(CFAbsoluteTime now) {
    auto nanoseconds = static_cast<std::uint64_t>(now * 1e9);
    return UnsignedWide{static_cast<std::uint32_t>(nanoseconds >> 32),
                        static_cast<std::uint32_t>(nanoseconds)};
}

}  // namespace

// The simulation backends in use (owned by their facilities once installed)
// and the ones they replaced, given back on destruction.
struct SimulatedMachine::Backends {
    SimulatedClock* clock = nullptr;
    KernelRegistry* registry = nullptr;
    SimulatedHIDSystem* hidSystem = nullptr;
    SimulatedHIDDevices* hidDevices = nullptr;
    SimulatedPower* power = nullptr;
    SimulatedEventStream* stream = nullptr;
    SimulatedSignals* signals = nullptr;
    LoopbackDistributedNotifications* notifications = nullptr;

    std::unique_ptr<RunLoopBackend> previousRunLoop;
    std::unique_ptr<RegistryBackend> previousRegistry;
    std::unique_ptr<HIDSystemBackend> previousHIDSystem;
    std::unique_ptr<HIDDeviceBackend> previousHIDDevices;
    std::unique_ptr<PowerBackend> previousPower;
    std::unique_ptr<KeyEventFilterBackend> previousKeyEventFilter;
    std::unique_ptr<SignalBackend> previousSignals;
    std::unique_ptr<DistributedNotificationBackend> previousNotifications;
    std::unique_ptr<LogBackend> previousLog;
};

template <typename Backend, typename Install>
Backend* Adopt(std::unique_ptr<Backend> backend, Install install, auto& previous) {
    Backend* raw = backend.get();
    previous = install(std::move(backend));
    return raw;
}

SimulatedMachine::SimulatedMachine() : fBackends(std::make_unique<Backends>()) {
    Backends& b = *fBackends;
    b.clock = Adopt(std::make_unique<SimulatedClock>(), InstallRunLoopBackend, b.previousRunLoop);
    b.registry =
        Adopt(std::make_unique<KernelRegistry>(), InstallRegistryBackend, b.previousRegistry);
    b.hidSystem =
        Adopt(std::make_unique<SimulatedHIDSystem>(), InstallHIDSystemBackend, b.previousHIDSystem);
    b.hidDevices = Adopt(std::make_unique<SimulatedHIDDevices>(), InstallHIDDeviceBackend,
                         b.previousHIDDevices);
    b.power = Adopt(std::make_unique<SimulatedPower>(), InstallPowerBackend, b.previousPower);
    b.stream = Adopt(std::make_unique<SimulatedEventStream>(*b.clock), InstallKeyEventFilterBackend,
                     b.previousKeyEventFilter);
    b.signals =
        Adopt(std::make_unique<SimulatedSignals>(), InstallSignalBackend, b.previousSignals);
    b.notifications = Adopt(std::make_unique<LoopbackDistributedNotifications>(),
                            InstallDistributedNotificationBackend, b.previousNotifications);
    b.previousLog = InstallLogBackend(
        std::make_unique<MachineLogBackend>([this](LogLine line) { Record(std::move(line)); }));
    ResetSharedWorkspaceNotificationCenter();

    b.hidSystem->SetObserver([this](const HIDSystemRecord& record) { ReceivePosted(record); });
    b.stream->SetObserver([this](const SystemEvent& event) { Record(event); });
    b.stream->SetTapTimeoutObserver([this] { Record(TapTimeout{}); });
    b.power->SetObserver([this](const SimulatedPower::Message& message) {
        Record(PowerEvent{message.messageType, message.acknowledged});
    });
    b.signals->SetExitObserver([this](int status) { Record(ProcessExit{status}); });
    b.notifications->SetObserver(
        [this](const DistributedNotification& notification) { Record(notification); });

    fKernel = std::make_unique<SimulatedKernel>(
        [this](std::uint64_t mouse, const IOHIDSystemEvent& event) {
            ReceiveKernelEvent(mouse, event);
        },
        [this](std::uint64_t mouse, std::uint32_t type) {
            Record(DriverMessage{mouse, type});
        });
}

SimulatedMachine::~SimulatedMachine() {
    fKernel.reset();
    Backends& b = *fBackends;
    ResetSharedWorkspaceNotificationCenter();
    InstallLogBackend(std::move(b.previousLog));
    InstallDistributedNotificationBackend(std::move(b.previousNotifications));
    InstallSignalBackend(std::move(b.previousSignals));
    InstallKeyEventFilterBackend(std::move(b.previousKeyEventFilter));
    InstallPowerBackend(std::move(b.previousPower));
    InstallHIDDeviceBackend(std::move(b.previousHIDDevices));
    InstallHIDSystemBackend(std::move(b.previousHIDSystem));
    InstallRegistryBackend(std::move(b.previousRegistry));
    InstallRunLoopBackend(std::move(b.previousRunLoop));
}

RunLoop& SimulatedMachine::Loop() {
    return *CFRunLoopGetCurrent();
}

CFAbsoluteTime SimulatedMachine::Now() const {
    return fBackends->clock->Now();
}

void SimulatedMachine::At(CFAbsoluteTime time, std::function<void()> action) {
    fBackends->clock->Schedule(time, std::move(action));
}

MouseId SimulatedMachine::PlugMouse(std::int32_t productId, CFTimeInterval driverDelay,
                                    std::int32_t vendorId) {
    MouseId mouse = fNextMouse++;
    fMice[mouse] = Mouse{vendorId, productId, 0};
    Record(MouseChange{MouseChange::Change::Plugged, mouse, vendorId, productId});
    fMice[mouse].hidDevice = fBackends->hidDevices->Plug(vendorId, productId);
    if (driverDelay > 0.0) {
        At(Now() + driverDelay, [this, mouse] { StartDriver(mouse); });
    } else {
        StartDriver(mouse);
    }
    return mouse;
}

MouseId SimulatedMachine::AddDriverInstance(std::int32_t vendorId, std::int32_t productId) {
    MouseId mouse = fNextMouse++;
    fMice[mouse] = Mouse{vendorId, productId, 0};
    if (fKernel->StartUnmatchedDriver(mouse, vendorId, productId) != nullptr) {
        Record(MouseChange{MouseChange::Change::DriverStarted, mouse, vendorId, productId});
    }
    return mouse;
}

void SimulatedMachine::StartDriver(MouseId mouse) {
    auto found = fMice.find(mouse);
    if (found == fMice.end()) {
        return;  // unplugged before its driver came up
    }
    const Mouse& m = found->second;
    if (fKernel->StartDriver(mouse, m.vendorId, m.productId) != nullptr) {
        Record(MouseChange{MouseChange::Change::DriverStarted, mouse, m.vendorId, m.productId});
    }
}

void SimulatedMachine::UnplugMouse(MouseId mouse, CFTimeInterval driverLinger) {
    auto found = fMice.find(mouse);
    if (found == fMice.end()) {
        return;
    }
    Mouse m = found->second;
    fMice.erase(found);
    auto stopDriver = [this, mouse, m] {
        if (fKernel->StopDriver(mouse)) {
            Record(MouseChange{MouseChange::Change::DriverStopped, mouse, m.vendorId, m.productId});
        }
    };
    if (driverLinger > 0.0) {
        At(Now() + driverLinger, stopDriver);
    } else {
        stopDriver();
    }
    if (m.hidDevice != 0) {
        Record(MouseChange{MouseChange::Change::Unplugged, mouse, m.vendorId, m.productId});
        fBackends->hidDevices->Unplug(m.hidDevice);
    }
}

void SimulatedMachine::MoveMouse(MouseId mouse, std::int32_t dx, std::int32_t dy,
                                 std::uint32_t buttons) {
    if (com_halvorin_OrvandelDriver* driver = DriverOf(mouse)) {
        driver->dispatchRelativePointerEvent(Timestamp(Now()), dx, dy, buttons);
    }
}

void SimulatedMachine::PointAbsolute(MouseId mouse, std::int32_t x, std::int32_t y,
                                     std::uint32_t buttons) {
    if (com_halvorin_OrvandelDriver* driver = DriverOf(mouse)) {
        IOGBounds bounds{0, 32767, 0, 32767};
        driver->dispatchAbsolutePointerEvent(Timestamp(Now()), x, y, &bounds, buttons, true, 0, 0,
                                             0);
    }
}

void SimulatedMachine::ScrollMouse(MouseId mouse, std::int32_t delta1, std::int32_t delta2,
                                   std::int32_t delta3) {
    if (com_halvorin_OrvandelDriver* driver = DriverOf(mouse)) {
        driver->dispatchScrollWheelEvent(Timestamp(Now()), delta1, delta2, delta3);
    }
}

com_halvorin_OrvandelDriver* SimulatedMachine::DriverOf(MouseId mouse) const {
    return fKernel->DriverOf(mouse);
}

void SimulatedMachine::ReceiveKernelEvent(MouseId mouse, const IOHIDSystemEvent& event) {
    SystemEvent received;
    received.mouse = mouse;
    received.buttons = event.buttonState;
    switch (event.kind) {
        case IOHIDSystemEvent::Kind::RelativePointer:
            received.origin = SimulatedEventStream::Origin::Pointer;
            received.delta1 = event.dx;
            received.delta2 = event.dy;
            fBackends->stream->MovePointerBy(event.dx, event.dy);
            break;
        case IOHIDSystemEvent::Kind::AbsolutePointer:
            received.origin = SimulatedEventStream::Origin::Pointer;
            received.absolute = true;
            received.delta1 = event.x;
            received.delta2 = event.y;
            break;
        case IOHIDSystemEvent::Kind::ScrollWheel:
            received.origin = SimulatedEventStream::Origin::Scroll;
            received.delta1 = event.deltaAxis1;
            received.delta2 = event.deltaAxis2;
            received.delta3 = event.deltaAxis3;
            break;
    }
    fBackends->stream->Receive(received);
}

void SimulatedMachine::ReceivePosted(const HIDSystemRecord& record) {
    if (const auto* acceleration = std::get_if<HIDAcceleration>(&record)) {
        Record(*acceleration);
        return;
    }
    const auto& posted = std::get<HIDPostedEvent>(record);
    SystemEvent event;
    event.origin = SimulatedEventStream::Origin::Posted;
    event.type = posted.eventType;
    event.keyCode = posted.eventData.key.keyCode;
    event.flags = posted.eventFlags;
    event.x = posted.location.x;
    event.y = posted.location.y;
    event.eventDataVersion = posted.eventDataVersion;
    event.options = posted.options;
    event.click = posted.eventData.mouse.click;
    fBackends->stream->Receive(event);
}

void SimulatedMachine::TypeKey(std::uint16_t keyCode, std::uint64_t flags) {
    PressKey(keyCode, flags);
    ReleaseKey(keyCode, flags);
}

void SimulatedMachine::PressKey(std::uint16_t keyCode, std::uint64_t flags) {
    SystemEvent event;
    event.type = kCGEventKeyDown;
    event.keyCode = keyCode;
    event.flags = flags;
    fBackends->stream->Receive(event);
}

void SimulatedMachine::ReleaseKey(std::uint16_t keyCode, std::uint64_t flags) {
    SystemEvent event;
    event.type = kCGEventKeyUp;
    event.keyCode = keyCode;
    event.flags = flags;
    fBackends->stream->Receive(event);
}

void SimulatedMachine::SleepSystem() {
    fBackends->power->Sleep();
}

void SimulatedMachine::WakeSystem() {
    fBackends->power->Wake();
}

void SimulatedMachine::ResignSession() {
    Record(SessionEvent{false});
    SharedWorkspaceNotificationCenter().postNotification(
        {std::string(NSWorkspaceSessionDidResignActiveNotification)});
}

void SimulatedMachine::ActivateSession() {
    Record(SessionEvent{true});
    SharedWorkspaceNotificationCenter().postNotification(
        {std::string(NSWorkspaceSessionDidBecomeActiveNotification)});
}

void SimulatedMachine::Interrupt() {
    Record(SignalEvent{kSignalInterrupt});
    fBackends->signals->Raise(kSignalInterrupt);
}

void SimulatedMachine::SetMouseLocation(double x, double y) {
    fBackends->stream->SetMouseLocation({x, y});
}

void SimulatedMachine::SetMainScreenFrame(std::optional<CGRect> frame) {
    fBackends->stream->SetMainScreenFrame(frame);
}

void SimulatedMachine::SetHIDSystemPresent(bool present) {
    fKernel->SetHIDSystemPresent(present);
}

void SimulatedMachine::SetHIDSystemOpenRefused(bool refused) {
    fBackends->registry->SetOpenRefused(refused);
}

void SimulatedMachine::SetEventTapRefused(bool refused) {
    fBackends->stream->SetTapCreationRefused(refused);
}

void SimulatedMachine::SetPowerRegistrationRefused(bool refused) {
    fBackends->power->SetRegistrationRefused(refused);
}

void SimulatedMachine::SetSignalHandlerRefused(bool refused) {
    fBackends->signals->SetInstallRefused(refused);
}

SimulatedClock& SimulatedMachine::Clock() {
    return *fBackends->clock;
}

void SimulatedMachine::ForgetHistory() {
    fLog.clear();
    fBackends->hidSystem->Clear();
    fBackends->stream->ClearDelivered();
    fBackends->notifications->ClearPosted();
}

SimulatedHIDSystem& SimulatedMachine::HIDSystem() {
    return *fBackends->hidSystem;
}

SimulatedEventStream& SimulatedMachine::EventStream() {
    return *fBackends->stream;
}

SimulatedPower& SimulatedMachine::Power() {
    return *fBackends->power;
}

SimulatedSignals& SimulatedMachine::Signals() {
    return *fBackends->signals;
}

LoopbackDistributedNotifications& SimulatedMachine::Notifications() {
    return *fBackends->notifications;
}

std::optional<int> SimulatedMachine::ExitStatus() const {
    return fBackends->signals->ExitStatus();
}

void SimulatedMachine::Record(MachineEventDetail detail) {
    fLog.push_back({Now(), std::move(detail)});
    if (fLogObserver) {
        fLogObserver(fLog.back());
    }
}

}  // namespace platform
