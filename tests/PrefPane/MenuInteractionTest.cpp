// How a choice is made in the button menus, with real key and wheel events
// delivered to the widgets: passing over a closed menu chooses nothing; only
// Return, Space or a click in the open list does.

#include <QAbstractItemView>
#include <QTest>
#include <QWheelEvent>

#include "KeyStrokePanel.h"
#include "KeyStrokePanelController.h"
#include "PaneFixture.h"
#include "PaneNames.h"

namespace {

struct Passing {
    const char* name;
    Qt::Key key;  // Qt::Key_unknown: a wheel notch down, then one up
    Qt::KeyboardModifiers modifiers;
    bool opensTheList;
};

class MenuInteractionTest : public PaneFixture {
protected:
    void SetUp() override {
        Load();
        Select();
        AnnounceMouse(false);
        fPane->fTabView->setCurrentIndex(1);
        fPane->mainView()->show();
        fMenu = Buttons().primaryButtons()[2];
        fMenu->setFocus();
        fSent = Sent();
    }
    void TearDown() override { fMenu->hidePopup(); }

    std::size_t Sent() const { return PanePosts(kPreferencesChangedNotification).size(); }
    bool ListOpen() const { return fMenu->view()->isVisible(); }
    void Wheel(int delta) {
        const QPointF at = fMenu->rect().center();
        QWheelEvent wheel(at, fMenu->mapToGlobal(at), {}, {0, delta}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(fMenu, &wheel);
    }
    void OpenListAt(int item) {
        fMenu->setCurrentIndex(item);
        QTest::keyClick(fMenu, Qt::Key_Space);
        ASSERT_TRUE(ListOpen());
    }

    QComboBox* fMenu = nullptr;
    std::size_t fSent = 0;
};

class PassingOverAClosedMenu : public MenuInteractionTest,
                               public ::testing::WithParamInterface<Passing> {};

TEST_P(PassingOverAClosedMenu, ChoosesNothingAndOpensTheListOnlyForItsKeys) {
    const Passing& passing = GetParam();
    const ButtonMappingType stored = StoredPrimary(2);
    const int shown = fMenu->currentIndex();
    if (passing.key == Qt::Key_unknown) {
        Wheel(-120);
        Wheel(120);
    } else {
        QTest::keyClick(fMenu, passing.key, passing.modifiers);
    }
    EXPECT_EQ(passing.opensTheList, ListOpen());
    EXPECT_EQ(shown, fMenu->currentIndex());
    EXPECT_EQ(stored, StoredPrimary(2));
    EXPECT_EQ(fSent, Sent());
    EXPECT_FALSE(fPane->fMappingInfoPanelController->fPanel->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Events, PassingOverAClosedMenu,
    ::testing::Values(Passing{"Wheel", Qt::Key_unknown, {}, false},
                      Passing{"Letter", Qt::Key_S, {}, false},
                      Passing{"PageDown", Qt::Key_PageDown, {}, false},
                      Passing{"End", Qt::Key_End, {}, false},
                      Passing{"Space", Qt::Key_Space, {}, true},
                      Passing{"Up", Qt::Key_Up, {}, true},
                      Passing{"Down", Qt::Key_Down, {}, true},
                      Passing{"AltDown", Qt::Key_Down, Qt::AltModifier, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct Closing {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool chooses;
};

class ClosingTheOpenList : public MenuInteractionTest,
                           public ::testing::WithParamInterface<Closing> {};

// The list opens on Copy (row 7); the user steps down to row 9, Delete,
// passing over nothing that would open a sheet or a hint.
TEST_P(ClosingTheOpenList, ChoosesTheHighlightedRowOnlyByReturnOrSpace) {
    const Closing& closing = GetParam();
    const ButtonMappingType stored = StoredPrimary(2);
    OpenListAt(7);
    QTest::keyClick(fMenu->view(), Qt::Key_Down);
    QTest::keyClick(fMenu->view(), Qt::Key_Down);
    EXPECT_EQ(fSent, Sent()) << "stepping in the open list is no choice";
    QTest::keyClick(fMenu->view(), closing.key, closing.modifiers);
    EXPECT_FALSE(ListOpen());
    EXPECT_EQ(closing.chooses ? 9 : stored, StoredPrimary(2));
    EXPECT_EQ(closing.chooses ? 9 : 7, fMenu->currentIndex());
    EXPECT_EQ(fSent + (closing.chooses ? 1 : 0), Sent());
}

INSTANTIATE_TEST_SUITE_P(Keys, ClosingTheOpenList,
                         ::testing::Values(Closing{"Return", Qt::Key_Return, {}, true},
                                           Closing{"Space", Qt::Key_Space, {}, true},
                                           Closing{"Escape", Qt::Key_Escape, {}, false},
                                           Closing{"F4", Qt::Key_F4, {}, false},
                                           Closing{"AltUp", Qt::Key_Up, Qt::AltModifier, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MenuInteractionTest, StepsAcrossKeyStrokeRecordingOpenTheSheetOnlyWhenChosen) {
    OpenListAt(14);
    QTest::keyClick(fMenu->view(), Qt::Key_Down);
    AKeyStrokePanel& sheet = *fPane->fKeyStrokePanelController->fKeyStrokePanel;
    EXPECT_FALSE(sheet.isVisible());
    QTest::keyClick(fMenu->view(), Qt::Key_Return);
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(fSent, Sent()) << "the sheet stores the recording itself";
    sheet.hide();
}

}  // namespace
