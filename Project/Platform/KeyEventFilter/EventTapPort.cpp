#include "EventTapPort.h"

namespace platform {

EventTap::EventTap(CGEventTapOptions options, CGEventMask mask, CGEventTapCallBack callback,
                   void* userInfo)
    : fOptions(options),
      fMask(mask),
      fCallback(callback),
      fUserInfo(userInfo),
      fSource(CreateRunLoopSource()) {}

EventTap::~EventTap() {
    fSource->Invalidate();
    if (fStoppedObserver) {
        fStoppedObserver();
    }
}

bool EventTap::Wants(CGEventType type) const {
    return type < 64 && (fMask & CGEventMaskBit(type));
}

void EventTap::SetEnabled(bool enabled) {
    fEnabled = enabled;
    if (!enabled && fStoppedObserver) {
        fStoppedObserver();
    }
}

void EventTap::Invalidate() {
    fValid = false;
    fSource->Invalidate();
    if (fStoppedObserver) {
        fStoppedObserver();
    }
}

CGEventRef EventTap::Call(CGEventType type, CGEventRef event) {
    return fCallback == nullptr ? event : fCallback(nullptr, type, event, fUserInfo);
}

}  // namespace platform
