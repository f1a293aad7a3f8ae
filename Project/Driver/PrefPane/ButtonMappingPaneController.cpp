#include "ButtonMappingPaneController.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QSignalBlocker>
#include <algorithm>

#include "ButtonMenus.h"
#include "InternalInconsistencyError.h"
#include "KeyStrokePanelController.h"
#include "MappingInfoPanelController.h"
#include "PaneNames.h"
#include "SettingsFile.h"

namespace {

constexpr const char* kSourceName = "Project/Driver/PrefPane/ButtonMappingPaneController";

// Shared by every instance: the settings file is assigned once per process.
bool kSetSettingsProperty = false;

constexpr std::array<std::int32_t, 4> kAssistiveDevicesMappingIds = {38, 39, 40, 41};
constexpr std::array<std::int32_t, 10> kDefaultKeyboardMappingIds = {22, 24, 26, 27, 28,
                                                                     31, 32, 34, 35, 36};
constexpr std::int32_t kAssistiveDevicesHintId = 1;
constexpr std::int32_t kDefaultKeyboardHintId = 0;

template <std::size_t N>
bool Contains(const std::array<std::int32_t, N>& ids, std::int32_t id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

void PostMappingChange() {
    platform::NSNotificationCenter::defaultCenter().PostNotification(kButtonMappingChangeNotif);
}

}  // namespace

AButtonMappingPaneController::AButtonMappingPaneController(QObject* parent) : QObject(parent) {}

AButtonMappingPaneController::~AButtonMappingPaneController() {
    platform::NSNotificationCenter::defaultCenter().RemoveObserver(this);
}

void AButtonMappingPaneController::ResetSettingsAssignmentForTesting() {
    kSetSettingsProperty = false;
}

void AButtonMappingPaneController::awakeFromNib() {
    const auto menuItems = [](bool fullMenu) {
        QStringList items;
        for (const std::string& label : MenuLabels(fullMenu)) {
            items.append(QString::fromStdString(label));
        }
        return items;
    };
    fMappingStrings = menuItems(true);
    fPrimaryButtons = {fButton1MappingChooser, fButton2MappingChooser, fButton3MappingChooser,
                       fButton4MappingChooser, fButton5MappingChooser, fButton6MappingChooser};
    fSecondaryButtons = {fSecondaryButton1MappingChooser, fSecondaryButton2MappingChooser,
                         fSecondaryButton3MappingChooser, fSecondaryButton4MappingChooser};
    const QStringList reducedMenu = menuItems(false);
    for (QComboBox* menu : fPrimaryButtons) {
        menu->addItems(menu == fButton6MappingChooser ? fMappingStrings : reducedMenu);
    }
    for (QComboBox* menu : fSecondaryButtons) {
        menu->addItems(reducedMenu);
    }
    // A user's choice: the index goes through its setter first, then the
    // action runs. Programmatic selections (setCurrentIndex) never emit
    // `activated`, so they run neither.
    for (std::uint32_t i = 0; i < fPrimaryButtons.size() + fSecondaryButtons.size(); ++i) {
        const bool isPrimary = i < fPrimaryButtons.size();
        const std::uint32_t buttonIndex = isPrimary ? i : i - fPrimaryButtons.size();
        QComboBox* menu = Menu(buttonIndex, isPrimary);
        connect(menu, &QComboBox::activated, this, [this, menu, buttonIndex, isPrimary](int item) {
            SetSelected(buttonIndex, isPrimary, static_cast<std::uint32_t>(item));
            HandleMappingSelection(menu);
        });
    }
    platform::NSNotificationCenter::defaultCenter().AddObserver(
        this, [this](const platform::NSNotification& n) { UpdateMacroMapping(n); },
        kButtonMacroMappingChangeNotif);
    fChangedForTarn = false;
}

void AButtonMappingPaneController::setSettingsFile(ASettingsFile* settingsFile) {
    fSettingsFile = settingsFile;
    AssertConsistency(!kSetSettingsProperty, kSourceName,
                      "Settings on this panel should only be set at app launch");
    UpdateMappings();
    kSetSettingsProperty = true;
}

void AButtonMappingPaneController::RestoreDefaultValues(QObject*) {
    fSettingsFile->RestoreDefaultValues();
    platform::NSNotificationCenter::defaultCenter().PostNotification(kRestoreDefaultsNotif);
}

void AButtonMappingPaneController::HandleMappingSelection(QComboBox* menu) {
    bool isPrimary = true;
    auto found = std::find(fPrimaryButtons.begin(), fPrimaryButtons.end(), menu);
    std::uint32_t buttonIndex = static_cast<std::uint32_t>(found - fPrimaryButtons.begin());
    if (found == fPrimaryButtons.end()) {
        isPrimary = false;
        auto secondary = std::find(fSecondaryButtons.begin(), fSecondaryButtons.end(), menu);
        AssertConsistency(secondary != fSecondaryButtons.end(), kSourceName,
                          "Button must either be in the primary or secondary array.");
        buttonIndex = static_cast<std::uint32_t>(secondary - fSecondaryButtons.begin());
    }
    const auto index = static_cast<std::int32_t>(buttonIndex);
    const ASettingsFile::MappingRef stored =
        isPrimary ? fSettingsFile->PrimaryButtonMappingAtIndex(index)
                  : fSettingsFile->SecondaryButtonMappingAtIndex(index);
    if (menu->currentIndex() == kKeyStrokeRecordingMappingType) {
        fKeyStrokePanelController->ShowWindowForButtonIndex(buttonIndex, isPrimary, stored);
    } else {
        ShowInfoForMapping(*stored);
    }
}

void AButtonMappingPaneController::ShowInfoForMapping(const AButtonMapping& mapping) {
    const std::int32_t id = mapping.GetId();
    if (Contains(kAssistiveDevicesMappingIds, id)) {
        fMappingInfoPanelController->ShowMessageWithId(kAssistiveDevicesHintId);
    } else if (Contains(kDefaultKeyboardMappingIds, id)) {
        fMappingInfoPanelController->ShowMessageWithId(kDefaultKeyboardHintId);
    }
}

std::uint32_t AButtonMappingPaneController::GetIndexForMenuWithoutSecondaryChoice(
    ButtonMappingType type) {
    return MenuItemOfMappingType(type, false);
}

std::uint32_t AButtonMappingPaneController::IndexForStoredType(std::uint32_t buttonIndex,
                                                               bool isPrimary,
                                                               ButtonMappingType type) const {
    return MenuItemOfMappingType(type, IsFullMenu(buttonIndex, isPrimary));
}

void AButtonMappingPaneController::UpdateUiFromConfig() {
    for (std::uint32_t i = 0; i < fPrimaryButtons.size(); ++i) {
        const auto type =
            fSettingsFile->PrimaryButtonMappingAtIndex(static_cast<int>(i))->mapType();
        SetSelected(i, true, IndexForStoredType(i, true, type));
    }
    for (std::uint32_t i = 0; i < fSecondaryButtons.size(); ++i) {
        const auto type =
            fSettingsFile->SecondaryButtonMappingAtIndex(static_cast<int>(i))->mapType();
        SetSelected(i, false, IndexForStoredType(i, false, type));
    }
}

void AButtonMappingPaneController::UpdateMappings() {
    std::array<ButtonMappingType, 10> types{};
    for (std::size_t i = 0; i < fPrimaryButtons.size(); ++i) {
        types[i] = fSettingsFile->PrimaryButtonMappingAtIndex(static_cast<int>(i))->mapType();
    }
    for (std::size_t i = 0; i < fSecondaryButtons.size(); ++i) {
        types[fPrimaryButtons.size() + i] =
            fSettingsFile->SecondaryButtonMappingAtIndex(static_cast<int>(i))->mapType();
    }
    fAssigning = true;
    for (std::uint32_t i = 0; i < types.size(); ++i) {
        const bool isPrimary = i < fPrimaryButtons.size();
        const std::uint32_t buttonIndex = isPrimary ? i : i - 6;
        const ButtonMappingType type = types[i];
        // A Disabled button is first given item 1, so that selecting item 0
        // is a change the menu shows.
        if (type == kDisabledMappingType) {
            SetSelected(buttonIndex, isPrimary, 1);
        }
        if (isPrimary && buttonIndex == 4) {
            fOrigTarnButton5Mapping = type;
        }
        SetSelected(buttonIndex, isPrimary, IndexForStoredType(buttonIndex, isPrimary, type));
    }
    fAssigning = false;
}

void AButtonMappingPaneController::UpdateForTarn() {
    if (!fSettingsFile->IsTarnMouse() || fChangedForTarn) {
        return;
    }
    {
        const QSignalBlocker block(fButton5MappingChooser);
        fButton5MappingChooser->clear();
        fButton5MappingChooser->addItems(fMappingStrings);
        fButton5MenuFull = true;
        fButton5MappingChooser->setCurrentIndex(fOrigTarnButton5Mapping);
    }
    setButton5SelectedIndex(static_cast<std::uint32_t>(fOrigTarnButton5Mapping));

    for (QWidget* widget : {static_cast<QWidget*>(fButton6MappingChooser),
                            static_cast<QWidget*>(fSecondaryButton4MappingChooser),
                            static_cast<QWidget*>(fButton6MappingLabel),
                            static_cast<QWidget*>(fSecondaryButton4MappingLabel)}) {
        widget->hide();
    }
    for (QGroupBox* box : {fPrimaryBox, fSecondaryBox}) {
        // The box keeps its centre: 15 in from the top and from the bottom.
        QRect frame = box->geometry();
        frame.setTop(frame.top() + 15);
        frame.setHeight(frame.height() - 15);
        box->setGeometry(frame);
    }
    for (QLabel* label :
         fSecondaryBox->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        label->setText(label->text().replace('6', '5').replace('4', '3'));
    }
    fChangedForTarn = true;
}

void AButtonMappingPaneController::UpdateMacroMapping(const platform::NSNotification& n) {
    const auto* mapping =
        platform::UserInfoValue<std::shared_ptr<const AButtonMapping>>(n, kButtonMacroMappingKey);
    const std::optional<std::uint32_t> index = platform::UserInfoUnsigned(n, kButtonIndexKey);
    const bool isPrimary = platform::UserInfoBool(n, kButtonIsPrimaryKey);
    const std::uint32_t count = isPrimary ? kNumPrimaryButtonMappings : kNumSecondaryButtonMappings;
    // A notification that names no mapping or no button of this record is
    // not this pane's to store.
    if (mapping == nullptr || *mapping == nullptr || !index || *index >= count) {
        return;
    }
    if (isPrimary) {
        fSettingsFile->SetPrimaryButtonMapping(*mapping, static_cast<std::int32_t>(*index));
        if (*index == 4) {
            fOrigTarnButton5Mapping = (*mapping)->mapType();
        }
    } else {
        fSettingsFile->SetSecondaryButtonMapping(*mapping, static_cast<std::int32_t>(*index));
    }
    PostMappingChange();
}

void AButtonMappingPaneController::SetButtonMapping(std::uint32_t itemIndex,
                                                    std::uint32_t buttonIndex, bool isPrimary) {
    const ButtonMappingType type =
        MappingTypeOfMenuItem(itemIndex, IsFullMenu(buttonIndex, isPrimary));
    if (type == kKeyStrokeRecordingMappingType) {
        return;  // the recording sheet stores it
    }
    const auto mapping = AButtonMapping::initWithType(type, {});
    if (isPrimary) {
        fSettingsFile->SetPrimaryButtonMapping(mapping, static_cast<std::int32_t>(buttonIndex));
        if (buttonIndex == 4 && !fAssigning) {
            fOrigTarnButton5Mapping = mapping->mapType();
        }
    } else {
        fSettingsFile->SetSecondaryButtonMapping(mapping, static_cast<std::int32_t>(buttonIndex));
    }
    PostMappingChange();
}

ASettingsFile::MappingRef AButtonMappingPaneController::UnshownButton5Mapping() const {
    if (fSettingsFile != nullptr && !fButton5MenuFull &&
        fOrigTarnButton5Mapping == kSecondaryFunctionsMappingType &&
        fSettingsFile->PrimaryButtonMappingAtIndex(4)->mapType() ==
            kSecondaryFunctionsMappingType + 1) {
        return AButtonMapping::initWithType(kSecondaryFunctionsMappingType, {});
    }
    return nullptr;
}

bool AButtonMappingPaneController::IsFullMenu(std::uint32_t buttonIndex, bool isPrimary) const {
    // Button 6's menu stays full once hidden for the Tarn model.
    const auto index = static_cast<std::int32_t>(buttonIndex);
    return AMouseButtons{false}.IsFullMenu(index, isPrimary) ||
           (fButton5MenuFull && AMouseButtons{true}.IsFullMenu(index, isPrimary));
}

std::uint32_t& AButtonMappingPaneController::SelectedIndexField(std::uint32_t buttonIndex,
                                                                bool isPrimary) {
    std::array<std::uint32_t*, 6> primary = {&fButton1SelectedIndex, &fButton2SelectedIndex,
                                             &fButton3SelectedIndex, &fButton4SelectedIndex,
                                             &fButton5SelectedIndex, &fButton6SelectedIndex};
    std::array<std::uint32_t*, 4> secondary = {
        &fSecondaryButton1SelectedIndex, &fSecondaryButton2SelectedIndex,
        &fSecondaryButton3SelectedIndex, &fSecondaryButton4SelectedIndex};
    return isPrimary ? *primary.at(buttonIndex) : *secondary.at(buttonIndex);
}

QComboBox* AButtonMappingPaneController::Menu(std::uint32_t buttonIndex, bool isPrimary) const {
    return isPrimary ? fPrimaryButtons.at(buttonIndex) : fSecondaryButtons.at(buttonIndex);
}

void AButtonMappingPaneController::SetSelected(std::uint32_t buttonIndex, bool isPrimary,
                                               std::uint32_t index) {
    SelectedIndexField(buttonIndex, isPrimary) = index;
    if (QComboBox* menu = Menu(buttonIndex, isPrimary)) {
        const QSignalBlocker block(menu);
        menu->setCurrentIndex(static_cast<int>(index));
    }
    SetButtonMapping(index, buttonIndex, isPrimary);
}
