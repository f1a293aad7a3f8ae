#pragma once

#include <filesystem>
#include <string>

class ADeviceSettings;

// The settings as the settings window shows them, for people (one line per
// setting) or as one JSON object whose form the README documents.
std::string SettingsText(const ADeviceSettings& settings);
std::string SettingsJson(const ADeviceSettings& settings, const std::filesystem::path& file);
