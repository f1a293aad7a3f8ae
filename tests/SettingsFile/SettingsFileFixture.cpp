#include "SettingsFileFixture.h"

#include <fstream>
#include <sstream>

std::string SettingsXml::Mapping(const std::string& mapType, const std::string& macroKeys) {
    return "<buttonMapping><mapType>" + mapType + "</mapType><macroKeys>" + macroKeys +
           "</macroKeys></buttonMapping>";
}

std::string SettingsXml::Mappings(std::initializer_list<const char*> mapTypes) {
    std::string text;
    for (const char* mapType : mapTypes) text += Mapping(mapType);
    return text;
}

std::string SettingsXml::Text() const {
    return "<?xml version=\"1.0\"?>\n<settings>" + pointer + scroll + primary + secondary +
           reverse + "</settings>\n";
}

ADeviceSettings SettingsXml::Loaded() {
    ADeviceSettings settings;
    settings.setPointerSensitivity(3);
    settings.setScrollWheelSensitivity(7);
    settings.setReverseScrollDirection(true);
    settings.SetPrimaryButtonMapping(AButtonMapping::initWithType(kMiddleClickMappingType, ""), 0);
    settings.SetPrimaryButtonMapping(AButtonMapping::initWithType(7, ""), 1);
    settings.SetSecondaryButtonMapping(
        AButtonMapping::initWithType(kKeyStrokeRecordingMappingType, ""), 2);
    return settings;
}

std::filesystem::path SettingsFileTest::Folder() const {
    return fHome.Path() / ".local" / "share" / "Halvorin";
}

std::filesystem::path SettingsFileTest::File() const {
    return Folder() / "OrvandelSettings.xml";
}

void SettingsFileTest::WriteFile(const std::string& text) const {
    std::filesystem::create_directories(Folder());
    std::ofstream(File(), std::ios::binary) << text;
}

std::string SettingsFileTest::ReadFile() const {
    std::ifstream in(File(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
