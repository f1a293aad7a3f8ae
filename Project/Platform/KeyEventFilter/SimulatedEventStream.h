#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "EventTapPort.h"
#include "KeyEventFilter.h"

namespace platform {

class SimulatedClock;

// What the system receives, in one serial stream: keys typed on the keyboard,
// events posted through the HID system, and the pointer and scroll events the
// mouse drivers deliver. Key-down, key-up and flags-changed events pass the
// enabled taps that want them (in creation order); each tap's callback runs
// from the run loop, and the stream waits for it, holding the events behind.
// A tap that keeps the stream waiting longer than the timeout is disabled by
// the platform: the event goes on unchanged and the callback is told
// kCGEventTapDisabledByTimeout.
class SimulatedEventStream final : public KeyEventFilterBackend {
public:
    enum class Origin { Keyboard, Posted, Pointer, Scroll };
    struct Event {
        Origin origin = Origin::Keyboard;
        std::uint32_t type = 0;  // NX event type; 0 for pointer and scroll
        std::uint16_t keyCode = 0;
        std::uint64_t flags = 0;  // as delivered, after the taps
        std::int16_t x = 0;       // location of posted events
        std::int16_t y = 0;
        std::uint32_t eventDataVersion = 0;
        std::uint32_t options = 0;
        std::int32_t click = 0;
        // Pointer: dx, dy (or x, y when absolute) and buttons; scroll: deltas.
        bool absolute = false;
        std::int32_t delta1 = 0;
        std::int32_t delta2 = 0;
        std::int32_t delta3 = 0;
        std::uint32_t buttons = 0;
        std::uint64_t mouse = 0;  // which mouse, for pointer and scroll events
    };

    explicit SimulatedEventStream(SimulatedClock& clock, double tapTimeout = 1.0);
    ~SimulatedEventStream() override;
    SimulatedEventStream(const SimulatedEventStream&) = delete;
    SimulatedEventStream& operator=(const SimulatedEventStream&) = delete;

    CFMachPortRef CreateTap(CGEventTapPlacement place, CGEventTapOptions options, CGEventMask mask,
                            CGEventTapCallBack callback, void* userInfo) override;
    CGPoint MouseLocation() const override { return fPointer; }
    std::optional<CGRect> MainScreenFrame() const override { return fScreen; }

    // An event enters the stream; it is delivered when no tap holds it.
    void Receive(const Event& event);

    void SetTapCreationRefused(bool refused) { fTapsRefused = refused; }
    void SetMouseLocation(CGPoint location) { fPointer = location; }
    void SetMainScreenFrame(std::optional<CGRect> frame) { fScreen = frame; }
    // Moves the pointer by a relative report (y grows downwards in reports),
    // kept on the main screen when there is one.
    void MovePointerBy(std::int32_t dx, std::int32_t dy);

    // Every event delivered, in order.
    const std::vector<Event>& Delivered() const { return fDelivered; }
    void ClearDelivered() { fDelivered.clear(); }
    void SetObserver(std::function<void(const Event&)> observer) {
        fObserver = std::move(observer);
    }
    // Told when the platform disables a tap for its timeout.
    void SetTapTimeoutObserver(std::function<void()> observer) {
        fTimeoutObserver = std::move(observer);
    }

private:
    void Pump();
    void Deliver(const Event& event);
    // The front event goes to the tap's callback; the stream waits for it.
    void WaitFor(const std::shared_ptr<EventTap>& tap);
    void Resume(std::uint64_t ticket, std::optional<CGEvent> result);
    void TimeOut(std::uint64_t ticket);
    void TapStopped();

    SimulatedClock& fClock;
    double fTapTimeout;
    std::shared_ptr<bool> fAlive = std::make_shared<bool>(true);
    std::vector<std::weak_ptr<EventTap>> fTaps;
    std::deque<Event> fQueue;
    // The front event has passed the taps before fNextTap.
    std::size_t fNextTap = 0;
    // Set while the front event waits for a tap's callback.
    std::weak_ptr<EventTap> fWaitingTap;
    bool fWaiting = false;
    bool fPumping = false;
    std::uint64_t fTicket = 0;
    std::vector<Event> fDelivered;
    std::function<void(const Event&)> fObserver;
    std::function<void()> fTimeoutObserver;
    CGPoint fPointer{};
    std::optional<CGRect> fScreen = CGRect{{0.0, 0.0}, {1440.0, 900.0}};
    bool fTapsRefused = false;
};

}  // namespace platform
