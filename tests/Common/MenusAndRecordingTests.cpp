// The pane's rules in the settings model, as the pane and the command-line
// client both take them: menu items and rows, functions by name, typed key
// words, and how a stored recording reads.

#include <gtest/gtest.h>

#include <algorithm>

#include "ButtonMenus.h"
#include "KeyStrokeRecording.h"
#include "KeyboardLayout.h"

namespace {

TEST(ButtonMenusTest, ItemsAndRowsTranslateBothWaysInBothKindsOfMenu) {
    for (const bool full : {false, true}) {
        const std::vector<ButtonMappingType> rows = MenuMappingTypes(full);
        EXPECT_EQ(rows.size(), full ? 42u : 41u);
        EXPECT_EQ(MenuOffers(kSecondaryFunctionsMappingType, full), full);
        for (std::uint32_t item = 0; item < rows.size(); ++item) {
            EXPECT_EQ(MappingTypeOfMenuItem(item, full), rows[item]) << item;
            EXPECT_EQ(MenuItemOfMappingType(rows[item], full), item) << item;
        }
        EXPECT_EQ(MenuLabels(full)[15], "KeyStroke Recording");
    }
}

TEST(ButtonMenusTest, AFunctionIsNamedByLabelInAnyCaseOrByRow) {
    const std::pair<const char*, std::optional<ButtonMappingType>> cases[] = {
        {"Copy", 7}, {"left click+OPTION", 17},
        {"26", 26},  {"0", 0},
        {"42", {}},  {"07", {}},
        {"Cop", {}}, {"", {}},
    };
    for (const auto& [name, row] : cases) {
        EXPECT_EQ(MappingTypeNamed(name), row) << name;
    }
}

// A word typed into a recording, and the entries it records.
struct Typed {
    std::vector<const char*> words;
    const char* keyCodes;  // empty: not a valid recording
};

TEST(KeyStrokeWordsTest, WordsTypeWhatThePersonWouldTypeIntoTheSheet) {
    const Typed cases[] = {
        {{"Cmd+c", "Return"}, "c,8,1048576|Return,36,0"},
        {{"Shift+Opt+Tab"}, "Tab,48,655360"},
        {{"Cmd", "c"}, "c,8,1048576"},  // modifiers alone join the next key
        {{"Comma", "Shift++"}, "Comma,43,0|+,69,131072"},
        {{"Ctrl+F5"}, "F5,96,262144"},
        {{"a", "Cmd+Opt"}, ""},
    };
    for (const Typed& typed : cases) {
        AKeyStrokeRecording recording;
        for (const char* text : typed.words) {
            std::string error;
            const auto word = ParseKeyStrokeWord(text, error);
            ASSERT_TRUE(word) << text << ": " << error;
            TypeKeyStrokeWord(
                *word, [&](std::uint32_t flags) { recording.flagsChanged(flags); },
                [&](std::uint16_t key, std::uint32_t flags) {
                    recording.keyDown({key, flags, CharactersIgnoringModifiers(key), false});
                });
        }
        EXPECT_EQ(recording.HasValidRecording(), *typed.keyCodes != '\0') << typed.words[0];
        if (recording.HasValidRecording()) {
            EXPECT_EQ(recording.KeyCodesString(), typed.keyCodes);
        }
    }
}

TEST(KeyStrokeWordsTest, UnknownPartsAreNamed) {
    for (const auto& [word, error] :
         {std::pair{"Hyper+x", "unknown modifier 'Hyper'"},
          std::pair{"Cmd+Frob", "unknown key 'Frob'"}, std::pair{"Cmd+", "unknown key ''"}}) {
        std::string said;
        EXPECT_FALSE(ParseKeyStrokeWord(word, said));
        EXPECT_EQ(said, error);
    }
}

TEST(StoredRecordingTest, ShowsWhatTheAgentPerforms) {
    using Pieces = std::vector<std::string>;
    // The flags are read as the agent reads them: their leading digits.
    EXPECT_EQ(AKeyStrokeRecording::RecordingPieces("c,8,1048576x"), Pieces{"Cmd+c"});
    EXPECT_EQ(AKeyStrokeRecording::RecordingPieces(",,43,0|Tab,48,655360"),
              (Pieces{",", "Shift+Opt+Tab"}));
    EXPECT_EQ(AKeyStrokeRecording::RecordingPieces("Return,36|Tab,48,0"), std::nullopt);
    EXPECT_EQ(AKeyStrokeRecording::RecordingPieces(""), Pieces{});
}

}  // namespace
