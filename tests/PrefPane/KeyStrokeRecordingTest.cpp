// The recording sheet: what typing shows and records, loading a stored
// recording, and what OK, Clear and Cancel leave on the button.

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include "KeyEventFilter.h"
#include "KeyStrokePanel.h"
#include "KeyStrokePanelController.h"
#include "PaneFixture.h"
#include "SimulatedEventStream.h"

namespace {

// Device-dependent low bits, as the window system delivers them with Command.
constexpr std::uint32_t kCommandWord = kCommandKeyMask | 0x8;
constexpr std::uint32_t kOptionWord = kOptionKeyMask | 0x20;
constexpr std::uint32_t kShiftWord = kShiftKeyMask | 0x2;

// One step of a script: a modifier-flag change (key 0xFFFF), a key down, an
// auto-repeat, or a key equivalent.
struct Step {
    enum Kind { Flags, Down, Repeat, Equivalent } kind;
    std::uint16_t keyCode = 0;
    const char* characters = "";
    std::uint32_t flags = 0;
};
Step FlagsTo(std::uint32_t flags) { return {Step::Flags, 0, "", flags}; }
Step Down(std::uint16_t code, const char* characters) { return {Step::Down, code, characters}; }

struct Script {
    const char* name;
    std::vector<Step> steps;
    const char* text;
    const char* keys;
    bool valid;
};

class RecordingTest : public PaneFixture, public ::testing::WithParamInterface<Script> {
protected:
    void SetUp() override {
        Load();
        Select();
        Choose(Buttons().fButton1MappingChooser, kKeyStrokeRecordingMappingType);
    }
    AKeyStrokePanel& Sheet() { return *fPane->fKeyStrokePanelController->fKeyStrokePanel; }
    AKeyStrokePanelController& Controller() { return *fPane->fKeyStrokePanelController; }
    void Play(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            const AKeyEvent event{step.keyCode, step.flags, step.characters,
                                  step.kind == Step::Repeat};
            switch (step.kind) {
                case Step::Flags:
                    Sheet().flagsChanged(event);
                    break;
                case Step::Down:
                case Step::Repeat:
                    Sheet().keyDown(event);
                    break;
                case Step::Equivalent:
                    EXPECT_TRUE(Sheet().performKeyEquivalent(event));
                    break;
            }
        }
    }
};

