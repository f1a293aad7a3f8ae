#include "MainPrefController.h"

#include <QLabel>
#include <QTabWidget>

#include "ButtonMappingPaneController.h"
#include "DeviceSettings.h"
#include "MouseModels.h"
#include "PaneBundle.h"
#include "PaneInterface.h"
#include "PaneNames.h"
#include "RunLoop.h"
#include "SensitivityPaneController.h"
#include "SettingsFile.h"
#include "SpinningIndicator.h"
#include "SystemVersion.h"
#include "UserDefaults.h"

using platform::NSNotification;
using platform::NSNotificationCenter;

namespace {

constexpr double kObserverDelay = 1.0;
constexpr double kTimeoutDelay = 10.0;
constexpr double kTabViewX = 18.0;
constexpr double kTabViewY = 42.0;
constexpr const char* kTarnImageName = "tarnmouse";

void DeviceAttachedCallback(platform::CFNotificationCenterRef, void* observer, const char*,
                            const char*, const platform::PropertyList* userInfo) {
    static_cast<AMainPrefController*>(observer)->DeviceAttached(userInfo);
}

void NoDeviceAttachedCallback(platform::CFNotificationCenterRef, void* observer, const char*,
                              const char*, const platform::PropertyList* userInfo) {
    static_cast<AMainPrefController*>(observer)->NoDeviceAttached(userInfo);
}

// Runs the member later, unless the controller is gone by then.
template <typename Member>
void PerformLater(AMainPrefController* controller, Member member, double delay) {
    platform::PerformAfterDelay(delay,
                                [target = QPointer<AMainPrefController>(controller), member] {
                                    if (target) {
                                        (target->*member)();
                                    }
                                });
}

// Puts a mapping in place of a primary button's for as long as it lives (for
// nothing when the mapping is null), then the record's own back.
class ScopedPrimaryMapping {
public:
    ScopedPrimaryMapping(ASettingsFile& file, std::int32_t index, ASettingsFile::MappingRef mapping)
        : fFile(file), fIndex(index) {
        if (mapping) {
            fOwn = fFile.PrimaryButtonMappingAtIndex(index);
            fFile.SetPrimaryButtonMapping(std::move(mapping), index);
        }
    }
    ~ScopedPrimaryMapping() {
        if (fOwn) {
            fFile.SetPrimaryButtonMapping(fOwn, fIndex);
        }
    }
    ScopedPrimaryMapping(const ScopedPrimaryMapping&) = delete;
    ScopedPrimaryMapping& operator=(const ScopedPrimaryMapping&) = delete;

private:
    ASettingsFile& fFile;
    std::int32_t fIndex;
    ASettingsFile::MappingRef fOwn;
};

}  // namespace

AMainPrefController::AMainPrefController() = default;

AMainPrefController::~AMainPrefController() {
    NSNotificationCenter::defaultCenter().RemoveObserver(this);
    platform::CFNotificationCenterRemoveEveryObserver(
        platform::CFNotificationCenterGetDistributedCenter(), this);
    // The views that are out of the content view have no parent to end them.
    delete fMainView;
    for (QWidget* view : {fSearchingView.data(), static_cast<QWidget*>(fNoDevicesLabel.data()),
                          static_cast<QWidget*>(fTabView.data())}) {
        if (view != nullptr && view->parentWidget() == nullptr) {
            delete view;
        }
    }
}

QWidget* AMainPrefController::loadMainView() {
    if (!fMainView) {
        fMainView = LoadPaneInterface(*this);
    }
    return fMainView;
}

void AMainPrefController::mainViewDidLoad() {
    fSettingsFile = std::make_unique<ASettingsFile>();
    fTabView->setCurrentIndex(0);
    fButtonMappingPaneController->setSettingsFile(fSettingsFile.get());
    fChangedForTarn = false;
}

void AMainPrefController::willSelect() {
    ShowSearchingIndicator();
    PerformLater(this, &AMainPrefController::CheckForTimeout, kTimeoutDelay);
    PerformLater(this, &AMainPrefController::RegisterObservers, kObserverDelay);
}

void AMainPrefController::RegisterObservers() {
    NSNotificationCenter& local = NSNotificationCenter::defaultCenter();
    local.AddObserver(
        this, [this](const NSNotification& n) { UpdatePointerSensitivity(n); },
        kPointerSensitivityChangeNotif);
    local.AddObserver(
        this, [this](const NSNotification& n) { UpdateScrollWheelSensitivity(n); },
        kScrollWheelSensitivityChangeNotif);
    local.AddObserver(
        this, [this](const NSNotification& n) { UpdateScrollDirection(n); },
        kReverseScrollDirectionChangeNotif);
    local.AddObserver(
        this, [this](const NSNotification& n) { NotifyAgentOfPreferenceChanges(&n); },
        kButtonMappingChangeNotif);
    local.AddObserver(
        this, [this](const NSNotification& n) { RestoreDefaultValues(n); }, kRestoreDefaultsNotif);

    platform::CFNotificationCenterRef distributed =
        platform::CFNotificationCenterGetDistributedCenter();
    platform::CFNotificationCenterAddObserver(distributed, this, DeviceAttachedCallback,
                                              kDeviceAttachedNotification, nullptr,
                                              platform::CFNotificationSuspensionBehaviorCoalesce);
    platform::CFNotificationCenterAddObserver(distributed, this, NoDeviceAttachedCallback,
                                              kNoDevicesAttachedNotification, nullptr,
                                              platform::CFNotificationSuspensionBehaviorCoalesce);
    platform::CFNotificationCenterPostNotification(distributed, kPrefPaneStartedNotification,
                                                   kPrefChangeObject, nullptr, true);
    PushSensitivities();
}

