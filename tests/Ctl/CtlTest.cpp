// halvorinctl as a user runs it: a private session bus where this test plays
// the agent's side of the notifications (it sees every post and answers a
// client that asks which mouse is attached), and a home of its own. Each
// change must reach the settings file and go whole to the agent, once; each
// refusal must leave both untouched.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>

#include "BusConnection.h"
#include "PaneAgentNotifications.h"
#include "PrivateBus.h"
#include "RunLoop.h"
#include "SessionBusNotifications.h"
#include "SettingsFile.h"
#include "TemporaryHome.h"

namespace {

using platform::PropertyList;

constexpr const char* kMarker = "CtlTestMarker";

class CtlTest : public testing::Test {
protected:
    void SetUp() override {
        // Files the client is given by name lie in the home too.
        fFolder = std::filesystem::current_path();
        std::filesystem::current_path(fHome.Path());
        setenv("DBUS_SESSION_BUS_ADDRESS", fSession.Address().c_str(), 1);
        fBus = platform::BusConnection::Open(platform::BusConnection::Bus::Session);
        ASSERT_TRUE(fBus);
        fPrevious = platform::InstallDistributedNotificationBackend(
            std::make_unique<platform::SessionBusNotifications>(*fBus));
        platform::CFNotificationCenterAddObserver(
            platform::CFNotificationCenterGetDistributedCenter(), this, Seen, nullptr, nullptr,
            platform::CFNotificationSuspensionBehaviorDeliverImmediately);
    }
    void TearDown() override {
        platform::CFNotificationCenterRemoveEveryObserver(
            platform::CFNotificationCenterGetDistributedCenter(), this);
        platform::InstallDistributedNotificationBackend(std::move(fPrevious));
        std::filesystem::current_path(fFolder);
    }

