// The Preferences host on a real X server (Xvfb), driven only through the
// server: clicks, keys and wheel notches come through XTEST, screenshots are
// read back by window id. Each state is kept as a PNG under the build tree.

#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "PaneAgentNotifications.h"
#include "PaneOnDisplay.h"
#include "XDisplay.h"

namespace {

using namespace std::chrono_literals;

class PreferencesOnX : public ::testing::Test {
protected:
    xcb_window_t Window(const std::string& widget) {
        return static_cast<xcb_window_t>(std::stoul(fPane.Ask("window " + widget)));
    }
    std::pair<int, int> Point(const std::string& question) {
        std::istringstream answer(fPane.Ask(question));
        std::pair<int, int> point{-1, -1};
        answer >> point.first >> point.second;
        EXPECT_FALSE(answer.fail()) << question;
        return point;
    }
    void ClickAt(const std::string& question) {
        const auto [x, y] = Point(question);
        fDisplay.Click(x, y);
    }
    void Click(const std::string& widget) { ClickAt("center " + widget); }
    bool ListOpen() { return fPane.Ask("popup") != "-"; }
    void WaitForList() {
        for (int i = 0; i < 250 && !ListOpen(); ++i) std::this_thread::sleep_for(20ms);
        ASSERT_TRUE(ListOpen());
        // The list ignores a release that follows its opening too closely, as
        // a person's click never does.
        std::this_thread::sleep_for(500ms);
    }
    // A choice by two clicks: on the menu, then on the item in its list.
    void Choose(const std::string& menu, const std::string& item) {
        Click(menu);
        WaitForList();
        ClickAt("item " + menu + " " + item);
        ASSERT_TRUE(fPane.WaitFor("text " + menu, item));
    }
    void ShowButtonsTab() {
        ASSERT_TRUE(fPane.AnswerAsAgent());
        fDisplay.Focus(Window("fContentView"));
        ClickAt("tab fTabView 1");
        ASSERT_TRUE(fPane.WaitFor("visible fButton1MappingChooser", "1"));
    }
    // Saves what the window shows; it must have been painted (more than one
    // colour).
    void Shoot(xcb_window_t window, const std::string& state) {
        const QImage image = fDisplay.Capture(window);
        ASSERT_FALSE(image.isNull()) << state;
        std::set<QRgb> colours;
        for (int y = 0; y < image.height() && colours.size() < 2; y += 7) {
            for (int x = 0; x < image.width(); x += 7) colours.insert(image.pixel(x, y));
        }
        EXPECT_GE(colours.size(), 2u) << state << " is blank";
        const char* scale = std::getenv("QT_SCALE_FACTOR");
        const std::string suffix = scale != nullptr && std::string(scale) == "2" ? "@2x" : "";
        std::filesystem::create_directories(HALVORIN_SCREENSHOTS);
        EXPECT_TRUE(image.save(QString::fromStdString(std::string(HALVORIN_SCREENSHOTS "/") +
                                                      state + suffix + ".png")));
    }
    // The widgets that Tab visits from where the focus is, once round.
    std::set<std::string> TabRound() {
        std::set<std::string> reached;
        std::string focus = fPane.Ask("focus");
        for (int i = 0; i < 20; ++i) {
            const std::string before = focus;
            fDisplay.Type("Tab");
            for (int wait = 0; wait < 100 && focus == before; ++wait) {
                std::this_thread::sleep_for(20ms);
                focus = fPane.Ask("focus");
            }
            if (!reached.insert(focus).second) break;
        }
        return reached;
    }
    static std::string Joined(const std::set<std::string>& names) {
        std::string joined;
        for (const std::string& name : names) joined += name + " ";
        return joined;
    }

