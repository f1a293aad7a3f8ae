// The Preferences host as a Wayland client of weston's headless backend: it
// runs on the wayland platform plugin, its window is shown, and the recording
// sheet takes the keys of a keyboard while it has the focus (Wayland has no
// global grab). Keys come from the compositor's test seat (weston-keys.c).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "PaneOnDisplay.h"

namespace {

using namespace std::chrono_literals;

// evdev key codes
constexpr int kTab = 15, kReturn = 28, kSpace = 57, kRight = 106, kLeftMeta = 125, kC = 46,
              kK = 37;

class PreferencesOnWeston : public ::testing::Test {
protected:
    // The keys pressed in order, then released in reverse order, with a
    // person's pause between (a popup takes its grab from the press).
    void Chord(const std::vector<int>& keys) {
        std::string presses, releases;
        for (const int key : keys) presses += std::to_string(key) + " 1\n";
        for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
            releases += std::to_string(*key) + " 0\n";
        }
        const int fifo = open(std::getenv("HALVORIN_WESTON_KEYS"), O_WRONLY | O_CLOEXEC);
        ASSERT_GE(fifo, 0) << "no key FIFO: run under with-weston.sh";
        for (const std::string& lines : {presses, releases}) {
            ASSERT_EQ(static_cast<ssize_t>(lines.size()), write(fifo, lines.data(), lines.size()));
            std::this_thread::sleep_for(50ms);
        }
        close(fifo);
    }
    // Tab until the named control has the focus (bounded).
    bool TabTo(const std::string& control) {
        for (int i = 0; i < 25; ++i) {
            if (fPane.WaitFor("focus", control, 300ms)) return true;
            Chord({kTab});
        }
        return false;
    }

    // What the compositor shows (weston-screenshooter, as weston --debug
    // allows), kept under the build tree; the top panel with its clock is
    // cut off.
    QImage Shoot(const std::string& state) {
        const std::filesystem::path folder = HALVORIN_SCREENSHOTS;
        std::filesystem::create_directories(folder);
        const std::string command = "cd '" + folder.string() +
                                    "' && rm -f wayland-screenshot-*.png && weston-screenshooter && "
                                    "mv wayland-screenshot-*.png '" + state + ".png'";
        EXPECT_EQ(0, std::system(command.c_str())) << state;
        const QImage screen(QString::fromStdString((folder / (state + ".png")).string()));
        return screen.copy(0, kPanelHeight, screen.width(), screen.height() - kPanelHeight);
    }

    static constexpr int kPanelHeight = 40;
    PaneOnDisplay fPane;
};

TEST_F(PreferencesOnWeston, ShowsItsWindowAndTheSheetTakesKeysWhileFocused) {
    ASSERT_TRUE(fPane.WaitFor("exposed fContentView", "1"));
    ASSERT_TRUE(fPane.AnswerAsAgent());
    ASSERT_TRUE(TabTo("qt_tabwidget_tabbar")) << "the window never had the keyboard";
    Chord({kRight});
    ASSERT_TRUE(fPane.WaitFor("visible fButton3MappingChooser", "1"));
    ASSERT_TRUE(TabTo("fButton3MappingChooser"));

    // Space opens the list, a letter finds the row, Return chooses it.
    Chord({kSpace});
    ASSERT_TRUE(fPane.WaitFor("text fButton3MappingChooser", "Right Click"));
    for (int i = 0; i < 100 && fPane.Ask("popup") == "-"; ++i) std::this_thread::sleep_for(20ms);
    ASSERT_NE("-", fPane.Ask("popup"));
    Chord({kK});
    Chord({kReturn});
    ASSERT_TRUE(fPane.WaitFor("visible KeyStrokePanel", "1"));
    ASSERT_TRUE(fPane.WaitFor("exposed KeyStrokePanel", "1"));
    std::this_thread::sleep_for(300ms);
    const QImage empty = Shoot("Recording-empty");

    Chord({kLeftMeta, kC});
    Chord({kReturn});
    EXPECT_TRUE(fPane.WaitFor("text KeyStrokePanel/fMacroInputField", "Cmd+c  Return "))
        << fPane.Ask("text KeyStrokePanel/fMacroInputField");
    std::this_thread::sleep_for(300ms);
    const QImage recorded = Shoot("Recording");
    EXPECT_FALSE(recorded.isNull());
    EXPECT_NE(empty, recorded) << "the compositor does not show what the sheet paints";
}

}  // namespace
