#pragma once

#include <optional>

#include "KeyStrokePanel.h"

class QKeyEvent;

// The window system's key as the recording sheet takes it: the virtual key
// code through the platform's key-code table (from the evdev code the window
// system reports), the modifier-flag word from the held modifiers (Ctrl as
// Control, Alt as Option, Super as Command), the U.S. layout's characters.
// A modifier key's own press or release changes the word. Nothing for a key
// the table does not know.
std::optional<AKeyEvent> ToKeyEvent(const QKeyEvent& event, bool pressed);
// Shift, Ctrl, Alt or Super itself.
bool IsModifierKey(const QKeyEvent& event);
