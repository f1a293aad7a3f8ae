// The button mapping tab: menu items to catalogue rows and back, the double
// write of Disabled, the Tarn reshaping, the recording sheet and hints it
// opens, and the one-time settings assignment.

#include <QDialog>
#include <QGroupBox>
#include <QLabel>

#include "InternalInconsistencyError.h"
#include "KeyStrokePanel.h"
#include "KeyStrokePanelController.h"
#include "LocalNotifications.h"
#include "MappingInfoPanelController.h"
#include "PaneFixture.h"
#include "PaneNames.h"

namespace {

class ButtonMappingTest : public PaneFixture {
protected:
    QComboBox* Primary(int index) { return Buttons().primaryButtons()[index]; }
    QComboBox* Secondary(int index) { return Buttons().secondaryButtons()[index]; }
};

TEST_F(ButtonMappingTest, MenusListTheCatalogueWithSecondaryFunctionsOnlyOnButtonSix) {
    Load();
    const QString secondary = "Secondary Functions";
    // Not a 10.7-or-later system here: the last row (41) is listed.
    EXPECT_EQ(42, Buttons().mappingStrings().size());
    EXPECT_EQ(42, Primary(5)->count());
    EXPECT_EQ(26, Primary(5)->findText(secondary));
    for (QComboBox* menu : {Primary(0), Primary(4), Secondary(3)}) {
        EXPECT_EQ(41, menu->count());
        EXPECT_EQ(-1, menu->findText(secondary));
        EXPECT_EQ("Activate Spaces", menu->itemText(40));
    }
    EXPECT_EQ("Secondary button 4", Secondary(3)->accessibleName());
}

struct ChoiceCase {
    bool primary;
    int index;
    int item;
    ButtonMappingType stored;
};

class MenuChoiceTest : public ButtonMappingTest, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(MenuChoiceTest, AChoiceIsStoredAsTheRowItShowsAndAnnounced) {
    Load();
    Select();
    const ChoiceCase& choice = GetParam();
    QComboBox* menu = choice.primary ? Primary(choice.index) : Secondary(choice.index);
    const std::size_t sent = PanePosts(kPreferencesChangedNotification).size();
    Choose(menu, choice.item);
    const auto stored = choice.primary ? Settings().PrimaryButtonMappingAtIndex(choice.index)
                                       : Settings().SecondaryButtonMappingAtIndex(choice.index);
    EXPECT_EQ(choice.stored, stored->mapType());
    EXPECT_EQ(menu->itemText(choice.item),
              QString::fromStdString(AButtonMapping::buttonMappingChoiceLabelOfType(choice.stored)));
    EXPECT_EQ(sent + 1, PanePosts(kPreferencesChangedNotification).size());
}

INSTANTIATE_TEST_SUITE_P(Rows, MenuChoiceTest,
                         ::testing::Values(ChoiceCase{true, 0, 25, 25}, ChoiceCase{true, 0, 26, 27},
                                           ChoiceCase{true, 0, 40, 41}, ChoiceCase{true, 5, 26, 26},
                                           ChoiceCase{true, 5, 41, 41}, ChoiceCase{true, 4, 26, 27},
                                           ChoiceCase{false, 3, 26, 27},
                                           ChoiceCase{false, 0, 7, 7}));

TEST_F(ButtonMappingTest, KeyStrokeRecordingStoresNothingAndOpensTheSheetWithThePreviousMapping) {
    Load();
    Select();
    const auto previous = Settings().PrimaryButtonMappingAtIndex(2);
    Choose(Primary(2), kKeyStrokeRecordingMappingType);
    EXPECT_EQ(previous, Settings().PrimaryButtonMappingAtIndex(2));
    EXPECT_EQ(previous, fPane->fKeyStrokePanelController->currentMapping());
    EXPECT_TRUE(fPane->fKeyStrokePanelController->fKeyStrokePanel->isVisible());
    EXPECT_EQ(kKeyStrokeRecordingMappingType, Buttons().button3SelectedIndex());
}

TEST_F(ButtonMappingTest, StoredDisabledIsWrittenTwiceAtAssignmentEndingDisabled) {
    WriteSettings({kDisabledMappingType, 10, 2, 13, 5, 26});
    std::vector<ButtonMappingType> writes;
    platform::NSNotificationCenter::defaultCenter().AddObserver(
        this, [&](const platform::NSNotification&) {
            if (fPane->settingsFile() != nullptr) {
                writes.push_back(StoredPrimary(0));
            }
        },
        kButtonMappingChangeNotif);
    Load();
    platform::NSNotificationCenter::defaultCenter().RemoveObserver(this);
    ASSERT_EQ(11u, writes.size());
    EXPECT_EQ(kLeftClickMappingType, writes[0]);
    EXPECT_EQ(kDisabledMappingType, StoredPrimary(0));
    EXPECT_EQ(0, Primary(0)->currentIndex());
}

TEST_F(ButtonMappingTest, TarnButtonFiveKeepsSecondaryFunctionsThroughTheReshaping) {
    WriteSettings({1, 10, 2, 13, kSecondaryFunctionsMappingType, 26});
    Load();
    EXPECT_EQ(kSecondaryFunctionsMappingType + 1, StoredPrimary(4));
    Select();
    AnnounceMouse(true);
    EXPECT_EQ(kSecondaryFunctionsMappingType, StoredPrimary(4));
    EXPECT_EQ("Secondary Functions", Primary(4)->currentText());
    EXPECT_EQ(42, Primary(4)->count());

    // The hidden button 6 and the full button 5 keep their rows on a restore.
    Buttons().UpdateUiFromConfig();
    EXPECT_EQ(kSecondaryFunctionsMappingType, StoredPrimary(4));
    EXPECT_EQ(kSecondaryFunctionsMappingType, StoredPrimary(5));
    // And once reshaped, the full menu stays full, whatever mouse comes next.
    AnnounceMouse(false);
    Choose(Primary(4), 26);
    EXPECT_EQ(kSecondaryFunctionsMappingType, StoredPrimary(4));
}

TEST_F(ButtonMappingTest, PaneClosedBeforeTheTarnIsSeenKeepsItsButtonFiveInTheFileOnly) {
    WriteSettings({1, 10, 2, 13, kSecondaryFunctionsMappingType, 26});
    Load();
    Select();
    PostFromAgent(kNoDevicesAttachedNotification);
    fPane->willUnselect();
    EXPECT_EQ(kSecondaryFunctionsMappingType,
              ASettingsFile().PrimaryButtonMappingAtIndex(4)->mapType());

    // Shown again in the same session: the agent is sent what the menu shows.
    const std::size_t sent = PanePosts(kPreferencesChangedNotification).size();
    Select();
    const auto posts = PanePosts(kPreferencesChangedNotification);
    ASSERT_EQ(sent + 3, posts.size());
    const platform::PropertyList& button5 =
        posts.back().userInfo->Find(kPrimaryButtonMappingsKey)->AsArray()->at(4);
    EXPECT_EQ("26", *button5.Find(kMappingIdKey)->AsString());  // Show/Hide Dashboard
    EXPECT_EQ("Show/Hide Dashboard", Primary(4)->currentText());
}

TEST_F(ButtonMappingTest, TarnReshapingHidesTheSixthButtonShrinksBoxesAndRenumbersCaptions) {
    Load();
    Select();
    const QRect primary = Buttons().fPrimaryBox->geometry();
    const QRect secondary = Buttons().fSecondaryBox->geometry();
    AnnounceMouse(true);
    AnnounceMouse(true);  // once only
    EXPECT_EQ(primary.adjusted(0, 15, 0, -15), Buttons().fPrimaryBox->geometry());
    EXPECT_EQ(secondary.adjusted(0, 15, 0, -15), Buttons().fSecondaryBox->geometry());
    EXPECT_TRUE(Primary(5)->isHidden());
    EXPECT_TRUE(Secondary(3)->isHidden());
    EXPECT_TRUE(Buttons().fButton6MappingLabel->isHidden());
    EXPECT_TRUE(Buttons().fSecondaryButton4MappingLabel->isHidden());
    EXPECT_EQ("While button 5 is held, buttons 1 to 3 do:",
              Buttons().fSecondaryBox->findChild<QLabel*>("fSecondaryIntroLabel")->text());
}

TEST_F(ButtonMappingTest, ShiftKeyShowsTheAssistiveHintCopyShowsNone) {
    Load();
    Select();
    QDialog* hint = fPane->fMappingInfoPanelController->fPanel;
    Choose(Primary(0), 7);  // Copy
    EXPECT_FALSE(hint->isVisible());
    Choose(Primary(0), kShiftKeyMappingType);
    ASSERT_TRUE(hint->isVisible());
    EXPECT_TRUE(fPane->fMappingInfoPanelController->message().contains("assistive devices"));
}

TEST_F(ButtonMappingTest, ProgrammingErrorsRaiseTheConsistencyError) {
    Load();
    ASettingsFile other;
    try {
        Buttons().setSettingsFile(&other);
        FAIL() << "a second assignment must raise";
    } catch (const InternalInconsistencyError& error) {
        EXPECT_STREQ("Settings on this panel should only be set at app launch", error.what());
        EXPECT_EQ("Project/Driver/PrefPane/ButtonMappingPaneController", error.source());
    }
    QComboBox stranger;
    EXPECT_THROW(Buttons().HandleMappingSelection(&stranger), InternalInconsistencyError);
}

TEST_F(ButtonMappingTest, MacroNotificationNamingNoButtonOfTheRecordIsIgnored) {
    Load();
    const auto before = Settings().SettingsAsDict();
    const auto mapping = AButtonMapping::initWithType(kKeyStrokeRecordingMappingType, "a,0,0");
    for (const platform::NotificationUserInfo& userInfo :
         {platform::NotificationUserInfo{{kButtonMacroMappingKey, mapping},
                                         {kButtonIndexKey, 4u},
                                         {kButtonIsPrimaryKey, false}},
          platform::NotificationUserInfo{{kButtonMacroMappingKey, mapping},
                                         {kButtonIndexKey, -1}},
          platform::NotificationUserInfo{{kButtonMacroMappingKey, std::string("a,0,0")},
                                         {kButtonIndexKey, 0u}},
          platform::NotificationUserInfo{}}) {
        platform::NSNotificationCenter::defaultCenter().PostNotification(
            kButtonMacroMappingChangeNotif, nullptr, &userInfo);
    }
    EXPECT_EQ(before, Settings().SettingsAsDict());
}

}  // namespace
