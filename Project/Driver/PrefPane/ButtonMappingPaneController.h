#pragma once

#include <QObject>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>

#include "ButtonMapping.h"
#include "LocalNotifications.h"
#include "SettingsFile.h"

class QComboBox;
class QGroupBox;
class QLabel;
class AKeyStrokePanelController;
class AMappingInfoPanelController;

// The button mapping tab: one menu per primary button (1 to 6) and per
// secondary function (buttons 1 to 4 while "Secondary Functions" is held).
// Translates between a menu's item index and the catalogue row, stores every
// choice in the pane's settings file at once and announces it with
// "ButtonMappingChangeNotif"; opens the recording sheet for "KeyStroke
// Recording" and a hint for functions that need particular system settings;
// reshapes itself once for the Tarn model (five buttons, three secondary
// functions).
//
// Two kinds of menu: a full menu (button 6, and button 5 once reshaped for the
// Tarn) whose item i is row i; a reduced one (all others) without "Secondary
// Functions" (row 26), whose item i is row i up to 25 and row i + 1 above.
class AButtonMappingPaneController : public QObject {
public:
    explicit AButtonMappingPaneController(QObject* parent = nullptr);
    ~AButtonMappingPaneController() override;

    // Outlets, set when the interface is loaded.
    QComboBox* fButton1MappingChooser = nullptr;
    QComboBox* fButton2MappingChooser = nullptr;
    QComboBox* fButton3MappingChooser = nullptr;
    QComboBox* fButton4MappingChooser = nullptr;
    QComboBox* fButton5MappingChooser = nullptr;
    QComboBox* fButton6MappingChooser = nullptr;
    QComboBox* fSecondaryButton1MappingChooser = nullptr;
    QComboBox* fSecondaryButton2MappingChooser = nullptr;
    QComboBox* fSecondaryButton3MappingChooser = nullptr;
    QComboBox* fSecondaryButton4MappingChooser = nullptr;
    QLabel* fButton6MappingLabel = nullptr;
    QLabel* fSecondaryButton4MappingLabel = nullptr;
    QGroupBox* fPrimaryBox = nullptr;
    QGroupBox* fSecondaryBox = nullptr;
    AKeyStrokePanelController* fKeyStrokePanelController = nullptr;
    AMappingInfoPanelController* fMappingInfoPanelController = nullptr;

    // After the outlets are set: fills the menus, connects their actions and
    // starts observing recorded keystrokes.
    void awakeFromNib();

    // Assigned once in the process; a second assignment raises
    // InternalInconsistencyError.
    void setSettingsFile(ASettingsFile* settingsFile);
    ASettingsFile* settingsFile() const { return fSettingsFile; }

    // Action of the tab's restore button.
    void RestoreDefaultValues(QObject* sender);
    // Action of all ten menus; runs after the menu's selected-index setter.
    void HandleMappingSelection(QComboBox* menu);
    void ShowInfoForMapping(const AButtonMapping& mapping);
    void UpdateUiFromConfig();
    void UpdateMappings();
    void UpdateForTarn();
    void UpdateMacroMapping(const platform::NSNotification& notification);
    void SetButtonMapping(std::uint32_t itemIndex, std::uint32_t buttonIndex, bool isPrimary);
    static std::uint32_t GetIndexForMenuWithoutSecondaryChoice(ButtonMappingType type);

    // What the settings file is to hold for button 5 instead of the record's
    // mapping, or null: a stored "Secondary Functions" that its reduced menu
    // could not show (a pane opened without the Tarn model attached must not
    // lose it). The record itself keeps what the menu shows.
    ASettingsFile::MappingRef UnshownButton5Mapping() const;

