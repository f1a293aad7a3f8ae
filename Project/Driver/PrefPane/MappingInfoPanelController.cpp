#include "MappingInfoPanelController.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLabel>
#include <QSignalBlocker>

#include "PaneBundle.h"
#include "UserDefaults.h"

namespace {
constexpr const char* kDontShowsKey = "DontShows";
}  // namespace

const std::array<const char*, AMappingInfoPanelController::kNumHints> kButtonMappingInfoLabels = {
    "This button function requires the default Keyboard settings.  If this button function does "
    "not work, go to System Preferences, Keyboard, and click Restore Defaults for the "
    "corresponding item on the left column.",
    "This button function requires access for assistive devices.  If this button function does "
    "not work, turn on 'Enable access for assistive devices' in Accessibility."};

void AMappingInfoPanelController::awakeFromNib() {
    fBundleId = PaneBundleIdentifier();
    fPanel->setWindowModality(Qt::WindowModal);
    connect(fDontShowCheckBox, &QAbstractButton::toggled, this,
            [this](bool checked) { fDontShow = checked; });
    connect(fOkButton, &QAbstractButton::clicked, this, [this] { Ok(fOkButton); });
    // The window manager's close is the sheet's one button.
    connect(fPanel, &QDialog::rejected, this, [this] { Ok(fPanel); });
}

void AMappingInfoPanelController::ShowMessageWithId(std::int32_t messageId) {
    if (messageId < 0 || messageId >= kNumHints) {
        return;  // no such hint
    }
    LoadDontShows();
    if (fDontShows[static_cast<std::size_t>(messageId)]) {
        return;
    }
    fCurrentId = messageId;
    setDontShow(false);
    setMessage(QString::fromUtf8(kButtonMappingInfoLabels[static_cast<std::size_t>(messageId)]));
    fPanel->open();
}

void AMappingInfoPanelController::Ok(QObject*) {
    fDontShows[static_cast<std::size_t>(fCurrentId)] = fDontShow;
    SaveDontShows();
    if (fPanel->isVisible()) {
        fPanel->done(QDialog::Accepted);
    }
}

void AMappingInfoPanelController::SaveDontShows() {
    platform::PropertyList::Array flags;
    for (bool flag : fDontShows) {
        flags.push_back(platform::PropertyList::MakeBoolean(flag));
    }
    platform::NSUserDefaults& defaults = platform::NSUserDefaults::standardUserDefaults();
    defaults.removePersistentDomainForName(fBundleId);
    defaults.setPersistentDomain({{kDontShowsKey, platform::PropertyList(std::move(flags))}},
                                 fBundleId);
    defaults.synchronize();
}

void AMappingInfoPanelController::LoadDontShows() {
    const auto domain =
        platform::NSUserDefaults::standardUserDefaults().persistentDomainForName(fBundleId);
    const platform::PropertyList::Array* flags = nullptr;
    if (domain) {
        const auto found = domain->find(kDontShowsKey);
        flags = found != domain->end() ? found->second.AsArray() : nullptr;
    }
    // No stored choice (also after Restore Defaults emptied the domain):
    // every hint shows.
    if (flags == nullptr || flags->empty()) {
        fDontShows = {};
        return;
    }
    // Only the flags that are there; an entry that is not a boolean is false.
    for (std::size_t i = 0; i < fDontShows.size() && i < flags->size(); ++i) {
        fDontShows[i] = (*flags)[i].AsBoolean().value_or(false);
    }
}

void AMappingInfoPanelController::setMessage(const QString& message) {
    fMessage = message;
    fMessageField->setText(message);
}

void AMappingInfoPanelController::setDontShow(bool dontShow) {
    fDontShow = dontShow;
    const QSignalBlocker block(fDontShowCheckBox);
    fDontShowCheckBox->setChecked(dontShow);
}
