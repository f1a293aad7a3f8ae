#include "LinuxKeyEventFilter.h"

#include "EventTapPort.h"

namespace platform {

CFMachPortRef LinuxKeyEventFilter::CreateTap(CGEventTapPlacement, CGEventTapOptions options,
                                             CGEventMask mask, CGEventTapCallBack callback,
                                             void* userInfo) {
    return std::make_shared<EventTap>(options, mask, callback, userInfo);
}

}  // namespace platform
