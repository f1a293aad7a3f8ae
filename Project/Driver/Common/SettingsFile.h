#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "DeviceSettings.h"
#include "PrefControllerError.h"
#include "PropertyList.h"

namespace pugi {
class xml_document;
class xml_node;
}  // namespace pugi

inline constexpr const char* kSettingsFolderName = "Halvorin";
inline constexpr const char* kSettingsFileName = "OrvandelSettings.xml";

// One user's settings record and its XML file, OrvandelSettings.xml in the
// folder "Halvorin" of the application-support folder. Constructing the object
// reads the file; FlushXml replaces it as a whole. The agent and the pane each
// hold one for the same file, without a lock: whichever writes last wins.
//
// Bad or missing file content never raises; the record falls back to its
// defaults. File-system failures raise PrefControllerError.
class ASettingsFile {
public:
    using MappingRef = ADeviceSettings::MappingRef;

    // Builds the record with defaults, finds the file (creating its folder)
    // and loads it. Raises PrefControllerError "Could not locate config file"
    // when the folder cannot be had.
    ASettingsFile();
    // The settings in a file of this format elsewhere (an export, an
    // import): read now if it exists, written by FlushXml.
    explicit ASettingsFile(std::filesystem::path xmlPath);
    ~ASettingsFile();
    ASettingsFile(const ASettingsFile&) = delete;
    ASettingsFile& operator=(const ASettingsFile&) = delete;

    // Where the user's settings file is (its folder not made here).
    static std::filesystem::path DefaultXmlPath();

    // Writes the record to the file atomically. Raises PrefControllerError
    // "Error saving preferences" when it cannot; the file is then unchanged.
    void FlushXml();

    // The record to its defaults; the file is not touched.
    void RestoreDefaultValues();

    std::int32_t PointerSensitivityValue() const;
    std::int32_t ScrollWheelSensitivityValue() const;
    // Store the value truncated toward zero (2.9 stores 2, -0.5 stores 0).
    void SetPointerSensitivityValue(double value);
    void SetScrollWheelSensitivityValue(double value);
    bool ReverseScrollDirectionValue() const;
    void SetReverseScrollDirectionValue(bool value);

    // Forwarded to the record, with its checks.
    MappingRef PrimaryButtonMappingAtIndex(std::int32_t index) const;
    void SetPrimaryButtonMapping(MappingRef mapping, std::int32_t index);
    MappingRef SecondaryButtonMappingAtIndex(std::int32_t index) const;
    void SetSecondaryButtonMapping(MappingRef mapping, std::int32_t index);
    platform::PropertyList SettingsAsDict() const;
    void RestoreFromDictionary(const platform::PropertyList& dictionary);

    // The attached mouse is the Tarn model; set by the pane, never saved.
    bool IsTarnMouse() const { return fIsTarnMouse; }
    void SetIsTarnMouse(bool isTarnMouse) { fIsTarnMouse = isTarnMouse; }

    const ADeviceSettings& deviceSettings() const { return fDeviceSettings; }
    const std::filesystem::path& xmlPath() const { return fXmlPath; }

private:
    std::filesystem::path GetDefaultXmlPath();
    void Load();
    bool InitXml(bool readFile);
    void ReleaseXml();
    void CreateButtonMappingFromXml(pugi::xml_node element, std::uint32_t buttonIndex,
                                    bool isPrimary);
    void AddButtonMappingElement(const AButtonMapping& mapping, pugi::xml_node parent);

    std::filesystem::path fXmlPath;
    std::unique_ptr<pugi::xml_document> fXmlDocument;
    bool fIsTarnMouse = false;
    ADeviceSettings fDeviceSettings;
};
