#include <gtest/gtest.h>

#include <cstdlib>
#include <pugixml.hpp>
#include <vector>

#include "SettingsFile.h"
#include "SettingsFileFixture.h"

namespace {

std::vector<std::string> ChildNames(pugi::xml_node node) {
    std::vector<std::string> names;
    for (pugi::xml_node child : node.children()) names.push_back(child.name());
    return names;
}

TEST_F(SettingsFileTest, DefaultsAreWrittenPrettyPrintedWithEveryElementNamed) {
    ASettingsFile().FlushXml();
    const std::string text = ReadFile();
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(text.c_str()));
    const pugi::xml_node root = document.document_element();
    EXPECT_STREQ(root.name(), "settings");
    EXPECT_EQ(ChildNames(root),
              (std::vector<std::string>{"pointerSensitivity", "scrollWheelSensitivity",
                                        "primaryButtonMappings", "secondaryButtonMappings",
                                        "reverseScrollWheel"}));
    EXPECT_STREQ(root.child_value("pointerSensitivity"), "5");
    EXPECT_STREQ(root.child_value("scrollWheelSensitivity"), "5");
    EXPECT_STREQ(root.child_value("reverseScrollWheel"), "0");
    const auto ids = [](pugi::xml_node mappings) {
        std::vector<std::string> found;
        for (pugi::xml_node mapping : mappings.children()) {
            EXPECT_EQ(ChildNames(mapping), (std::vector<std::string>{"mapType", "macroKeys"}));
            EXPECT_STREQ(mapping.child_value("macroKeys"), "");
            found.push_back(mapping.child_value("mapType"));
        }
        return found;
    };
    EXPECT_EQ(ids(root.child("primaryButtonMappings")),
              (std::vector<std::string>{"1", "9", "2", "12", "4", "25"}));
    EXPECT_EQ(ids(root.child("secondaryButtonMappings")),
              (std::vector<std::string>{"1", "9", "2", "12"}));
    // One element per line, children indented below their parent.
    EXPECT_NE(text.find("\n<settings>\n  <pointerSensitivity>5</pointerSensitivity>\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\n    <buttonMapping>\n      <mapType>1</mapType>\n"), std::string::npos)
        << text;
}

TEST_F(SettingsFileTest, WhatIsWrittenLoadsBackEqual) {
    const std::vector<std::string> macroKeys = {
        "Return,36,0|Tab,48,131072",
        "<,43,131072|&,26,0|>,47,131072|\",39,131072|',39,0",
        "]]>,0,0|&amp;,1,0|&#13;,2,0",
        "\r\n\t,36,0|\r,36,0",
        "  leading and trailing  ",
        "   ",
        "\t",
        "\x7f,3,0|\xef\xbf\xbd,4,0",
        "\xc3\xa9,14,0|\xe2\x8c\x98,55,1048576",
        ",,|,|",
    };
    ASettingsFile written;
    written.SetPointerSensitivityValue(9);
    written.SetScrollWheelSensitivityValue(0);
    written.SetReverseScrollDirectionValue(true);
    for (std::int32_t i = 0; i < kNumPrimaryButtonMappings; ++i) {
        written.SetPrimaryButtonMapping(
            AButtonMapping::initWithType(kKeyStrokeRecordingMappingType, macroKeys[i]), i);
    }
    for (std::int32_t i = 0; i < kNumSecondaryButtonMappings; ++i) {
        written.SetSecondaryButtonMapping(
            AButtonMapping::initWithType(36 + i, macroKeys[kNumPrimaryButtonMappings + i]), i);
    }
    written.FlushXml();
    const std::string first = ReadFile();

    ASettingsFile loaded;
    EXPECT_TRUE(loaded.deviceSettings() == written.deviceSettings());
    EXPECT_EQ(loaded.SettingsAsDict(), written.SettingsAsDict());
    loaded.FlushXml();
    EXPECT_EQ(ReadFile(), first);
}

TEST_F(SettingsFileTest, OutOfRangeSensitivitiesAreWrittenAsTheyReadBack) {
    ASettingsFile written;
    written.SetPointerSensitivityValue(12);
    written.SetScrollWheelSensitivityValue(-1);
    written.FlushXml();
    EXPECT_NE(ReadFile().find("<pointerSensitivity>5</pointerSensitivity>"), std::string::npos);
    EXPECT_NE(ReadFile().find("<scrollWheelSensitivity>5</scrollWheelSensitivity>"),
              std::string::npos);
    ASettingsFile loaded;
    EXPECT_EQ(loaded.PointerSensitivityValue(), 5);
    EXPECT_EQ(loaded.ScrollWheelSensitivityValue(), 5);
}

