#include "SimulatedEventStream.h"

#include <algorithm>

#include "SimulatedClock.h"

namespace platform {
namespace {

bool IsKeyEvent(const SimulatedEventStream::Event& event) {
    using Origin = SimulatedEventStream::Origin;
    return (event.origin == Origin::Keyboard || event.origin == Origin::Posted) &&
           (event.type == kCGEventKeyDown || event.type == kCGEventKeyUp ||
            event.type == kCGEventFlagsChanged);
}

}  // namespace

SimulatedEventStream::SimulatedEventStream(SimulatedClock& clock, double tapTimeout)
    : fClock(clock), fTapTimeout(tapTimeout) {}

SimulatedEventStream::~SimulatedEventStream() {
    *fAlive = false;
    for (const std::weak_ptr<EventTap>& weak : fTaps) {
        if (std::shared_ptr<EventTap> tap = weak.lock()) {
            tap->SetStoppedObserver(nullptr);
        }
    }
}

CFMachPortRef SimulatedEventStream::CreateTap(CGEventTapPlacement place, CGEventTapOptions options,
                                              CGEventMask mask, CGEventTapCallBack callback,
                                              void* userInfo) {
    if (fTapsRefused) {
        return nullptr;
    }
    auto tap = std::make_shared<EventTap>(options, mask, callback, userInfo);
    tap->SetStoppedObserver([this] { TapStopped(); });
    if (place == kCGHeadInsertEventTap) {
        fTaps.insert(fTaps.begin(), tap);
        // The event in passage has gone through one tap more.
        if (!fQueue.empty() && (fNextTap > 0 || fWaiting)) {
            ++fNextTap;
        }
    } else {
        fTaps.push_back(tap);
    }
    return tap;
}

void SimulatedEventStream::Receive(const Event& event) {
    fQueue.push_back(event);
    Pump();
}

void SimulatedEventStream::MovePointerBy(std::int32_t dx, std::int32_t dy) {
    fPointer.x += dx;
    fPointer.y -= dy;
    if (fScreen) {
        const CGRect& screen = *fScreen;
        fPointer.x = std::clamp(fPointer.x, screen.origin.x, screen.origin.x + screen.size.width);
        fPointer.y = std::clamp(fPointer.y, screen.origin.y, screen.origin.y + screen.size.height);
    }
}

void SimulatedEventStream::Pump() {
    if (fPumping) {
        return;
    }
    fPumping = true;
    while (!fWaiting && !fQueue.empty()) {
        const Event& front = fQueue.front();
        if (IsKeyEvent(front)) {
            for (; fNextTap < fTaps.size() && !fWaiting; ++fNextTap) {
                std::shared_ptr<EventTap> tap = fTaps[fNextTap].lock();
                if (!tap || !tap->IsEnabled() || !tap->Wants(front.type)) {
                    continue;
                }
                if (tap->IsListenOnly()) {
                    CGEvent copy{front.type, front.keyCode, front.flags};
                    tap->Source()->Post([weak = std::weak_ptr(tap), copy]() mutable {
                        if (std::shared_ptr<EventTap> listener = weak.lock()) {
                            listener->Call(copy.type, &copy);
                        }
                    });
                    continue;
                }
                WaitFor(tap);
                break;
            }
            if (fWaiting) {
                break;
            }
        }
        Event event = front;
        fQueue.pop_front();
        fNextTap = 0;
        Deliver(event);
    }
    if (fQueue.empty()) {
        std::erase_if(fTaps, [](const std::weak_ptr<EventTap>& tap) { return tap.expired(); });
    }
    fPumping = false;
}

void SimulatedEventStream::WaitFor(const std::shared_ptr<EventTap>& tap) {
    fWaiting = true;
    fWaitingTap = tap;
    std::uint64_t ticket = ++fTicket;
    const Event& front = fQueue.front();
    CGEvent event{front.type, front.keyCode, front.flags};
    tap->Source()->Post([this, alive = fAlive, weak = std::weak_ptr(tap), ticket, event]() mutable {
        if (!*alive || ticket != fTicket) {
            return;
        }
        std::optional<CGEvent> result = event;
        std::shared_ptr<EventTap> waited = weak.lock();
        if (waited && waited->IsEnabled()) {
            CGEventRef passed = waited->Call(event.type, &event);
            result = passed == nullptr ? std::nullopt : std::optional<CGEvent>(*passed);
        }
        Resume(ticket, result);
    });
    fClock.Schedule(fClock.Now() + fTapTimeout, [this, alive = fAlive, ticket] {
        if (*alive) {
            TimeOut(ticket);
        }
    });
}

void SimulatedEventStream::Resume(std::uint64_t ticket, std::optional<CGEvent> result) {
    if (!fWaiting || ticket != fTicket) {
        return;
    }
    fWaiting = false;
    fWaitingTap.reset();
    if (result) {
        fQueue.front().type = result->type;
        fQueue.front().keyCode = result->keyCode;
        fQueue.front().flags = result->flags;
        ++fNextTap;
    } else {
        fQueue.pop_front();
        fNextTap = 0;
    }
    Pump();
}

void SimulatedEventStream::TimeOut(std::uint64_t ticket) {
    if (!fWaiting || ticket != fTicket) {
        return;
    }
    std::shared_ptr<EventTap> tap = fWaitingTap.lock();
    fWaiting = false;
    fWaitingTap.reset();
    ++fTicket;
    ++fNextTap;
    if (fTimeoutObserver) {
        fTimeoutObserver();
    }
    if (tap) {
        tap->SetEnabled(false);
        tap->Source()->Post([weak = std::weak_ptr(tap)] {
            if (std::shared_ptr<EventTap> disabled = weak.lock()) {
                CGEvent notice{kCGEventTapDisabledByTimeout, 0, 0};
                disabled->Call(kCGEventTapDisabledByTimeout, &notice);
            }
        });
    }
    Pump();
}

void SimulatedEventStream::TapStopped() {
    if (fWaiting) {
        std::shared_ptr<EventTap> tap = fWaitingTap.lock();
        if (tap && tap->IsEnabled()) {
            return;
        }
        // The event goes on unchanged.
        fWaiting = false;
        fWaitingTap.reset();
        ++fTicket;
        ++fNextTap;
    }
    Pump();
}

void SimulatedEventStream::Deliver(const Event& event) {
    fDelivered.push_back(event);
    if (fObserver) {
        fObserver(event);
    }
}

}  // namespace platform
