#include "QtKeyTranslation.h"

#include <QKeyEvent>

#include "KeyboardLayout.h"
#include "KeyCodes.h"

namespace {

// X11 and Wayland report XKB key codes: the evdev code plus 8.
constexpr quint32 kXkbOffset = 8;

std::uint32_t ModifierBit(int key) {
    switch (key) {
        case Qt::Key_Shift:
            return kShiftKeyMask;
        case Qt::Key_Control:
            return kControlKeyMask;
        case Qt::Key_Alt:
            return kOptionKeyMask;
        case Qt::Key_Meta:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
            return kCommandKeyMask;
        default:
            return 0;
    }
}

std::uint32_t HeldModifiers(Qt::KeyboardModifiers modifiers) {
    std::uint32_t flags = 0;
    if (modifiers & Qt::ShiftModifier) flags |= kShiftKeyMask;
    if (modifiers & Qt::ControlModifier) flags |= kControlKeyMask;
    if (modifiers & Qt::AltModifier) flags |= kOptionKeyMask;
    if (modifiers & Qt::MetaModifier) flags |= kCommandKeyMask;
    return flags;
}

}  // namespace

bool IsModifierKey(const QKeyEvent& event) {
    return ModifierBit(event.key()) != 0;
}

std::optional<AKeyEvent> ToKeyEvent(const QKeyEvent& event, bool pressed) {
    AKeyEvent key;
    key.modifierFlags = HeldModifiers(event.modifiers());
    if (const std::uint32_t bit = ModifierBit(event.key())) {
        // Whether the event's own modifier is already counted differs
        // between window systems.
        key.modifierFlags = pressed ? key.modifierFlags | bit : key.modifierFlags & ~bit;
    }
    const quint32 scanCode = event.nativeScanCode();
    if (scanCode < kXkbOffset) {
        return IsModifierKey(event) ? std::optional<AKeyEvent>(key) : std::nullopt;
    }
    const std::optional<std::uint16_t> virtualKey =
        platform::VirtualKeyForEvdevCode(static_cast<std::uint16_t>(scanCode - kXkbOffset));
    if (!virtualKey) {
        return IsModifierKey(event) ? std::optional<AKeyEvent>(key) : std::nullopt;
    }
    key.keyCode = *virtualKey;
    key.charactersIgnoringModifiers = CharactersIgnoringModifiers(key.keyCode);
    key.isARepeat = event.isAutoRepeat();
    return key;
}
