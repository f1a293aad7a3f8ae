#pragma once

#include <cstdint>

#include "KeyEventFilter.h"

// The key-event filter that stamps the modifiers of held modifier-key buttons
// on the session's key-down events.

// Records the modifiers and creates the filter if there is none.
void InstallEventTap(std::uint32_t flags);
// Forgets the modifiers and drops the filter.
void RemoveEventTap();
// The filter's callback.
platform::CGEventRef myCGEventCallback(platform::CGEventTapProxy proxy, platform::CGEventType type,
                                       platform::CGEventRef event, void* userInfo);
