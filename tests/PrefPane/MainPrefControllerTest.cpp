// The main controller: which view fills the pane and when, what it tells the
// agent, and Restore Defaults.

#include <QPushButton>

#include "PaneFixture.h"
#include "PaneNames.h"
#include "SpinningIndicator.h"

namespace {

using View = PaneFixture::View;

class MainPrefControllerTest : public PaneFixture {
protected:
    void SetUp() override { Load(); }
};

TEST_F(MainPrefControllerTest, SelectingAnnouncesAfterOneSecondThenSendsTheSettingsThreeTimes) {
    fPane->willSelect();
    EXPECT_EQ(View::Searching, ShownView());
    EXPECT_TRUE(fPane->fSearchingIndicator->isAnimating());
    Advance(0.999);
    EXPECT_EQ(0u, PostCount());

    Advance(0.001);
    const auto& posts = fChannel->Posted();
    ASSERT_EQ(4u, posts.size());
    EXPECT_EQ(kPrefPaneStartedNotification, posts[0].name);
    EXPECT_EQ(kPrefChangeObject, posts[0].object);
    EXPECT_FALSE(posts[0].userInfo.has_value());
    for (std::size_t i = 1; i < posts.size(); ++i) {
        EXPECT_EQ(kPreferencesChangedNotification, posts[i].name);
        EXPECT_EQ(kPrefChangeObject, posts[i].object);
        EXPECT_TRUE(posts[i].deliverImmediately);
        EXPECT_EQ(Settings().SettingsAsDict(), posts[i].userInfo);
    }
}

struct ViewCase {
    const char* name;
    // Agent answers as (seconds after selection, notification, IsTarn).
    std::vector<std::tuple<double, const char*, bool>> answers;
    double end;  // seconds after selection
    View expected;
};

class ViewStateTest : public MainPrefControllerTest,
                      public ::testing::WithParamInterface<ViewCase> {};

TEST_P(ViewStateTest, TheLatestAnswerOrTheTimeoutDecides) {
    fPane->willSelect();
    double now = 0.0;
    for (const auto& [at, name, isTarn] : GetParam().answers) {
        Advance(at - now);
        now = at;
        if (std::string(name) == kDeviceAttachedNotification) {
            AnnounceMouse(isTarn);
        } else {
            PostFromAgent(name);
        }
    }
    Advance(GetParam().end - now);
    EXPECT_EQ(GetParam().expected, ShownView());
    EXPECT_EQ(GetParam().expected == View::Searching, fPane->fSearchingIndicator->isAnimating());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ViewStateTest,
    ::testing::Values(
        ViewCase{"NoAnswerStillSearchingJustBeforeTimeout", {}, 9.99, View::Searching},
        ViewCase{"NoAnswerTimesOutAtTenSeconds", {}, 10.0, View::NoDevices},
        ViewCase{"MouseAnsweredTimeoutDoesNothing", {{1.0, kDeviceAttachedNotification, false}}, 12.0,
                 View::Settings},
        ViewCase{"NoMouseAnsweredAfterOneSecond", {{1.0, kNoDevicesAttachedNotification, false}}, 1.0,
                 View::NoDevices},
        ViewCase{"MousePluggedWhileNoDevicesShown",
                 {{1.0, kNoDevicesAttachedNotification, false}, {4.0, kDeviceAttachedNotification, true}}, 12.0,
                 View::Settings},
        ViewCase{"MouseRemovedWhileTabsShown",
                 {{1.0, kDeviceAttachedNotification, false}, {3.0, kNoDevicesAttachedNotification, false}}, 3.0,
                 View::NoDevices},
        ViewCase{"AnswerBeforeObserversIsMissed", {{0.5, kDeviceAttachedNotification, false}}, 9.0,
                 View::Searching}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainPrefControllerTest, SearchingViewAndLabelSitByTheSumRuleTabViewAtItsOrigin) {
    const QSize content = fPane->fContentView->size();
    Select();
    const QRect searching = fPane->fSearchingView->geometry();
    EXPECT_EQ((content.width() - searching.width()) / 2, searching.x());
    // (H + h) / 2 up from the bottom: in Qt's top-down coordinates.
    EXPECT_EQ(content.height() - (content.height() + searching.height()) / 2 - searching.height(),
              searching.y());

    AnnounceMouse(false);
    const QRect tabs = fPane->fTabView->geometry();
    EXPECT_EQ(18, tabs.x());
    EXPECT_EQ(content.height() - 42 - tabs.height(), tabs.y());
}

TEST_F(MainPrefControllerTest, PaneLeftWithinASecondStillRegistersAndAnnouncesAfterwards) {
    fPane->willSelect();
    Advance(0.5);
    fPane->willUnselect();
    Advance(0.5);
    EXPECT_EQ(1u, PanePosts(kPrefPaneStartedNotification).size());
    AnnounceMouse(false);
    EXPECT_EQ(View::Settings, ShownView());
}

TEST_F(MainPrefControllerTest, UnselectingStopsListeningAndWritesTheSettingsFile) {
    Select();
    fPane->fSensitivityPaneController->setPointerSensitivity(7.9);
    fPane->willUnselect();
    const std::size_t sent = PanePosts(kPreferencesChangedNotification).size();
    fPane->fSensitivityPaneController->setPointerSensitivity(2.0);
    PostFromAgent(kNoDevicesAttachedNotification);
    EXPECT_EQ(sent, PanePosts(kPreferencesChangedNotification).size());
    EXPECT_EQ(View::Searching, ShownView());
    EXPECT_EQ(7, ASettingsFile().PointerSensitivityValue());
}

TEST_F(MainPrefControllerTest, TarnLookIsAppliedOnceAndNeverTakenBack) {
    Select();
    AnnounceMouse(true);
    EXPECT_EQ("Halvorin Orvandel Tarn", fPane->fMouseName->text());
    EXPECT_TRUE(fPane->changedForTarn());
    fPane->fMouseName->setText("marker");
    AnnounceMouse(true);
    AnnounceMouse(false);
    EXPECT_EQ("marker", fPane->fMouseName->text());
    EXPECT_FALSE(Settings().IsTarnMouse());
}

TEST_F(MainPrefControllerTest, IsTarnOfAnotherTypeOrMissingReadsAsFalse) {
    Select();
    for (const platform::PropertyList& userInfo :
         {platform::PropertyList(platform::PropertyList::Dictionary{{kIsTarnKey, "yes"}}),
          platform::PropertyList(platform::PropertyList::Array{}), platform::PropertyList()}) {
        PostFromAgent(kDeviceAttachedNotification, &userInfo);
        EXPECT_FALSE(Settings().IsTarnMouse());
    }
    PostFromAgent(kDeviceAttachedNotification);
    EXPECT_FALSE(Settings().IsTarnMouse());
    EXPECT_EQ(View::Settings, ShownView());
}

TEST_F(MainPrefControllerTest, RestoreDefaultsSendsThirteenDefaultSettingsAndForgetsHints) {
    platform::NSUserDefaults::standardUserDefaults().setPersistentDomain(
        {{"DontShows", platform::PropertyList(platform::PropertyList::Array{
                           platform::PropertyList::MakeBoolean(true)})}},
        fPane->fMappingInfoPanelController->bundleId());
    Select();
    AnnounceMouse(false);
    Choose(Buttons().fButton1MappingChooser, 7);
    fPane->fSensitivityPaneController->setScrollWheelSensitivity(9.0);
    const std::size_t before = PostCount();

    fPane->fTabView->findChild<QPushButton*>("fRestoreDefaultsButton")->click();

    ASSERT_EQ(before + 13, PostCount());
    ASettingsFile defaults;
    defaults.RestoreDefaultValues();
    for (std::size_t i = before; i < PostCount(); ++i) {
        EXPECT_EQ(kPreferencesChangedNotification, fChannel->Posted()[i].name);
        EXPECT_EQ(defaults.SettingsAsDict(), fChannel->Posted()[i].userInfo) << "post " << i;
    }
    EXPECT_EQ(1, Buttons().fButton1MappingChooser->currentIndex());
    EXPECT_EQ(5, fPane->fSensitivityPaneController->scrollWheelSensitivity());
    EXPECT_FALSE(platform::NSUserDefaults::standardUserDefaults()
                     .persistentDomainForName(fPane->fMappingInfoPanelController->bundleId())
                     .has_value());
}

}  // namespace
