#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <vector>

#include "SettingsFile.h"
#include "SettingsFileFixture.h"

namespace {

platform::PropertyList Defaults() {
    return ADeviceSettings().SettingsAsDict();
}

TEST_F(SettingsFileTest, NoFolderAndNoFileGivesDefaultsAndCreatesOnlyTheFolder) {
    ASSERT_FALSE(std::filesystem::exists(fHome.Path() / ".local"));
    ASettingsFile file;
    EXPECT_TRUE(std::filesystem::is_directory(Folder()));
    EXPECT_FALSE(std::filesystem::exists(File()));
    EXPECT_EQ(file.xmlPath(), File());
    EXPECT_EQ(file.SettingsAsDict(), Defaults());
}

TEST_F(SettingsFileTest, XdgDataHomeChoosesTheFolder) {
    const auto dataHome = fHome.Path() / "data";
    setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    ASettingsFile file;
    EXPECT_EQ(file.xmlPath(), dataHome / "Halvorin" / "OrvandelSettings.xml");
    EXPECT_TRUE(std::filesystem::is_directory(dataHome / "Halvorin"));
}

TEST_F(SettingsFileTest, LoadsEveryValue) {
    WriteFile(SettingsXml{}.Text());
    ASettingsFile file;
    EXPECT_EQ(file.SettingsAsDict(), SettingsXml::Loaded().SettingsAsDict());
    EXPECT_EQ(file.PrimaryButtonMappingAtIndex(0)->mapType(), kMiddleClickMappingType);
}

TEST_F(SettingsFileTest, SensitivityTextRules) {
    struct Case {
        const char* text;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"9", 9},           {"0", 0},  {"12", 5},          {"-1", 5}, {"10", 5},
        {"abc", 0},         {"", 0},   {"  \n 4", 4},      {"+3", 3}, {"6px", 6},
        {"99999999999", 5}, {"-0", 0}, {"-2147483649", 5},
    };
    for (const Case& c : cases) {
        SettingsXml xml;
        xml.pointer = std::string("<pointerSensitivity>") + c.text + "</pointerSensitivity>";
        xml.scroll = std::string("<scrollWheelSensitivity>") + c.text + "</scrollWheelSensitivity>";
        WriteFile(xml.Text());
        ASettingsFile file;
        EXPECT_EQ(file.PointerSensitivityValue(), c.expected) << '"' << c.text << '"';
        EXPECT_EQ(file.ScrollWheelSensitivityValue(), c.expected) << '"' << c.text << '"';
        EXPECT_EQ(file.PrimaryButtonMappingAtIndex(0)->mapType(), kMiddleClickMappingType);
    }
}

TEST_F(SettingsFileTest, ReverseScrollTextRules) {
    struct Case {
        const char* text;
        bool expected;
    };
    const Case cases[] = {
        {"1", true},    {"true", true}, {"T", true},      {"yes", true},  {"Y", true},
        {"9", true},    {" -1", true},  {"007", true},    {"+0t", true},  {"0", false},
        {"", false},    {"no", false},  {"false", false}, {"000", false}, {"-0", false},
        {" x1", false}, {"0 1", false},
    };
    for (const Case& c : cases) {
        SettingsXml xml;
        xml.reverse = std::string("<reverseScrollWheel>") + c.text + "</reverseScrollWheel>";
        WriteFile(xml.Text());
        ASettingsFile file;
        EXPECT_EQ(file.ReverseScrollDirectionValue(), c.expected) << '"' << c.text << '"';
    }
}

