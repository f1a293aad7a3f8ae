#pragma once

#include <memory>

#include "DeviceSettings.h"
#include "PropertyList.h"
#include "SettingsFile.h"

// The agent's settings. The settings-file object raises when its folder cannot
// be made or its file cannot be written; the agent then carries on with the
// record in memory, logs the failure to the system log, and never lets it
// escape.

// A new settings-file object read from the user's file. When it cannot be
// made, the previous object (the user's latest settings) is kept; at the
// first start there is none, and AgentSettingsRecord falls back to a record
// in memory.
std::unique_ptr<ASettingsFile> CreateSettingsFileKeeping(std::unique_ptr<ASettingsFile> previous);

// Writes the settings file; a failed write loses nothing but the write.
void FlushSettingsFile(ASettingsFile* settings);

// The record the agent acts on: that of sDeviceSettings, or the in-memory
// fallback when there is no settings-file object.
const ADeviceSettings& AgentSettingsRecord();
// Replaces that record's values from a settings dictionary.
void RestoreAgentSettings(const platform::PropertyList& dictionary);
// Puts the fallback record back to the defaults (tests).
void ResetFallbackSettings();
