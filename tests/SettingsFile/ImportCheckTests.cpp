// The check an import makes before it takes a settings file from elsewhere:
// each way a file can be damaged is named, with its line; a sound file, as
// written or as a person might format it, passes.

#include <gtest/gtest.h>

#include <functional>

#include "SettingsFile.h"
#include "SettingsFileCheck.h"
#include "SettingsFileFixture.h"

namespace {

struct Damage {
    const char* name;
    std::function<void(SettingsXml&)> damage;
    const char* problem;  // empty: the file is sound
};

class ImportCheckTest : public SettingsFileTest, public testing::WithParamInterface<Damage> {};

TEST_P(ImportCheckTest, NamesTheFirstProblem) {
    SettingsXml xml;
    GetParam().damage(xml);
    WriteFile(xml.Text());
    const std::optional<std::string> problem = SettingsFileProblem(File());
    if (*GetParam().problem == '\0') {
        EXPECT_EQ(problem, std::nullopt);
    } else {
        ASSERT_TRUE(problem);
        EXPECT_EQ(*problem, GetParam().problem);
    }
}

const auto kRecording = [](const char* keys) {
    return "<secondaryButtonMappings>" + SettingsXml::Mappings({"1", "9"}) +
           SettingsXml::Mapping("14", keys) + SettingsXml::Mapping("12") +
           "</secondaryButtonMappings>";
};

INSTANTIATE_TEST_SUITE_P(
    Files, ImportCheckTest,
    testing::Values(
        Damage{"Sound", [](SettingsXml&) {}, ""},
        Damage{"SoundPrettyPrinted",
               [](SettingsXml& x) {
                   x.pointer = "\n  <pointerSensitivity> 3 </pointerSensitivity>\n";
               },
               ""},
        Damage{"NotXml", [](SettingsXml& x) { x.scroll = "<scrollWheelSensitivity>"; },
               "line 2: not well-formed XML (Start-end tags mismatch)"},
        Damage{"SensitivityOutOfRange",
               [](SettingsXml& x) { x.pointer = "<pointerSensitivity>12</pointerSensitivity>"; },
               "line 2: pointerSensitivity '12' is not 0 to 9"},
        Damage{"SensitivityNotANumber",
               [](SettingsXml& x) {
                   x.scroll = "<scrollWheelSensitivity>6px</scrollWheelSensitivity>";
               },
               "line 2: scrollWheelSensitivity '6px' is not 0 to 9"},
        Damage{"ElementsSwapped", [](SettingsXml& x) { std::swap(x.pointer, x.scroll); },
               "line 2: <scrollWheelSensitivity> where <pointerSensitivity> belongs"},
        Damage{"ElementMissing", [](SettingsXml& x) { x.reverse.clear(); },
               "line 2: <settings> holds 4 elements, not 5"},
        Damage{"FiveButtons",
               [](SettingsXml& x) {
                   x.primary = "<primaryButtonMappings>" +
                               SettingsXml::Mappings({"1", "9", "2", "12", "4"}) +
                               "</primaryButtonMappings>";
               },
               "line 2: <primaryButtonMappings> holds 5 elements, not 6"},
        Damage{"UnknownMappingId",
               [](SettingsXml& x) {
                   x.secondary = "<secondaryButtonMappings>" +
                                 SettingsXml::Mappings({"1", "9", "42", "12"}) +
                                 "</secondaryButtonMappings>";
               },
               "line 2: mapType '42' is no button function"},
        Damage{"UnreadableRecordingKeptAsTheFileKeepsIt",
               [](SettingsXml& x) { x.secondary = kRecording("Return,36"); }, ""},
        Damage{"ReverseNotABit",
               [](SettingsXml& x) { x.reverse = "<reverseScrollWheel>yes</reverseScrollWheel>"; },
               "line 2: reverseScrollWheel 'yes' is not 0 or 1"},
        Damage{"TextAmongElements", [](SettingsXml& x) { x.pointer += "\nstray"; },
               "line 2: text where <settings> holds only elements"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsFileTest, AFileAsWrittenPassesAndOneNotThereIsNamed) {
    EXPECT_EQ(SettingsFileProblem(File()), "cannot be read: No such file or directory");
    EXPECT_EQ(SettingsFileProblem(fHome.Path()), "not a regular file");
    ASettingsFile settings;
    settings.FlushXml();
    EXPECT_EQ(SettingsFileProblem(File()), std::nullopt);
}

}  // namespace
