#pragma once

#include <pugixml.hpp>

// The settings file's format, for the settings model's own files (this
// header brings pugixml). Element names in the order they stand: the reader
// takes values by position; the writer and the import check use the names.
inline constexpr const char* kSettingsElement = "settings";
inline constexpr const char* kPointerSensitivityElement = "pointerSensitivity";
inline constexpr const char* kScrollWheelSensitivityElement = "scrollWheelSensitivity";
inline constexpr const char* kPrimaryButtonMappingsElement = "primaryButtonMappings";
inline constexpr const char* kSecondaryButtonMappingsElement = "secondaryButtonMappings";
inline constexpr const char* kReverseScrollWheelElement = "reverseScrollWheel";
inline constexpr const char* kButtonMappingElement = "buttonMapping";
inline constexpr const char* kMapTypeElement = "mapType";
inline constexpr const char* kMacroKeysElement = "macroKeys";

// Whitespace-only text between elements is not a node, but an element whose
// only content is white space keeps it, so that such macro keys read back.
inline constexpr unsigned kSettingsFileParseOptions =
    pugi::parse_default | pugi::parse_ws_pcdata_single;
