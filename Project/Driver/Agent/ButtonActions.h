#pragma once

#include <cstdint>
#include <memory>

#include "ButtonMapping.h"
#include "IOKitTypes.h"

// Performing the button functions that the driver announces.

// (Re)registers for the interest messages of every listed driver instance.
void RegisterForDriverNotifications();

// The interest-message handler: message type `messageType` from driver
// instance `service`.
void HandleDriverNotification(void* refCon, platform::io_service_t service,
                              platform::natural_t messageType, void* messageArgument);

// Lets go of the modifiers that modifier-key buttons hold, if any: the
// filter goes and the system's global flags are cleared.
void ReleaseHeldModifiers();

// The mapping of the agent's settings that a message value names, or null.
std::shared_ptr<const AButtonMapping> GetButtonMapping(std::uint32_t value, bool isTarn);

void PerformKeyStroke(const AButtonMapping& mapping);
void PerformComplexKeyStroke(std::uint32_t keyCode, std::uint32_t flags);
void PerformSimpleKeyStroke(std::uint32_t keyCode);
void SetModifierKeys(std::uint32_t flags);
void EndHidKeySequence();
// A left click at the pointer with the modifier flags held.
void PerformModifiedClick(std::uint32_t flags);
