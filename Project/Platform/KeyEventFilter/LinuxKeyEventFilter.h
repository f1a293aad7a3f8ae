#pragma once

#include "KeyEventFilter.h"

namespace platform {

// The agent on Linux holds modifier buttons down on the driver host's
// virtual keyboard, so the desktop stamps them on every key by itself and a
// tap has nothing to do: taps are made (the agent works as usual) but no
// event ever reaches them. The pointer location and screen are unknown here;
// the host clicks where the pointer is.
class LinuxKeyEventFilter final : public KeyEventFilterBackend {
public:
    CFMachPortRef CreateTap(CGEventTapPlacement place, CGEventTapOptions options, CGEventMask mask,
                            CGEventTapCallBack callback, void* userInfo) override;
    CGPoint MouseLocation() const override { return {}; }
    std::optional<CGRect> MainScreenFrame() const override { return std::nullopt; }
};

}  // namespace platform