    XDisplay fDisplay;
    PaneOnDisplay fPane;
};

TEST_F(PreferencesOnX, WindowMapsPaintsAndTabReachesEveryControlUnclipped) {
    const xcb_window_t window = Window("fContentView");
    for (int i = 0; i < 250 && !fDisplay.Viewable(window); ++i) std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(fDisplay.Viewable(window));
    fDisplay.Focus(window);
    std::this_thread::sleep_for(300ms);  // the first paint
    Shoot(window, "Searching");
    EXPECT_EQ("-", fPane.Ask("clipped"));
    ASSERT_TRUE(fPane.WaitForPaneStarted());
    ASSERT_TRUE(fPane.PostAsAgent(kNoDevicesAttachedNotification));
    ASSERT_TRUE(fPane.WaitFor("visible fNoDevicesLabel", "1"));
    std::this_thread::sleep_for(200ms);
    Shoot(window, "NoDevices");
    EXPECT_EQ("-", fPane.Ask("clipped"));

    ASSERT_TRUE(fPane.PostAsAgent(kDeviceAttachedNotification));
    ASSERT_TRUE(fPane.WaitFor("visible fTabView", "1"));
    std::this_thread::sleep_for(200ms);
    Shoot(window, "Sensitivity");
    EXPECT_EQ("-", fPane.Ask("clipped"));
    const std::set<std::string> sensitivity = TabRound();
    for (const char* control : {"qt_tabwidget_tabbar", "fPointerSensitivitySlider",
                                "fScrollWheelSensitivitySlider", "fReverseScrollDirectionCheckBox"}) {
        EXPECT_TRUE(sensitivity.count(control)) << control << " not in " << Joined(sensitivity);
    }

    // To the other tab by keyboard: Right on the tab bar.
    for (int i = 0; i < 20 && fPane.Ask("focus") != "qt_tabwidget_tabbar"; ++i) {
        fDisplay.Type("Tab");
        std::this_thread::sleep_for(50ms);
    }
    fDisplay.Type("Right");
    ASSERT_TRUE(fPane.WaitFor("visible fButton1MappingChooser", "1"));
    std::this_thread::sleep_for(200ms);
    Shoot(window, "Buttons");
    EXPECT_EQ("-", fPane.Ask("clipped"));
    const std::set<std::string> buttons = TabRound();
    for (const std::string control :
         {"qt_tabwidget_tabbar", "fButton1MappingChooser", "fButton2MappingChooser",
          "fButton3MappingChooser", "fButton4MappingChooser", "fButton5MappingChooser",
          "fButton6MappingChooser", "fSecondaryButton1MappingChooser",
          "fSecondaryButton2MappingChooser", "fSecondaryButton3MappingChooser",
          "fSecondaryButton4MappingChooser", "fRestoreDefaultsButton"}) {
        EXPECT_TRUE(buttons.count(control)) << control << " not in " << Joined(buttons);
    }

    ASSERT_TRUE(fPane.PostAsAgent(kDeviceAttachedNotification, true));
    ASSERT_TRUE(fPane.WaitFor("visible fButton6MappingChooser", "0"));
    std::this_thread::sleep_for(200ms);
    Shoot(window, "ButtonsTarn");
    EXPECT_EQ("-", fPane.Ask("clipped"));
}

TEST_F(PreferencesOnX, MenusChooseByClickAndKeyNotByWheelAndClosingWritesTheFile) {
    ShowButtonsTab();
    const std::string menu = "fButton3MappingChooser";
    const std::string shown = fPane.Ask("text " + menu);
    const auto [x, y] = Point("center " + menu);
    fDisplay.Wheel(x, y, 3);
    fDisplay.Wheel(x, y, -1);
    // A click after the notches: once its list is open, the notches were served.
    Click(menu);
    WaitForList();
    EXPECT_EQ(shown, fPane.Ask("text " + menu)) << "the wheel chose in a closed menu";
    Shoot(static_cast<xcb_window_t>(std::stoul(fPane.Ask("popup"))), "MenuList");
    ClickAt("item " + menu + " Copy");
    ASSERT_TRUE(fPane.WaitFor("text " + menu, "Copy"));
    EXPECT_FALSE(ListOpen());

    // By keyboard: Down opens the list, Down steps, Return chooses.
    fDisplay.Type("Down");
    WaitForList();
    fDisplay.Type("Down");
    fDisplay.Type("Return");
    ASSERT_TRUE(fPane.WaitFor("text " + menu, "Cut"));

    fDisplay.Close(Window("fContentView"));
    ASSERT_TRUE(fPane.Ended(10s));
    std::ifstream file(fPane.SettingsFile());
    const std::string text((std::istreambuf_iterator<char>(file)), {});
    std::vector<std::string> ids;
    const std::regex mapType("<mapType>([0-9]+)</mapType>");
    for (std::sregex_iterator it(text.begin(), text.end(), mapType), end; it != end; ++it) {
        ids.push_back((*it)[1]);
    }
    ASSERT_EQ(10u, ids.size()) << text;
    EXPECT_EQ("7", ids[2]) << "button 3 is stored as Cut";
}

TEST_F(PreferencesOnX, RecordingSheetTakesRealKeysUnderItsGrabAndLetsGo) {
    ShowButtonsTab();
    Choose("fButton3MappingChooser", "KeyStroke Recording");
    ASSERT_TRUE(fPane.WaitFor("grabber", "KeyStrokePanel"));
    EXPECT_TRUE(fDisplay.KeyboardGrabbedElsewhere());

    // The focus given to another client does not take the keys from the sheet.
    fDisplay.FocusOwnWindow();
    fDisplay.Type("Super_L+c");
    fDisplay.Type("Return");
    ASSERT_TRUE(fPane.WaitFor("text KeyStrokePanel/fMacroInputField", "Cmd+c  Return "));
    EXPECT_FALSE(fDisplay.OwnWindowGotKey(0ms));
    Shoot(Window("KeyStrokePanel"), "Recording");
    EXPECT_EQ("-", fPane.Ask("clipped"));

    Click("KeyStrokePanel/fOkButton");
    ASSERT_TRUE(fPane.WaitFor("visible KeyStrokePanel", "0"));
    EXPECT_EQ("-", fPane.Ask("grabber"));
    EXPECT_FALSE(fDisplay.KeyboardGrabbedElsewhere());
    fDisplay.FocusOwnWindow();
    fDisplay.Type("a");
    EXPECT_TRUE(fDisplay.OwnWindowGotKey(2s)) << "keys do not reach another client";
}

TEST_F(PreferencesOnX, HintSheetComesBackUnlessDoNotShowAgainIsTicked) {
    ShowButtonsTab();
    const std::string menu = "fButton4MappingChooser";
    Choose(menu, "Show/Hide Desktop");
    ASSERT_TRUE(fPane.WaitFor("visible MappingInfoPanel", "1"));
    Shoot(Window("MappingInfoPanel"), "HintKeyboard");
    EXPECT_EQ("-", fPane.Ask("clipped"));
    Click("MappingInfoPanel/fDontShowCheckBox");
    ASSERT_TRUE(fPane.WaitFor("text MappingInfoPanel/fDontShowCheckBox", "1"));
    Click("MappingInfoPanel/fOkButton");
    ASSERT_TRUE(fPane.WaitFor("visible MappingInfoPanel", "0"));
    Choose(menu, "Copy");
    Choose(menu, "Show/Hide Desktop");
    EXPECT_EQ("0", fPane.Ask("visible MappingInfoPanel")) << "shown again though ticked";

    for (int time = 0; time < 2; ++time) {  // not ticked: it comes back
        Choose(menu, "Shift Key");
        ASSERT_TRUE(fPane.WaitFor("visible MappingInfoPanel", "1")) << time;
        if (time == 0) Shoot(Window("MappingInfoPanel"), "HintAssistive");
        Click("MappingInfoPanel/fOkButton");
        ASSERT_TRUE(fPane.WaitFor("visible MappingInfoPanel", "0"));
        Choose(menu, "Copy");
    }
    std::ifstream choices(fPane.HintChoicesFile());
    const std::string text((std::istreambuf_iterator<char>(choices)), {});
    EXPECT_NE(std::string::npos, text.find("true")) << text;
}

}  // namespace