    // The selected-index properties: a setter stores the index, shows it in
    // its menu and stores the menu's function.
    std::uint32_t button1SelectedIndex() const { return fButton1SelectedIndex; }
    std::uint32_t button2SelectedIndex() const { return fButton2SelectedIndex; }
    std::uint32_t button3SelectedIndex() const { return fButton3SelectedIndex; }
    std::uint32_t button4SelectedIndex() const { return fButton4SelectedIndex; }
    std::uint32_t button5SelectedIndex() const { return fButton5SelectedIndex; }
    std::uint32_t button6SelectedIndex() const { return fButton6SelectedIndex; }
    std::uint32_t secondaryButton1SelectedIndex() const { return fSecondaryButton1SelectedIndex; }
    std::uint32_t secondaryButton2SelectedIndex() const { return fSecondaryButton2SelectedIndex; }
    std::uint32_t secondaryButton3SelectedIndex() const { return fSecondaryButton3SelectedIndex; }
    std::uint32_t secondaryButton4SelectedIndex() const { return fSecondaryButton4SelectedIndex; }
    void setButton1SelectedIndex(std::uint32_t index) { SetSelected(0, true, index); }
    void setButton2SelectedIndex(std::uint32_t index) { SetSelected(1, true, index); }
    void setButton3SelectedIndex(std::uint32_t index) { SetSelected(2, true, index); }
    void setButton4SelectedIndex(std::uint32_t index) { SetSelected(3, true, index); }
    void setButton5SelectedIndex(std::uint32_t index) { SetSelected(4, true, index); }
    void setButton6SelectedIndex(std::uint32_t index) { SetSelected(5, true, index); }
    void setSecondaryButton1SelectedIndex(std::uint32_t index) { SetSelected(0, false, index); }
    void setSecondaryButton2SelectedIndex(std::uint32_t index) { SetSelected(1, false, index); }
    void setSecondaryButton3SelectedIndex(std::uint32_t index) { SetSelected(2, false, index); }
    void setSecondaryButton4SelectedIndex(std::uint32_t index) { SetSelected(3, false, index); }

    const std::array<QComboBox*, 6>& primaryButtons() const { return fPrimaryButtons; }
    const std::array<QComboBox*, 4>& secondaryButtons() const { return fSecondaryButtons; }
    const QStringList& mappingStrings() const { return fMappingStrings; }
    bool changedForTarn() const { return fChangedForTarn; }
    std::int32_t origTarnButton5Mapping() const { return fOrigTarnButton5Mapping; }

    // Forgets that a settings file was assigned in this process. Tests only.
    static void ResetSettingsAssignmentForTesting();

private:
    std::uint32_t& SelectedIndexField(std::uint32_t buttonIndex, bool isPrimary);
    QComboBox* Menu(std::uint32_t buttonIndex, bool isPrimary) const;
    void SetSelected(std::uint32_t buttonIndex, bool isPrimary, std::uint32_t index);
    // What UpdateUiFromConfig selects for a stored row.
    std::uint32_t IndexForStoredType(std::uint32_t buttonIndex, bool isPrimary,
                                     ButtonMappingType type) const;
    // Whether the button's menu holds every row (item index = row).
    bool IsFullMenu(std::uint32_t buttonIndex, bool isPrimary) const;

    std::array<QComboBox*, 6> fPrimaryButtons{};
    std::array<QComboBox*, 4> fSecondaryButtons{};
    QStringList fMappingStrings;
    std::uint32_t fButton1SelectedIndex = 0;
    std::uint32_t fButton2SelectedIndex = 0;
    std::uint32_t fButton3SelectedIndex = 0;
    std::uint32_t fButton4SelectedIndex = 0;
    std::uint32_t fButton5SelectedIndex = 0;
    std::uint32_t fButton6SelectedIndex = 0;
    std::uint32_t fSecondaryButton1SelectedIndex = 0;
    std::uint32_t fSecondaryButton2SelectedIndex = 0;
    std::uint32_t fSecondaryButton3SelectedIndex = 0;
    std::uint32_t fSecondaryButton4SelectedIndex = 0;
    ASettingsFile* fSettingsFile = nullptr;
    bool fChangedForTarn = false;
    // Button 5's row as stored at assignment, then as last chosen for it.
    std::int32_t fOrigTarnButton5Mapping = 0;
    bool fButton5MenuFull = false;
    bool fAssigning = false;
};