TEST_P(RecordingTest, TypingShowsAndRecords) {
    Play(GetParam().steps);
    EXPECT_EQ(GetParam().text, Sheet().macroInputField()->text());
    EXPECT_EQ(GetParam().keys, Sheet().KeyCodesString());
    EXPECT_EQ(GetParam().valid, Sheet().HasValidRecording());
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, RecordingTest,
    ::testing::Values(
        Script{"CommandCThenReturn",
               {FlagsTo(kCommandWord), Down(8, "c"), FlagsTo(0), Down(36, "\r")},
               "Cmd+c  Return ", "c,8,1048584|Return,36,0", true},
        Script{"StickyOptionJoinsTheNextKey",
               {FlagsTo(kOptionWord), FlagsTo(0), Down(48, "\t")},
               "Opt+Tab ", "Tab,48,524320", true},
        Script{"HeldCommandIgnoresASecondKey",
               {FlagsTo(kCommandWord), Down(8, "c"), Down(9, "v"), FlagsTo(0), Down(9, "v")},
               "Cmd+c  v ", "c,8,1048584|v,9,0", true},
        Script{"AutoRepeatAddsNothing",
               {Down(0, "a"), {Step::Repeat, 0, "a"}, {Step::Repeat, 0, "a"}},
               "a ", "a,0,0", true},
        Script{"ShiftThenCommandNamesBoth",
               {FlagsTo(kShiftWord), FlagsTo(kShiftWord | kCommandWord), Down(17, "t")},
               "Shift+Cmd+t ", "t,17,1179658", true},
        Script{"KeyEquivalentCompletesAnOpenCombination",
               {FlagsTo(kCommandWord), {Step::Equivalent, 1, "s", kCommandWord},
                {Step::Equivalent, 1, "s", kCommandWord}},
               "Cmd+s ", "s,1,1048584", true},
        Script{"ModifiersAloneAreNotAValidRecording", {FlagsTo(kOptionWord), FlagsTo(0)}, "Opt",
               "", false},
        Script{"KeyWithoutNameBeepsAndEndsTheCombination",
               {FlagsTo(kCommandWord), Down(200, ""), Down(122, "")},
               "Cmd F1 ", "F1,122,0", true},
        Script{"CommaKeyKeepsTheEntryFields", {Down(43, ",")}, "Comma ", "Comma,43,0", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RecordingTest, LoadingJoinsPiecesWithOneSpaceAndMalformedLoadsEmpty) {
    Sheet().SetKeyCodes("c,8,1048840|Return,36,0");
    EXPECT_EQ("Cmd+c Return ", Sheet().macroInputField()->text());
    EXPECT_EQ("c,8,1048840|Return,36,0", Sheet().KeyCodesString());
    Play({Down(48, "\t")});
    EXPECT_EQ("c,8,1048840|Return,36,0|Tab,48,0", Sheet().KeyCodesString());

    // Flags read as the agent reads them, by their leading digits.
    Sheet().SetKeyCodes("c,8,1048576x");
    EXPECT_EQ("Cmd+c ", Sheet().macroInputField()->text());

    Sheet().SetKeyCodes("Return");
    EXPECT_EQ("", Sheet().macroInputField()->text());
    EXPECT_EQ("", Sheet().KeyCodesString());
}

TEST_F(RecordingTest, OkStoresTheRecordingAndAnnouncesIt) {
    Play({FlagsTo(kCommandWord), Down(8, "c"), FlagsTo(0)});
    const std::size_t sent = PanePosts("HalvorinAgent").size();
    Controller().Ok(nullptr);
    const auto stored = Settings().PrimaryButtonMappingAtIndex(0);
    EXPECT_EQ(kKeyStrokeRecordingMappingType, stored->mapType());
    EXPECT_EQ("c,8,1048584", stored->macroKeys());
    EXPECT_EQ(sent + 1, PanePosts("HalvorinAgent").size());
    EXPECT_FALSE(Sheet().isVisible());
}

TEST_F(RecordingTest, OkOnModifiersOnlyBeepsAlertsAndKeepsTheSheetOpen) {
    Play({FlagsTo(kOptionWord), FlagsTo(0)});
    Controller().Ok(nullptr);
    const auto& events = fAttention->Events();
    ASSERT_GE(events.size(), 2u);
    EXPECT_TRUE(events[events.size() - 2].beep);
    EXPECT_EQ("Invalid KeyStroke Recording", events.back().alert.header);
    EXPECT_EQ("You cannot enter a key sequence consisting of only modifier keys.",
              events.back().alert.message);
    EXPECT_EQ("Ok", events.back().alert.button);
    EXPECT_TRUE(Sheet().isVisible());
    EXPECT_NE(kKeyStrokeRecordingMappingType, StoredPrimary(0));
}

TEST_F(RecordingTest, CancelGivesAnEmptyRecordingUnlessOneWasThere) {
    ASSERT_EQ(kLeftClickMappingType, StoredPrimary(0));
    Play({Down(0, "a")});
    Controller().Cancel(nullptr);
    EXPECT_EQ(kKeyStrokeRecordingMappingType, StoredPrimary(0));
    EXPECT_EQ("", Settings().PrimaryButtonMappingAtIndex(0)->macroKeys());

    Settings().SetPrimaryButtonMapping(
        AButtonMapping::initWithType(kKeyStrokeRecordingMappingType, "a,0,0"), 0);
    Choose(Buttons().fButton1MappingChooser, kKeyStrokeRecordingMappingType);
    Play({Down(11, "b")});
    Controller().Cancel(nullptr);
    EXPECT_EQ("a,0,0", Settings().PrimaryButtonMappingAtIndex(0)->macroKeys());
}

TEST_F(RecordingTest, WindowSystemKeysAreTranslatedThroughTheKeyCodeTable) {
    // X11 and Wayland report evdev codes plus 8: Super (125), C (46), Return (28).
    const auto send = [&](QEvent::Type type, int key, Qt::KeyboardModifiers modifiers,
                          quint32 evdev, const char* text) {
        QKeyEvent event(type, key, modifiers, evdev + 8, 0, 0, QString::fromLatin1(text));
        QCoreApplication::sendEvent(&Sheet(), &event);
    };
    send(QEvent::KeyPress, Qt::Key_Meta, Qt::NoModifier, 125, "");
    send(QEvent::KeyPress, Qt::Key_C, Qt::MetaModifier, 46, "c");
    send(QEvent::KeyRelease, Qt::Key_C, Qt::MetaModifier, 46, "c");
    send(QEvent::KeyRelease, Qt::Key_Meta, Qt::MetaModifier, 125, "");
    send(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, 28, "\r");
    EXPECT_EQ("Cmd+c  Return ", Sheet().macroInputField()->text());
    EXPECT_EQ("c,8,1048576|Return,36,0", Sheet().KeyCodesString());
}

TEST_F(RecordingTest, WhileActiveASessionTapTakesEveryKeyPress) {
    Controller().Cancel(nullptr);
    auto stream = std::make_unique<platform::SimulatedEventStream>(*fClock);
    platform::SimulatedEventStream& keyboard = *stream;
    auto previous = platform::InstallKeyEventFilterBackend(std::move(stream));
    Choose(Buttons().fButton1MappingChooser, kKeyStrokeRecordingMappingType);
    Sheet().windowDidBecomeKey();
    ASSERT_TRUE(Sheet().hasEventTap());
    keyboard.Receive({platform::SimulatedEventStream::Origin::Keyboard, platform::kCGEventKeyDown, 8});
    keyboard.Receive({platform::SimulatedEventStream::Origin::Keyboard, platform::kCGEventKeyUp, 8});
    // F19 types nothing here; its name stands in.
    keyboard.Receive({platform::SimulatedEventStream::Origin::Keyboard, platform::kCGEventKeyDown, 80});
    Advance(0.0);
    EXPECT_EQ("c  F19 ", Sheet().macroInputField()->text());
    EXPECT_TRUE(keyboard.Delivered().empty());
    Sheet().windowDidResignKey();
    EXPECT_FALSE(Sheet().hasEventTap());
    platform::InstallKeyEventFilterBackend(std::move(previous));
}

}  // namespace
