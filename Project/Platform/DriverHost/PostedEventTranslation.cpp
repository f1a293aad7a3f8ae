#include "PostedEventTranslation.h"

#include <linux/input-event-codes.h>

#include "HIDSystem.h"
#include "KeyCodes.h"

namespace platform {

std::optional<PostedAction> TranslatePostedEvent(std::uint32_t eventType, std::uint16_t keyCode,
                                                 std::uint32_t eventFlags) {
    auto press = [](std::uint16_t code, bool down) {
        return PostedAction{PostedAction::Kind::Press, code, down, {}};
    };
    switch (eventType) {
        case NX_KEYDOWN:
        case NX_KEYUP: {
            const std::optional<std::uint16_t> code = EvdevCodeForVirtualKey(keyCode);
            if (!code) {
                return std::nullopt;
            }
            return press(*code, eventType == NX_KEYDOWN);
        }
        case NX_FLAGSCHANGED: {
            const ModifierKeys keys = ModifierEvdevKeysForFlags(eventFlags);
            return PostedAction{
                PostedAction::Kind::Modifiers, 0, false, {keys.begin(), keys.end()}};
        }
        case NX_LMOUSEDOWN:
        case NX_LMOUSEUP:
            return press(BTN_LEFT, eventType == NX_LMOUSEDOWN);
        case NX_RMOUSEDOWN:
        case NX_RMOUSEUP:
            return press(BTN_RIGHT, eventType == NX_RMOUSEDOWN);
        default:
            return std::nullopt;
    }
}

}  // namespace platform
