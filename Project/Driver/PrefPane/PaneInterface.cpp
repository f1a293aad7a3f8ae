#include "PaneInterface.h"

#include <QComboBox>
#include <QDialog>
#include <QPushButton>

#include "ButtonMappingPaneController.h"
#include "KeyStrokePanel.h"
#include "KeyStrokePanelController.h"
#include "MainPrefController.h"
#include "MappingInfoPanelController.h"
#include "PaneBundle.h"
#include "PopUpButton.h"
#include "SensitivityPaneController.h"
#include "ui_MappingInfoPanel.h"
#include "ui_PrefPaneView.h"

QWidget* LoadPaneInterface(AMainPrefController& owner) {
    auto* view = new QWidget;
    Ui::PrefPaneView ui;
    ui.setupUi(view);

    owner.fContentView = ui.fContentView;
    owner.fSearchingView = ui.fSearchingView;
    owner.fSearchingIndicator = ui.fSearchingIndicator;
    owner.fNoDevicesLabel = ui.fNoDevicesLabel;
    owner.fTabView = ui.fTabView;
    owner.fMouseImage = ui.fMouseImage;
    owner.fMouseName = ui.fMouseName;
    ui.fMouseImage->setPixmap(PaneBundleImage(QStringLiteral("sixbuttonmouse"), QStringLiteral("png")));

    auto* sensitivity = new ASensitivityPaneController(&owner);
    sensitivity->BindControls(ui.fPointerSensitivitySlider, ui.fScrollWheelSensitivitySlider,
                              ui.fReverseScrollDirectionCheckBox);
    owner.fSensitivityPaneController = sensitivity;

    auto* keyStrokes = new AKeyStrokePanelController(&owner);
    keyStrokes->fKeyStrokePanel = new AKeyStrokePanel(view);
    keyStrokes->fMacroInputField = keyStrokes->fKeyStrokePanel->macroInputField();
    owner.fKeyStrokePanelController = keyStrokes;

    auto* hints = new AMappingInfoPanelController(&owner);
    auto* hintPanel = new QDialog(view);
    Ui::MappingInfoPanel hintUi;
    hintUi.setupUi(hintPanel);
    hints->fPanel = hintPanel;
    hints->fMessageField = hintUi.fMessageField;
    hints->fDontShowCheckBox = hintUi.fDontShowCheckBox;
    hints->fOkButton = hintUi.fOkButton;
    owner.fMappingInfoPanelController = hints;

    auto* buttons = new AButtonMappingPaneController(&owner);
    buttons->fButton1MappingChooser = ui.fButton1MappingChooser;
    buttons->fButton2MappingChooser = ui.fButton2MappingChooser;
    buttons->fButton3MappingChooser = ui.fButton3MappingChooser;
    buttons->fButton4MappingChooser = ui.fButton4MappingChooser;
    buttons->fButton5MappingChooser = ui.fButton5MappingChooser;
    buttons->fButton6MappingChooser = ui.fButton6MappingChooser;
    buttons->fSecondaryButton1MappingChooser = ui.fSecondaryButton1MappingChooser;
    buttons->fSecondaryButton2MappingChooser = ui.fSecondaryButton2MappingChooser;
    buttons->fSecondaryButton3MappingChooser = ui.fSecondaryButton3MappingChooser;
    buttons->fSecondaryButton4MappingChooser = ui.fSecondaryButton4MappingChooser;
    buttons->fButton6MappingLabel = ui.fButton6MappingLabel;
    buttons->fSecondaryButton4MappingLabel = ui.fSecondaryButton4MappingLabel;
    buttons->fPrimaryBox = ui.fPrimaryBox;
    buttons->fSecondaryBox = ui.fSecondaryBox;
    buttons->fKeyStrokePanelController = keyStrokes;
    buttons->fMappingInfoPanelController = hints;
    owner.fButtonMappingPaneController = buttons;
    for (QComboBox* menu : ui.fTabView->findChildren<QComboBox*>()) {
        MakePopUpButton(*menu);
    }
    QObject::connect(ui.fRestoreDefaultsButton, &QPushButton::clicked, buttons,
                     [buttons, button = ui.fRestoreDefaultsButton] {
                         buttons->RestoreDefaultValues(button);
                     });

    keyStrokes->awakeFromNib();
    hints->awakeFromNib();
    buttons->awakeFromNib();

    ui.fNoDevicesLabel->setParent(nullptr);
    ui.fTabView->setParent(nullptr);
    return view;
}