// Characters that XML 1.0 does not allow are left out of the file, which a
// strict parser (expat) then accepts; a lenient reader of a file holding them
// as character references keeps them out of the record too.
TEST_F(SettingsFileTest, FileIsWellFormedXml10WhateverTheMacroKeysHold) {
    ASettingsFile written;
    written.SetPrimaryButtonMapping(
        AButtonMapping::initWithType(kKeyStrokeRecordingMappingType,
                                     "Esc\x1b,53,0|\x01\xef\xbf\xbf\xc3,36,0"),
        0);
    written.FlushXml();
    const std::string command =
        "/usr/bin/python3 -c 'import sys, xml.parsers.expat; "
        "xml.parsers.expat.ParserCreate().ParseFile(open(sys.argv[1], \"rb\"))' " +
        File().string();
    EXPECT_EQ(std::system(command.c_str()), 0) << ReadFile();
    EXPECT_EQ(ASettingsFile().PrimaryButtonMappingAtIndex(0)->macroKeys(), "Esc,53,0|,36,0");

    SettingsXml xml;
    xml.primary = "<primaryButtonMappings>" + SettingsXml::Mapping("14", "a&#1;b&#27;c,8,0") +
                  SettingsXml::Mappings({"6", "2", "12", "4", "25"}) + "</primaryButtonMappings>";
    WriteFile(xml.Text());
    EXPECT_EQ(ASettingsFile().PrimaryButtonMappingAtIndex(0)->macroKeys(), "abc,8,0");
}

TEST_F(SettingsFileTest, MappingIdIsWrittenNotTheType) {
    SettingsXml xml;
    WriteFile(xml.Text());
    ASettingsFile file;
    ASSERT_EQ(file.PrimaryButtonMappingAtIndex(0)->mapType(), kMiddleClickMappingType);
    file.FlushXml();
    EXPECT_NE(ReadFile().find("<mapType>37</mapType>"), std::string::npos);
    EXPECT_EQ(ReadFile().find("<mapType>3</mapType>"), std::string::npos);
}

TEST_F(SettingsFileTest, TarnFlagIsNeverStoredOrLoaded) {
    {
        ASettingsFile file;
        EXPECT_FALSE(file.IsTarnMouse());
        file.SetIsTarnMouse(true);
        EXPECT_TRUE(file.IsTarnMouse());
        file.FlushXml();
    }
    pugi::xml_document document;
    ASSERT_TRUE(document.load_file(File().c_str()));
    EXPECT_EQ(ChildNames(document.document_element()).size(), 5u);
    EXPECT_FALSE(ASettingsFile().IsTarnMouse());
}

TEST_F(SettingsFileTest, RestoreDefaultValuesLeavesTheFileAlone) {
    WriteFile(SettingsXml{}.Text());
    ASettingsFile file;
    file.RestoreDefaultValues();
    EXPECT_EQ(file.SettingsAsDict(), ADeviceSettings().SettingsAsDict());
    EXPECT_EQ(ReadFile(), SettingsXml{}.Text());
}

TEST_F(SettingsFileTest, FailedWriteRaisesAndChangesNothingOnDisk) {
    ASettingsFile file;
    file.SetPointerSensitivityValue(8);
    // A non-empty folder in place of the file cannot be replaced.
    std::filesystem::create_directories(File() / "kept");
    try {
        file.FlushXml();
        ADD_FAILURE() << "no error";
    } catch (const PrefControllerError& error) {
        EXPECT_EQ(error.name(), "PrefController");
        EXPECT_EQ(error.reason(), "Error saving preferences");
        EXPECT_TRUE(error.cause());
    }
    EXPECT_TRUE(std::filesystem::is_directory(File() / "kept"));
    std::vector<std::string> entries;
    for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
        entries.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(entries, std::vector<std::string>{"OrvandelSettings.xml"});

    // The record is intact and the next write succeeds.
    std::filesystem::remove_all(File());
    file.FlushXml();
    EXPECT_EQ(ASettingsFile().PointerSensitivityValue(), 8);
}

TEST_F(SettingsFileTest, FlushRecreatesAFolderRemovedSinceConstruction) {
    ASettingsFile file;
    file.SetScrollWheelSensitivityValue(2);
    std::filesystem::remove_all(fHome.Path() / ".local");
    file.FlushXml();
    EXPECT_EQ(ASettingsFile().ScrollWheelSensitivityValue(), 2);
}

}  // namespace
