#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>

#include "DeviceSettings.h"
#include "TemporaryHome.h"

// The pieces of a settings file as text, each replaceable on its own. The
// starting values differ from the defaults everywhere, so that a load that
// falls back to the defaults shows.
struct SettingsXml {
    static std::string Mapping(const std::string& mapType, const std::string& macroKeys = "");
    static std::string Mappings(std::initializer_list<const char*> mapTypes);

    std::string pointer = "<pointerSensitivity>3</pointerSensitivity>";
    std::string scroll = "<scrollWheelSensitivity>7</scrollWheelSensitivity>";
    std::string primary = "<primaryButtonMappings>" + Mappings({"37", "6", "2", "12", "4", "25"}) +
                          "</primaryButtonMappings>";
    std::string secondary = "<secondaryButtonMappings>" + Mappings({"1", "9", "14", "12"}) +
                            "</secondaryButtonMappings>";
    std::string reverse = "<reverseScrollWheel>1</reverseScrollWheel>";

    std::string Text() const;
    // The record that Text() loads into.
    static ADeviceSettings Loaded();
};

// Every test runs in a temporary home of its own.
class SettingsFileTest : public testing::Test {
protected:
    std::filesystem::path Folder() const;
    std::filesystem::path File() const;
    void WriteFile(const std::string& text) const;
    std::string ReadFile() const;

    platform::ScopedTemporaryHome fHome;
};