void AMainPrefController::PushSensitivities() {
    fSensitivityPaneController->setPointerSensitivity(fSettingsFile->PointerSensitivityValue());
    fSensitivityPaneController->setScrollWheelSensitivity(
        fSettingsFile->ScrollWheelSensitivityValue());
    fSensitivityPaneController->setReverseScrollDirection(
        fSettingsFile->ReverseScrollDirectionValue());
}

void AMainPrefController::CheckForTimeout() {
    if (fSearchingView->parentWidget() != nullptr) {
        ShowNoDevicesLabel();
    }
}

void AMainPrefController::ShowSearchingIndicator() {
    fNoDevicesLabel->setParent(nullptr);
    fTabView->setParent(nullptr);
    fSearchingIndicator->startAnimation();
    PlaceCentred(fSearchingView);
}

void AMainPrefController::ShowSettingsTabView() {
    fSearchingView->setParent(nullptr);
    fNoDevicesLabel->setParent(nullptr);
    fSearchingIndicator->stopAnimation();
    PlaceInContent(fTabView, kTabViewX, kTabViewY);
}

void AMainPrefController::ShowNoDevicesLabel() {
    fSearchingView->setParent(nullptr);
    fTabView->setParent(nullptr);
    fSearchingIndicator->stopAnimation();
    PlaceCentred(fNoDevicesLabel);
}

void AMainPrefController::PlaceCentred(QWidget* view) {
    const QSize content = fContentView->size();
    const QSize own = view->size();
    PlaceInContent(view, (content.width() - own.width()) * 0.5,
                   (content.height() + own.height()) * 0.5);
}

void AMainPrefController::PlaceInContent(QWidget* view, double x, double y) {
    // Origins count from the bottom left of the content view, as the pane's
    // interface was drawn; Qt counts from the top left.
    const QSize own = view->size();
    view->setParent(fContentView);
    view->move(static_cast<int>(x), fContentView->height() - static_cast<int>(y) - own.height());
    view->show();
}

void AMainPrefController::DeviceAttached(const platform::PropertyList* userInfo) {
    fSettingsFile->SetIsTarnMouse(IsTarnInUserInfo(userInfo));
    UpdateForTarn();
    ShowSettingsTabView();
}

void AMainPrefController::NoDeviceAttached(const platform::PropertyList*) {
    ShowNoDevicesLabel();
}

void AMainPrefController::UpdateForTarn() {
    if (fSettingsFile->IsTarnMouse() && !fChangedForTarn) {
        fMouseImage->setPixmap(PaneBundleImage(kTarnImageName, QStringLiteral("png")));
        fMouseName->setText(QString::fromUtf8(kTarnMouseName.data(), kTarnMouseName.size()));
        fChangedForTarn = true;
    }
    fButtonMappingPaneController->UpdateForTarn();
}

void AMainPrefController::UpdatePointerSensitivity(const NSNotification& notification) {
    fSettingsFile->SetPointerSensitivityValue(
        platform::UserInfoDouble(notification, kPointerSensitivityKey));
    NotifyAgentOfPreferenceChanges(&notification);
}

void AMainPrefController::UpdateScrollWheelSensitivity(const NSNotification& notification) {
    fSettingsFile->SetScrollWheelSensitivityValue(
        platform::UserInfoDouble(notification, kScrollWheelSensitivityKey));
    NotifyAgentOfPreferenceChanges(&notification);
}

void AMainPrefController::UpdateScrollDirection(const NSNotification& notification) {
    fSettingsFile->SetReverseScrollDirectionValue(
        platform::UserInfoBool(notification, kReverseScrollDirectionKey));
    NotifyAgentOfPreferenceChanges(&notification);
}

void AMainPrefController::NotifyAgentOfPreferenceChanges(const NSNotification*) {
    const platform::PropertyList settings = fSettingsFile->SettingsAsDict();
    platform::CFNotificationCenterPostNotification(
        platform::CFNotificationCenterGetDistributedCenter(), kPreferencesChangedNotification,
        kPrefChangeObject, &settings, true);
}

void AMainPrefController::RestoreDefaultValues(const NSNotification&) {
    PushSensitivities();
    fButtonMappingPaneController->UpdateUiFromConfig();

    platform::NSUserDefaults& defaults = platform::NSUserDefaults::standardUserDefaults();
    const std::string domain = PaneBundleIdentifier();
    if (SystemVersion::isMountainLionOrGreater()) {
        defaults.setPersistentDomain({{"", platform::PropertyList("")}}, domain);
        defaults.removeObjectForKey("");
    } else {
        defaults.removePersistentDomainForName(domain);
    }
    defaults.synchronize();
}

void AMainPrefController::willUnselect() {
    NSNotificationCenter::defaultCenter().RemoveObserver(this);
    platform::CFNotificationCenterRemoveEveryObserver(
        platform::CFNotificationCenterGetDistributedCenter(), this);
    // The file keeps what button 5's menu could not show; the record keeps
    // what it shows, which is what the agent is sent after a later select.
    const ScopedPrimaryMapping written(*fSettingsFile, 4,
                                       fButtonMappingPaneController->UnshownButton5Mapping());
    fSettingsFile->FlushXml();
}
