#include <gtest/gtest.h>

#include <sstream>

#include "Scenario.h"
#include "ScenarioRunner.h"
#include "SettingsFile.h"
#include "TemporaryHome.h"

namespace {

using namespace scenario;

std::vector<Line> ParseText(const std::string& text) {
    std::istringstream input(text);
    return Parse(input);
}

TEST(ScenarioTest, ReadsEveryKindOfCommandAndSkipsCommentsAndBlankLines) {
    const auto lines = ParseText(
        "# a comment\n"
        "\n"
        "plug 401\n"
        "plug 405 delay 0.5   # late driver\n"
        "move 1 3 -2 0x10\n"
        "moveto 2 100 200 0xFFFFFFFF\n"
        "buttons 1 0x21\n"
        "scroll 1 2\n"
        "type 8 9\n"
        "advance 1.5\n"
        "pointer 300.5 100\n"
        "sleep\nwake\nsession resign\nsession activate\n"
        "pane show\n"
        "pane set primary 3 Copy\n"
        "pane set secondary 2 \"KeyStroke Recording\" \"Return,36,0|Tab,48,131072\"\n"
        "pane set pointer 7\n"
        "pane set reverse on\n"
        "pane send\n"
        "pane send saved.xml\n"
        "pane hide\n"
        "unplug 1\n"
        "interrupt\n");
    ASSERT_EQ(lines.size(), 23u);
    EXPECT_EQ(lines[0].number, 3);
    const auto& late = std::get<Plug>(lines[1].command);
    EXPECT_EQ(late.productId, 405);
    EXPECT_EQ(late.driverDelay, 0.5);
    const auto& move = std::get<RelativeReport>(lines[2].command);
    EXPECT_EQ(move.dy, -2);
    EXPECT_EQ(move.buttons, 0x10u);
    EXPECT_EQ(std::get<AbsoluteReport>(lines[3].command).buttons, 0xFFFFFFFFu);
    EXPECT_EQ(std::get<RelativeReport>(lines[4].command).buttons, 0x21u);
    EXPECT_EQ(std::get<TypeKeys>(lines[6].command).keyCodes, (std::vector<std::uint32_t>{8, 9}));
    const auto& copy = std::get<PaneSet>(lines[14].command);
    EXPECT_EQ(copy.field, PaneSet::Field::Primary);
    EXPECT_EQ(copy.index, 3);
    EXPECT_EQ(copy.value, 7);
    const auto& recording = std::get<PaneSet>(lines[15].command);
    EXPECT_EQ(recording.value, 15);
    EXPECT_EQ(recording.macroKeys, "Return,36,0|Tab,48,131072");
    EXPECT_EQ(std::get<PaneSend>(lines[19].command).file, "saved.xml");
    EXPECT_TRUE(std::holds_alternative<Interrupt>(lines[22].command));
}

TEST(ScenarioTest, ReadsTheActionsOfThePanesUser) {
    const auto lines = ParseText(
        "pane choose secondary 4 \"Page Up\"\n"
        "pane record Cmd+c Return\n"
        "pane cancel\n"
        "pane hint ok dontshow\n"
        "pane restore\n");
    ASSERT_EQ(lines.size(), 5u);
    const auto& choice = std::get<PaneChoose>(lines[0].command);
    EXPECT_FALSE(choice.primary);
    EXPECT_EQ(choice.button, 4);
    EXPECT_EQ(choice.item, "Page Up");
    EXPECT_EQ(std::get<PaneRecord>(lines[1].command).keys,
              (std::vector<std::string>{"Cmd+c", "Return"}));
    EXPECT_EQ(std::get<PaneSheetButton>(lines[2].command).button, PaneSheetButton::Button::Cancel);
    EXPECT_TRUE(std::get<PaneHintOk>(lines[3].command).dontShow);
    EXPECT_EQ(std::get<PaneSet>(lines[4].command).field, PaneSet::Field::Defaults);
}

// A six-button mouse whose stored button 5 is "Secondary Functions": its
// menu cannot show that row and shows "Show/Hide Dashboard" instead. Hiding
// the pane keeps the stored row in the file; the pane shown again sends, and
// the button then does, what the menu shows.
TEST(ScenarioRunnerTest, PaneShownAgainKeepsButtonFiveAsItsMenuShowsIt) {
    platform::ScopedTemporaryHome home;
    {
        ASettingsFile stored;
        stored.SetPrimaryButtonMapping(
            AButtonMapping::initWithType(kSecondaryFunctionsMappingType, {}), 4);
        stored.FlushXml();
    }
    std::ostringstream output;
    ScenarioRunner(output, home.Path())
        .Run(ParseText("plug 401\npane show\nadvance 1\npane hide\npane show\nadvance 1\n"
                       "buttons 1 0x08\nbuttons 1 0\n"));
    const std::string printed = output.str();
    EXPECT_NE(printed.find("settings-file written pointer=5 scroll=5 reverse=0 "
                           "primary=1,9,2,12,25,25"),
              std::string::npos)
        << printed;
    const std::size_t shownAgain = printed.rfind("pane view searching");
    const std::size_t lastPost = printed.rfind("name=HalvorinAgent");
    ASSERT_LT(shownAgain, lastPost) << printed;
    EXPECT_NE(
        printed.find(
            R"({"MacroKeys": "", "kMappingIdKey": "26"}, {"MacroKeys": "", "kMappingIdKey": "25"}])",
            lastPost),
        std::string::npos)
        << printed;
    EXPECT_NE(printed.find("key-down key=111 ", shownAgain), std::string::npos) << printed;
}

struct BadLine {
    const char* text;
    const char* reason;
};

class BadScenarioLineTest : public testing::TestWithParam<BadLine> {};

TEST_P(BadScenarioLineTest, IsRefusedWithItsLineNumberAndReason) {
    const BadLine& bad = GetParam();
    try {
        ParseText(std::string("plug 401\n# fine so far\n") + bad.text + "\nsleep\n");
        FAIL() << "accepted: " << bad.text;
    } catch (const ParseError& error) {
        EXPECT_EQ(error.Line(), 3);
        EXPECT_EQ(std::string(error.what()), std::string("line 3: ") + bad.reason);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scenario, BadScenarioLineTest,
    testing::Values(
        BadLine{"jump 3", "unknown command 'jump'"}, BadLine{"plug", "missing product id"},
        BadLine{"plug 40x1", "bad product id '40x1'"},
        BadLine{"plug 401 later 2", "plug takes a product id and, optionally, delay <seconds>"},
        BadLine{"move 1 3", "missing dy"},
        BadLine{"buttons 0 1", "mouse number 0 out of range 1 to 1000"},
        BadLine{"buttons 1 0x100000000", "buttons 0x100000000 out of range 0 to 4294967295"},
        BadLine{"sleep now", "unexpected 'now'"}, BadLine{"advance -1", "bad seconds '-1'"},
        BadLine{"session away", "session takes resign or activate, not 'away'"},
        BadLine{"pane set primary 6 Copy", "button index 6 out of range 0 to 5"},
        BadLine{"pane set secondary 0 Teleport", "unknown button function 'Teleport'"},
        BadLine{"pane set reverse maybe", "reverse takes on or off, not 'maybe'"},
        BadLine{"pane set primary 1 \"Copy", "unterminated quotes"},
        BadLine{"pane wave", "unknown pane action 'wave'"},
        BadLine{"pane choose secondary 5 Copy", "button 5 out of range 1 to 4"},
        BadLine{"pane choose middle 1 Copy", "choose takes primary or secondary, not 'middle'"},
        BadLine{"pane record", "missing key"},
        BadLine{"pane hint ok later", "hint takes ok [dontshow]"}));

}  // namespace
