#pragma once

#include <QLabel>
#include <QPointer>
#include <QTabWidget>
#include <memory>

#include "DistributedNotifications.h"
#include "LocalNotifications.h"
#include "PreferencePane.h"

class ASettingsFile;
class ASensitivityPaneController;
class AButtonMappingPaneController;
class AKeyStrokePanelController;
class AMappingInfoPanelController;
class SpinningIndicator;

// The pane's principal class. Owns the pane's settings file, decides which of
// three views fills the pane (searching, settings tabs, no devices), listens
// to the pane's own notifications and to the agent's, and sends the whole
// settings to the agent after every change.
class AMainPrefController : public APreferencePane {
public:
    AMainPrefController();
    ~AMainPrefController() override;

    QWidget* loadMainView() override;
    QWidget* mainView() const override { return fMainView; }
    void mainViewDidLoad() override;
    void willSelect() override;
    void willUnselect() override;

    // Local notifications.
    void UpdatePointerSensitivity(const platform::NSNotification& notification);
    void UpdateScrollWheelSensitivity(const platform::NSNotification& notification);
    void UpdateScrollDirection(const platform::NSNotification& notification);
    void NotifyAgentOfPreferenceChanges(const platform::NSNotification* notification);
    void RestoreDefaultValues(const platform::NSNotification& notification);
    // Distributed notifications; a missing or non-boolean "IsTarn" is false.
    void DeviceAttached(const platform::PropertyList* userInfo);
    void NoDeviceAttached(const platform::PropertyList* userInfo);

    void RegisterObservers();
    void CheckForTimeout();
    void ShowSearchingIndicator();
    void ShowSettingsTabView();
    void ShowNoDevicesLabel();
    void UpdateForTarn();

    // Outlets (properties of the same names without the prefix).
    // The three views that take turns in the content view; each may be out of
    // it, so the controller ends the ones the main view does not hold.
    QPointer<QWidget> fSearchingView;
    SpinningIndicator* fSearchingIndicator = nullptr;
    QPointer<QLabel> fNoDevicesLabel;
    QWidget* fContentView = nullptr;
    QPointer<QTabWidget> fTabView;
    QLabel* fMouseImage = nullptr;
    QLabel* fMouseName = nullptr;
    ASensitivityPaneController* fSensitivityPaneController = nullptr;
    AButtonMappingPaneController* fButtonMappingPaneController = nullptr;
    AKeyStrokePanelController* fKeyStrokePanelController = nullptr;
    AMappingInfoPanelController* fMappingInfoPanelController = nullptr;

    ASettingsFile* settingsFile() const { return fSettingsFile.get(); }
    bool changedForTarn() const { return fChangedForTarn; }

private:
    // The searching view and the no-devices label keep their size and sit
    // centred across, and (H + h) / 2 up from the bottom of the content.
    void PlaceCentred(QWidget* view);
    void PlaceInContent(QWidget* view, double x, double y);
    void PushSensitivities();

    QPointer<QWidget> fMainView;
    std::unique_ptr<ASettingsFile> fSettingsFile;
    bool fChangedForTarn = false;
};