TEST_F(SettingsFileTest, ValuesAreFoundByPositionNotByName) {
    SettingsXml renamed;
    renamed.pointer = "<a>3</a>";
    renamed.scroll = "<b>7</b>";
    renamed.primary = "<c>" + SettingsXml::Mappings({"37", "6", "2", "12", "4", "25"}) + "</c>";
    renamed.secondary = "<d><m><x>1</x><y/></m><m><x>9</x><y/></m>" + SettingsXml::Mapping("14") +
                        SettingsXml::Mapping("12") + "</d>";
    renamed.reverse = "<e>1</e>";
    WriteFile(renamed.Text());
    EXPECT_EQ(ASettingsFile().SettingsAsDict(), SettingsXml::Loaded().SettingsAsDict());

    SettingsXml swapped;
    std::swap(swapped.pointer, swapped.scroll);
    WriteFile(swapped.Text());
    ASettingsFile file;
    EXPECT_EQ(file.PointerSensitivityValue(), 7);
    EXPECT_EQ(file.ScrollWheelSensitivityValue(), 3);
}

TEST_F(SettingsFileTest, MissingNodesOrUnreadableContentGiveDefaultsForEveryValue) {
    const auto fewer = [](const char* mappingsElement, std::initializer_list<const char*> ids) {
        return std::string("<") + mappingsElement + ">" + SettingsXml::Mappings(ids) + "</" +
               mappingsElement + ">";
    };
    struct Case {
        const char* what;
        std::string text;
    };
    std::vector<Case> cases;
    {
        SettingsXml xml;
        xml.primary = fewer("primaryButtonMappings", {"37", "6", "2", "12", "4"});
        cases.push_back({"five primary mappings", xml.Text()});
    }
    {
        SettingsXml xml;
        xml.secondary = fewer("secondaryButtonMappings", {"1", "9", "14"});
        cases.push_back({"three secondary mappings", xml.Text()});
    }
    {
        SettingsXml xml;
        xml.secondary = "<secondaryButtonMappings>" + SettingsXml::Mappings({"1", "9", "14"}) +
                        "<buttonMapping><mapType>12</mapType></buttonMapping>" +
                        "</secondaryButtonMappings>";
        cases.push_back({"a mapping with one child", xml.Text()});
    }
    {
        SettingsXml xml;
        xml.reverse.clear();
        cases.push_back({"four root children", xml.Text()});
    }
    {
        SettingsXml xml;
        xml.primary = "<primaryButtonMappings>\n  \n</primaryButtonMappings>";
        cases.push_back({"whitespace-only mappings element", xml.Text()});
    }
    const std::string whole = SettingsXml{}.Text();
    cases.push_back({"truncated file", whole.substr(0, whole.size() / 2)});
    cases.push_back({"mismatched tags", "<settings><a>1</b></settings>"});
    cases.push_back({"empty file", ""});
    cases.push_back({"not XML", "pointerSensitivity=3\n"});
    cases.push_back({"empty root", "<settings/>"});
    for (const Case& c : cases) {
        WriteFile(c.text);
        ASettingsFile file;
        EXPECT_EQ(file.SettingsAsDict(), Defaults()) << c.what;
        EXPECT_EQ(ReadFile(), c.text) << c.what << ": loading must not touch the file";
    }
}

TEST_F(SettingsFileTest, FolderInPlaceOfTheFileGivesDefaults) {
    std::filesystem::create_directories(File() / "inside");
    ASettingsFile file;
    EXPECT_EQ(file.SettingsAsDict(), Defaults());
}

TEST_F(SettingsFileTest, ExtraChildrenAnywhereAreIgnored) {
    SettingsXml xml;
    xml.primary = "<primaryButtonMappings>" +
                  SettingsXml::Mappings({"37", "6", "2", "12", "4", "25", "30"}) +
                  "</primaryButtonMappings>";
    xml.secondary = "<secondaryButtonMappings>" + SettingsXml::Mappings({"1", "9"}) +
                    "<buttonMapping><mapType>14</mapType><macroKeys/><extra>2</extra>"
                    "</buttonMapping>" +
                    SettingsXml::Mapping("12") + "<more/></secondaryButtonMappings>";
    xml.reverse += "<sixth>9</sixth><seventh/>";
    WriteFile(xml.Text());
    EXPECT_EQ(ASettingsFile().SettingsAsDict(), SettingsXml::Loaded().SettingsAsDict());
}

