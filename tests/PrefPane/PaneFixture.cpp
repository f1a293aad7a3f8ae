#include "PaneFixture.h"

#include <QApplication>

#include "PaneNames.h"
#include "RunLoop.h"

namespace {

QApplication& TestApplication() {
    static int argc = 1;
    static char name[] = "PrefPaneTests";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

}  // namespace

PaneFixture::PaneFixture() {
    TestApplication();
    auto clock = std::make_unique<platform::SimulatedClock>();
    fClock = clock.get();
    fPreviousLoop = platform::InstallRunLoopBackend(std::move(clock));
    auto channel = std::make_unique<platform::LoopbackDistributedNotifications>();
    fChannel = channel.get();
    fPreviousChannel = platform::InstallDistributedNotificationBackend(std::move(channel));
    auto attention = std::make_unique<platform::SimulatedUserAttention>();
    fAttention = attention.get();
    fPreviousAttention = platform::InstallUserAttentionBackend(std::move(attention));
    fPreviousDefaults =
        platform::InstallUserDefaultsBackend(std::make_unique<platform::SimulatedUserDefaults>());
    AButtonMappingPaneController::ResetSettingsAssignmentForTesting();
    fPane = std::make_unique<AMainPrefController>();
}

PaneFixture::~PaneFixture() {
    fPane.reset();
    platform::InstallUserDefaultsBackend(std::move(fPreviousDefaults));
    platform::InstallUserAttentionBackend(std::move(fPreviousAttention));
    platform::InstallDistributedNotificationBackend(std::move(fPreviousChannel));
    platform::InstallRunLoopBackend(std::move(fPreviousLoop));
}

void PaneFixture::WriteSettings(const std::vector<ButtonMappingType>& primary,
                                const std::vector<ButtonMappingType>& secondary) {
    ASettingsFile file;
    for (std::size_t i = 0; i < primary.size(); ++i) {
        file.SetPrimaryButtonMapping(AButtonMapping::initWithType(primary[i], {}),
                                     static_cast<int>(i));
    }
    for (std::size_t i = 0; i < secondary.size(); ++i) {
        file.SetSecondaryButtonMapping(AButtonMapping::initWithType(secondary[i], {}),
                                       static_cast<int>(i));
    }
    file.FlushXml();
}

void PaneFixture::Load() {
    fPane->loadMainView();
    fPane->mainViewDidLoad();
}

void PaneFixture::Select() {
    fPane->willSelect();
    Advance(1.0);
}

void PaneFixture::Advance(double seconds) {
    platform::CFRunLoopGetCurrent()->RunFor(seconds);
}

void PaneFixture::PostFromAgent(const char* name, const platform::PropertyList* userInfo) {
    platform::CFNotificationCenterPostNotification(
        platform::CFNotificationCenterGetDistributedCenter(), name, nullptr, userInfo, false);
    platform::CFRunLoopGetCurrent()->RunUntilIdle();
}

void PaneFixture::AnnounceMouse(bool isTarn) {
    const platform::PropertyList userInfo(platform::PropertyList::Dictionary{
        {kIsTarnKey, platform::PropertyList::MakeBoolean(isTarn)}});
    PostFromAgent(kDeviceAttachedNotification, &userInfo);
}

void PaneFixture::Choose(QComboBox* menu, int item) {
    menu->setCurrentIndex(item);
    emit menu->activated(item);
}

std::vector<platform::DistributedNotification> PaneFixture::PanePosts(
    const std::string& name) const {
    std::vector<platform::DistributedNotification> posts;
    for (const auto& post : fChannel->Posted()) {
        if (post.name == name) {
            posts.push_back(post);
        }
    }
    return posts;
}

PaneFixture::View PaneFixture::ShownView() const {
    const bool searching = fPane->fSearchingView->parentWidget() != nullptr;
    const bool settings = fPane->fTabView->parentWidget() != nullptr;
    const bool noDevices = fPane->fNoDevicesLabel->parentWidget() != nullptr;
    EXPECT_EQ(1, searching + settings + noDevices) << "exactly one view is in the content view";
    return searching ? View::Searching : settings ? View::Settings : View::NoDevices;
}
