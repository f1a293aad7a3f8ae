#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <memory>
#include <string>
#include <vector>

#include "ButtonMappingPaneController.h"
#include "DistributedNotifications.h"
#include "MainPrefController.h"
#include "MappingInfoPanelController.h"
#include "SensitivityPaneController.h"
#include "SettingsFile.h"
#include "SimulatedClock.h"
#include "TemporaryHome.h"
#include "UserAttention.h"
#include "UserDefaults.h"

// The pane on the simulated machine's services: a virtual clock, the
// in-process notification channel (which records every post), user defaults
// in memory and recorded beeps and alerts, in a throw-away home. The pane is
// loaded and its settings file assigned (mainViewDidLoad) by Load().
class PaneFixture : public ::testing::Test {
public:
    enum class View { Searching, Settings, NoDevices };

protected:
    PaneFixture();
    ~PaneFixture() override;

    // Writes the settings file the pane will read; call before Load().
    void WriteSettings(const std::vector<ButtonMappingType>& primary,
                       const std::vector<ButtonMappingType>& secondary = {});
    void Load();
    // willSelect, then the observers' registration one second later.
    void Select();
    void Advance(double seconds);
    void PostFromAgent(const char* name, const platform::PropertyList* userInfo = nullptr);
    void AnnounceMouse(bool isTarn);
    // A user's choice in a menu, as the menu reports it.
    void Choose(QComboBox* menu, int item);

    // Posts of the pane by name, in order.
    std::vector<platform::DistributedNotification> PanePosts(const std::string& name) const;
    std::size_t PostCount() const { return fChannel->Posted().size(); }
    View ShownView() const;

    AButtonMappingPaneController& Buttons() { return *fPane->fButtonMappingPaneController; }
    ASettingsFile& Settings() { return *fPane->settingsFile(); }
    ButtonMappingType StoredPrimary(int index) {
        return Settings().PrimaryButtonMappingAtIndex(index)->mapType();
    }

    platform::ScopedTemporaryHome fHome;
    platform::SimulatedClock* fClock = nullptr;
    platform::LoopbackDistributedNotifications* fChannel = nullptr;
    platform::SimulatedUserAttention* fAttention = nullptr;
    std::unique_ptr<AMainPrefController> fPane;

private:
    std::unique_ptr<platform::RunLoopBackend> fPreviousLoop;
    std::unique_ptr<platform::DistributedNotificationBackend> fPreviousChannel;
    std::unique_ptr<platform::UserAttentionBackend> fPreviousAttention;
    std::unique_ptr<platform::UserDefaultsBackend> fPreviousDefaults;
};