TEST_F(SettingsFileTest, MappingIdsAreReadThroughTheCatalogue) {
    struct Case {
        const char* mapType;
        ButtonMappingType expected;
    };
    const Case cases[] = {
        {"37", kMiddleClickMappingType},
        {"41", kCommandKeyMappingType},
        {"31", 36},
        {"42", kDisabledMappingType},
        {"-1", kDisabledMappingType},
        {"abc", kDisabledMappingType},
        {" 2 ", kRightClickMappingType},
    };
    for (const Case& c : cases) {
        SettingsXml xml;
        xml.secondary = "<secondaryButtonMappings>" + SettingsXml::Mappings({"1", "9", "14"}) +
                        SettingsXml::Mapping(c.mapType, "Return,36,0") +
                        "</secondaryButtonMappings>";
        WriteFile(xml.Text());
        ASettingsFile file;
        EXPECT_EQ(file.SecondaryButtonMappingAtIndex(3)->mapType(), c.expected) << c.mapType;
        EXPECT_EQ(file.SecondaryButtonMappingAtIndex(3)->macroKeys(), "Return,36,0") << c.mapType;
    }
}

// Pretty-printed or not, with or without a declaration, with Windows line
// ends, comments, CDATA or escapes: the reader takes the same values.
TEST_F(SettingsFileTest, AcceptsTheUsualFormsOfTheSameDocument) {
    const std::string keys = "Return,36,0|&lt;,43,131072";
    SettingsXml compact;
    compact.primary = "<primaryButtonMappings>" + SettingsXml::Mapping("37", keys) +
                      SettingsXml::Mappings({"6", "2", "12", "4", "25"}) +
                      "</primaryButtonMappings>";
    const std::string declared = compact.Text();
    const std::string bare = declared.substr(declared.find("<settings>"));
    std::string indented;
    for (char c : bare) {
        if (c == '<' && !indented.empty() && indented.back() == '>') indented += "\r\n\t";
        indented += c;
    }
    std::string commented = bare;
    commented.insert(commented.find("<scrollWheel"), "<!-- scroll -->");
    commented.insert(0, "<!-- head -->\n");
    std::string cdata = bare;
    cdata.replace(cdata.find(keys), keys.size(), "<![CDATA[Return,36,0|<,43,131072]]>");

    for (const std::string& text : {declared, bare, indented, commented, cdata}) {
        WriteFile(text);
        ASettingsFile file;
        EXPECT_EQ(file.PrimaryButtonMappingAtIndex(0)->mapType(), kMiddleClickMappingType) << text;
        EXPECT_EQ(file.PrimaryButtonMappingAtIndex(0)->macroKeys(), "Return,36,0|<,43,131072")
            << text;
        EXPECT_EQ(file.ScrollWheelSensitivityValue(), 7) << text;
        EXPECT_TRUE(file.ReverseScrollDirectionValue()) << text;
    }
}

TEST_F(SettingsFileTest, UnusableSettingsFolderRaisesCouldNotLocateConfigFile) {
    const auto blocked = [&](const std::filesystem::path& path) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << "not a folder";
    };
    const std::filesystem::path share = fHome.Path() / ".local" / "share";
    for (const auto& blocker : {share / "Halvorin", share, fHome.Path() / ".local"}) {
        std::filesystem::remove_all(fHome.Path() / ".local");
        blocked(blocker);
        try {
            ASettingsFile file;
            ADD_FAILURE() << "no error with a file at " << blocker;
        } catch (const PrefControllerError& error) {
            EXPECT_EQ(error.name(), "PrefController");
            EXPECT_EQ(error.reason(), "Could not locate config file");
            EXPECT_STREQ(error.what(), "Could not locate config file");
            EXPECT_EQ(error.cause(), std::errc::not_a_directory) << blocker;
        }
    }
}

}  // namespace