    // Runs the client with these words, then waits until every post it made
    // has come in (a post of this test's own, after the client ended, comes
    // in after them).
    ProgramRun Ctl(const std::vector<std::string>& words) {
        std::vector<std::string> arguments{HALVORIN_CTL};
        arguments.insert(arguments.end(), words.begin(), words.end());
        const ProgramRun run = RunProgram(arguments, {}, [this] { Pump(); });
        platform::CFNotificationCenterPostNotification(
            platform::CFNotificationCenterGetDistributedCenter(), kMarker, nullptr, nullptr, true);
        EXPECT_TRUE(WaitUntil([&] { return fMarkerSeen; }, [this] { Pump(); }));
        fMarkerSeen = false;
        return run;
    }
    void Pump() {
        fBus->Dispatch();
        platform::CFRunLoopGetCurrent()->RunUntilIdle();
    }
    // The settings posted to the agent since the last look.
    std::vector<PropertyList> Sent() { return std::exchange(fSent, {}); }
    std::string FileText() const {
        std::ifstream in(ASettingsFile::DefaultXmlPath(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static ADeviceSettings Stored() { return ASettingsFile().deviceSettings(); }

    // The agent's part: answers a client that asks, with this model.
    std::optional<bool> fAnswerIsTarn;

private:
    static void Seen(platform::CFNotificationCenterRef, void* observer, const char* name,
                     const char*, const PropertyList* userInfo) {
        auto& test = *static_cast<CtlTest*>(observer);
        const std::string_view seen = name;
        if (seen == kMarker) {
            test.fMarkerSeen = true;
        } else if (seen == kPreferencesChangedNotification && userInfo != nullptr) {
            test.fSent.push_back(*userInfo);
        } else if (seen == kPrefPaneStartedNotification && test.fAnswerIsTarn) {
            const PropertyList answer(PropertyList::Dictionary{
                {kIsTarnKey, PropertyList::MakeBoolean(*test.fAnswerIsTarn)}});
            platform::CFNotificationCenterPostNotification(
                platform::CFNotificationCenterGetDistributedCenter(), kDeviceAttachedNotification,
                nullptr, &answer, false);
        }
    }

    platform::ScopedTemporaryHome fHome;
    std::filesystem::path fFolder;
    PrivateBus fSession;
    std::unique_ptr<platform::BusConnection> fBus;
    std::unique_ptr<platform::DistributedNotificationBackend> fPrevious;
    std::vector<PropertyList> fSent;
    bool fMarkerSeen = false;
};

// A change, and what it makes of the default settings.
struct Change {
    const char* name;
    std::vector<std::string> words;
    std::function<void(ADeviceSettings&)> expected;
    std::optional<bool> attachedIsTarn = std::nullopt;
};

class CtlChangeTest : public CtlTest, public testing::WithParamInterface<Change> {};

TEST_P(CtlChangeTest, IsWrittenAndSentWholeOnce) {
    fAnswerIsTarn = GetParam().attachedIsTarn;
    const ProgramRun run = Ctl(GetParam().words);
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.errors, "");
    ADeviceSettings expected;
    GetParam().expected(expected);
    EXPECT_EQ(Stored(), expected);
    EXPECT_EQ(Sent(), std::vector<PropertyList>{expected.SettingsAsDict()});
}

void Primary(ADeviceSettings& s, int index, ButtonMappingType type, const char* keys = "") {
    s.SetPrimaryButtonMapping(AButtonMapping::initWithType(type, keys), index);
}
void Secondary(ADeviceSettings& s, int index, ButtonMappingType type, const char* keys = "") {
    s.SetSecondaryButtonMapping(AButtonMapping::initWithType(type, keys), index);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CtlChangeTest,
    testing::Values(
        Change{"Pointer", {"set", "pointer", "7"}, [](auto& s) { s.setPointerSensitivity(7); }},
        Change{"Scroll", {"set", "scroll", "0"}, [](auto& s) { s.setScrollWheelSensitivity(0); }},
        Change{"Reverse",
               {"set", "reverse", "on"},
               [](auto& s) { s.setReverseScrollDirection(true); }},
        Change{"ButtonByLabel", {"set", "button", "4", "copy"}, [](auto& s) { Primary(s, 3, 7); }},
        Change{"ButtonByRowOnTheSecondaryLayer",
               {"set", "--secondary", "button", "2", "22"},
               [](auto& s) { Secondary(s, 1, 22); }},
        Change{"SecondaryFunctionsOnTheTarnsLastButton",
               {"set", "button", "5", "Secondary", "Functions"},
               [](auto& s) { Primary(s, 4, kSecondaryFunctionsMappingType); },
               true},
        Change{"SixthButtonWithoutAMouse",
               {"set", "button", "6", "Left Click+Option"},
               [](auto& s) { Primary(s, 5, 17); }},
        Change{"Recording",
               {"record", "5", "Cmd+c", "Return"},
               [](auto& s) { Primary(s, 4, 15, "c,8,1048576|Return,36,0"); }},
        Change{"RecordingOnTheSecondaryLayer",
               {"record", "1", "--secondary", "Shift+Opt+Tab"},
               [](auto& s) { Secondary(s, 0, 15, "Tab,48,655360"); }},
        Change{"DefaultsRestored", {"restore-defaults"}, [](auto&) {}}),
    [](const auto& info) { return std::string(info.param.name); });

// What the settings window would not take, and lines of the wrong shape.
struct Refusal {
    const char* name;
    std::vector<std::string> words;
    int status;
    const char* says;
    std::optional<bool> attachedIsTarn = std::nullopt;
};

class CtlRefusalTest : public CtlTest, public testing::WithParamInterface<Refusal> {};

TEST_P(CtlRefusalTest, ChangesNothingAndSaysWhyInOneLine) {
    ASettingsFile settings;
    settings.SetPointerSensitivityValue(3);
    settings.FlushXml();
    const std::string before = FileText();
    std::ofstream("damaged.xml") << "<settings><pointerSensitivity>3</pointerSensitivity>";

    fAnswerIsTarn = GetParam().attachedIsTarn;
    const ProgramRun run = Ctl(GetParam().words);
    EXPECT_EQ(run.status, GetParam().status);
    EXPECT_EQ(run.errors, std::string("halvorinctl: ") + GetParam().says + "\n");
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(FileText(), before);
    EXPECT_EQ(Sent(), std::vector<PropertyList>{});
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CtlRefusalTest,
    testing::Values(
        Refusal{"SensitivityOutOfRange",
                {"set", "pointer", "10"},
                1,
                "a sensitivity is 0 to 9, not 10"},
        Refusal{
            "SensitivityNotANumber", {"set", "scroll", "fast"}, 2, "'fast' is not a sensitivity"},
        Refusal{"ReverseNeitherOnNorOff",
                {"set", "reverse", "yes"},
                2,
                "reverse scrolling is on or off, not 'yes'"},
        Refusal{"UnknownLabel",
                {"set", "button", "4", "Copy", "Paste"},
                1,
                "no button function is called 'Copy Paste'"},
        Refusal{"SecondaryFunctionsOnAnotherButton",
                {"set", "button", "3", "Secondary Functions"},
                1,
                "\"Secondary Functions\" is for the last button only (button 6, or 5 on the Tarn "
                "model)"},
        Refusal{"SecondaryFunctionsOnTheFifthOfSix",
                {"set", "button", "5", "26"},
                1,
                "\"Secondary Functions\" is for the last button only (button 6 of the six-button "
                "models)",
                false},
        Refusal{"RecordingChosenFromTheMenu",
                {"set", "button", "4", "KeyStroke Recording"},
                1,
                "a recorded keystroke is given with halvorinctl record"},
        Refusal{"ButtonTheTarnLacks",
                {"set", "button", "6", "Copy"},
                1,
                "there is no button 6 (the buttons of the Tarn model are 1 to 5)",
                true},
        Refusal{"SecondaryButtonTheTarnLacks",
                {"record", "4", "--secondary", "a"},
                1,
                "there is no secondary button 4 (the secondary buttons of the Tarn model are 1 to "
                "3)",
                true},
        Refusal{"ButtonNoModelHas",
                {"set", "button", "0", "Copy"},
                1,
                "there is no button 0 (the buttons are 1 to 6)"},
        Refusal{"ModifiersAlone",
                {"record", "4", "a", "Cmd+Opt"},
                1,
                "You cannot enter a key sequence consisting of only modifier keys."},
        Refusal{"UnknownModifier", {"record", "4", "Hyper+x"}, 1, "unknown modifier 'Hyper'"},
        Refusal{"DamagedImport",
                {"import", "damaged.xml"},
                1,
                "damaged.xml: line 1: not well-formed XML (Start-end tags mismatch)"},
        Refusal{"NoKeys",
                {"record", "4"},
                2,
                "record: too few arguments (see halvorinctl record --help)"},
        Refusal{"OptionElsewhere", {"show", "--secondary"}, 2, "show does not take --secondary"},
        Refusal{
            "UnknownCommand", {"frob"}, 2, "no command is called 'frob' (see halvorinctl --help)"},
        Refusal{"UnknownOption", {"set", "pointer", "3", "--fast"}, 2, "unknown option '--fast'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CtlTest, ShowPrintsTheSettingsAsThePaneShowsThem) {
    ASettingsFile settings;
    settings.SetReverseScrollDirectionValue(true);
    // The sheet reads this entry's flags as the agent does: Cmd+c.
    settings.SetPrimaryButtonMapping(
        AButtonMapping::initWithType(kKeyStrokeRecordingMappingType, "c,8,1048576x|Return,36,0"),
        3);
    settings.SetSecondaryButtonMapping(AButtonMapping::initWithType(22, ""), 1);
    settings.FlushXml();

    const ProgramRun text = Ctl({"show"});
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.output.find("reverse scrolling: on\n"), std::string::npos) << text.output;
    EXPECT_NE(text.output.find("button 4: KeyStroke Recording: Cmd+c  Return\n"),
              std::string::npos);
    EXPECT_NE(text.output.find("secondary button 2: Paste\n"), std::string::npos);

    const ProgramRun json = Ctl({"show", "--json"});
    ASSERT_EQ(json.status, 0);
    const nlohmann::json shown = nlohmann::json::parse(json.output);
    EXPECT_EQ(shown["settingsFile"], ASettingsFile::DefaultXmlPath().string());
    EXPECT_EQ(shown["pointerSensitivity"], 5);
    EXPECT_EQ(shown["reverseScrolling"], true);
    ASSERT_EQ(shown["buttons"].size(), 6u);
    ASSERT_EQ(shown["secondaryButtons"].size(), 4u);
    EXPECT_EQ(shown["buttons"][3]["function"], "KeyStroke Recording");
    EXPECT_EQ(shown["buttons"][3]["keys"], nlohmann::json({"Cmd+c", "Return"}));
    EXPECT_EQ(shown["buttons"][3]["macroKeys"], "c,8,1048576x|Return,36,0");
    EXPECT_EQ(shown["secondaryButtons"][1],
              nlohmann::json({{"button", 2}, {"function", "Paste"}, {"row", 22}}));
    EXPECT_EQ(Sent(), std::vector<PropertyList>{});
}

TEST_F(CtlTest, ExportRestoreAndImportBringTheSettingsBack) {
    ASSERT_EQ(Ctl({"record", "2", "Ctrl+F5"}).status, 0);
    ASSERT_EQ(Ctl({"set", "scroll", "8"}).status, 0);
    const ADeviceSettings changed = Stored();
    Sent();

    ASSERT_EQ(Ctl({"export", "exported.xml"}).status, 0);
    ASSERT_EQ(Ctl({"restore-defaults"}).status, 0);
    EXPECT_EQ(Stored(), ADeviceSettings());
    const ProgramRun run = Ctl({"-v", "import", "exported.xml"});
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.output, "settings from exported.xml: written to " +
                              ASettingsFile::DefaultXmlPath().string() + ", sent to the agent\n");
    EXPECT_EQ(Stored(), changed);
    EXPECT_EQ(Sent(), (std::vector<PropertyList>{ADeviceSettings().SettingsAsDict(),
                                                 changed.SettingsAsDict()}));
}

TEST_F(CtlTest, EveryCommandHasItsHelp) {
    for (const char* command :
         {"status", "show", "set", "record", "restore-defaults", "export", "import", "monitor"}) {
        const ProgramRun run = Ctl({command, "--help"});
        EXPECT_EQ(run.status, 0) << command;
        EXPECT_EQ(run.output.rfind(std::string("Usage: halvorinctl ") + command, 0), 0u) << command;
    }
}

}  // namespace
