#include "ScenarioPane.h"

#include <QApplication>
#include <QCheckBox>
#include <QChildEvent>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <cstdio>
#include <stdexcept>
#include <system_error>

#include "ApplicationSupport.h"
#include "ButtonMappingPaneController.h"
#include "KeyStrokePanel.h"
#include "KeyStrokePanelController.h"
#include "KeyboardLayout.h"
#include "MappingInfoPanelController.h"
#include "SettingsFile.h"
#include "TemporaryHome.h"

namespace {

// The pane runs off screen; Qt is started here unless the program has.
void EnsureApplication() {
    if (QCoreApplication::instance() == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // The off-screen platform's remarks are not what the user sees.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg) {
                std::fprintf(stderr, "%s\n", qPrintable(text));
            }
        });
        static int argc = 1;
        static char name[] = "SimulationHost";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
}

std::string Quoted(const QString& text) {
    return platform::PropertyList(text.toStdString()).Describe();
}

// Reads a settings file that lies elsewhere, through a settings-file object
// of a throw-away home, so that the user's own file is not touched.
platform::PropertyList ReadSettingsFileAt(const std::filesystem::path& file) {
    if (!std::filesystem::is_regular_file(file)) {
        throw std::runtime_error("no settings file at " + file.string());
    }
    platform::ScopedTemporaryHome home;
    const auto folder = platform::ApplicationSupportFolder() / kSettingsFolderName;
    if (const std::error_code error = platform::EnsureFolderExists(folder)) {
        throw std::system_error(error, "cannot prepare a folder to read " + file.string());
    }
    std::filesystem::copy_file(file, folder / kSettingsFileName);
    return ASettingsFile().SettingsAsDict();
}

}  // namespace

ScenarioPane::ScenarioPane(platform::SimulatedMachine& machine, Output output)
    : fMachine(machine), fOutput(std::move(output)) {
    EnsureApplication();
    auto attention = std::make_unique<platform::SimulatedUserAttention>();
    attention->SetObserver([this](const platform::SimulatedUserAttention::Event& event) {
        if (event.beep) {
            fOutput("pane beep");
        } else {
            fOutput("pane alert header=" + Quoted(QString::fromStdString(event.alert.header)) +
                    " message=" + Quoted(QString::fromStdString(event.alert.message)));
        }
    });
    fPreviousAttention = platform::InstallUserAttentionBackend(std::move(attention));
    fPreviousDefaults =
        platform::InstallUserDefaultsBackend(std::make_unique<platform::SimulatedUserDefaults>());
    // Each simulated machine is a process of its own.
    AButtonMappingPaneController::ResetSettingsAssignmentForTesting();

    fPane = std::make_unique<AMainPrefController>();
    QWidget* view = fPane->loadMainView();
    fPane->fContentView->installEventFilter(this);
    fPane->fKeyStrokePanelController->fKeyStrokePanel->installEventFilter(this);
    fPane->fMappingInfoPanelController->fPanel->installEventFilter(this);
    fPane->mainViewDidLoad();
    view->show();
}

ScenarioPane::~ScenarioPane() {
    fPane.reset();
    platform::InstallUserDefaultsBackend(std::move(fPreviousDefaults));
    platform::InstallUserAttentionBackend(std::move(fPreviousAttention));
}

bool ScenarioPane::eventFilter(QObject* watched, QEvent* event) {
    if (!fPane) {
        return false;  // the pane's views are going away with it
    }
    if (watched == fPane->fContentView && event->type() == QEvent::ChildAdded) {
        ReportView(static_cast<QChildEvent*>(event)->child());
    }
    const bool recording = watched == fPane->fKeyStrokePanelController->fKeyStrokePanel;
    const bool hint = watched == fPane->fMappingInfoPanelController->fPanel;
    if ((recording || hint) && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        const char* sheet = recording ? "recording" : "hint";
        if (event->type() == QEvent::Hide) {
            fOutput(std::string("pane sheet-closed ") + sheet);
        } else {
            const QString text = recording
                                     ? fPane->fKeyStrokePanelController->fMacroInputField->text()
                                     : fPane->fMappingInfoPanelController->message();
            fOutput(std::string("pane sheet ") + sheet + " text=" + Quoted(text));
        }
    }
    return QObject::eventFilter(watched, event);
}

void ScenarioPane::ReportView(QObject* child) {
    const char* view = child == fPane->fSearchingView    ? "searching"
                       : child == fPane->fTabView        ? "settings"
                       : child == fPane->fNoDevicesLabel ? "no-devices"
                                                         : nullptr;
    if (fPane->changedForTarn() && !fReportedTarn) {
        fReportedTarn = true;
        fOutput("pane tarn-look");
    }
    if (view != nullptr && fShownView != view) {
        fShownView = view;
        fOutput(std::string("pane view ") + view);
    }
}

void ScenarioPane::Show() {
    fPane->willSelect();
    ReportView(fPane->fSearchingView);
}

void ScenarioPane::Hide() {
    fPane->willUnselect();
}

void ScenarioPane::Set(const scenario::PaneSet& change) {
    using Field = scenario::PaneSet::Field;
    QWidget* tabs = fPane->fTabView;
    switch (change.field) {
        case Field::Pointer:
        case Field::Scroll: {
            const char* name = change.field == Field::Pointer ? "fPointerSensitivitySlider"
                                                              : "fScrollWheelSensitivitySlider";
            tabs->findChild<QSlider*>(name)->setValue(change.value);
            return;
        }
        case Field::Reverse:
            tabs->findChild<QCheckBox*>("fReverseScrollDirectionCheckBox")
                ->setChecked(change.value != 0);
            return;
        case Field::Primary:
        case Field::Secondary: {
            const bool primary = change.field == Field::Primary;
            QComboBox* menu = Menu(primary, change.index + 1);
            const QString label = QString::fromStdString(
                AButtonMapping::buttonMappingChoiceLabelOfType(change.value));
            ChooseItem(menu, menu->findText(label));
            if (change.value == kKeyStrokeRecordingMappingType) {
                fPane->fKeyStrokePanelController->fKeyStrokePanel->SetKeyCodes(
                    QString::fromStdString(change.macroKeys));
                PressSheetButton({scenario::PaneSheetButton::Button::Ok});
            }
            return;
        }
        case Field::Defaults:
            tabs->findChild<QPushButton*>("fRestoreDefaultsButton")->click();
            return;
    }
}

QComboBox* ScenarioPane::Menu(bool primary, int button) const {
    const AButtonMappingPaneController& buttons = *fPane->fButtonMappingPaneController;
    QComboBox* menu = primary ? buttons.primaryButtons().at(static_cast<std::size_t>(button - 1))
                              : buttons.secondaryButtons().at(static_cast<std::size_t>(button - 1));
    if (menu->isHidden()) {
        throw std::runtime_error("the menu of button " + std::to_string(button) + " is hidden");
    }
    return menu;
}

void ScenarioPane::ChooseItem(QComboBox* menu, int item) {
    if (item < 0 || item >= menu->count()) {
        throw std::runtime_error("the menu has no such item");
    }
    menu->setCurrentIndex(item);
    emit menu->activated(item);
}

void ScenarioPane::Choose(const scenario::PaneChoose& choice) {
    QComboBox* menu = Menu(choice.primary, choice.button);
    const QString item = QString::fromStdString(choice.item);
    bool isRow = false;
    const int row = item.toInt(&isRow);
    ChooseItem(menu, isRow ? row : menu->findText(item));
}

void ScenarioPane::Record(const scenario::PaneRecord& record) {
    AKeyStrokePanel& sheet = *fPane->fKeyStrokePanelController->fKeyStrokePanel;
    if (!sheet.isVisible()) {
        throw std::runtime_error("the recording sheet is not open");
    }
    sheet.windowDidBecomeKey();
    for (const std::string& key : record.keys) {
        TypeKey(key);
    }
    fOutput("pane recording text=" + Quoted(sheet.macroInputField()->text()));
}

void ScenarioPane::TypeKey(const std::string& key) {
    AKeyStrokePanel& sheet = *fPane->fKeyStrokePanelController->fKeyStrokePanel;
    std::string error;
    const std::optional<AKeyStrokeWord> word = ParseKeyStrokeWord(key, error);
    if (!word) {
        throw std::runtime_error(error);
    }
    TypeKeyStrokeWord(
        *word,
        [&](std::uint32_t flags) {
            sheet.flagsChanged({0, flags, {}, false});
        },
        [&](std::uint16_t keyCode, std::uint32_t flags) {
            if (sheet.hasEventTap()) {
                fMachine.TypeKey(keyCode, flags);
                fMachine.Loop().RunUntilIdle();
            } else {
                sheet.keyDown({keyCode, flags, CharactersIgnoringModifiers(keyCode), false});
            }
        });
}

void ScenarioPane::PressSheetButton(const scenario::PaneSheetButton& button) {
    AKeyStrokePanel& sheet = *fPane->fKeyStrokePanelController->fKeyStrokePanel;
    if (!sheet.isVisible()) {
        throw std::runtime_error("the recording sheet is not open");
    }
    using Button = scenario::PaneSheetButton::Button;
    const char* name = button.button == Button::Ok      ? "fOkButton"
                       : button.button == Button::Clear ? "fClearButton"
                                                        : "fCancelButton";
    sheet.findChild<QPushButton*>(name)->click();
}

void ScenarioPane::AnswerHint(const scenario::PaneHintOk& answer) {
    AMappingInfoPanelController& hints = *fPane->fMappingInfoPanelController;
    if (!hints.fPanel->isVisible()) {
        throw std::runtime_error("no hint is shown");
    }
    hints.fDontShowCheckBox->setChecked(answer.dontShow);
    hints.fOkButton->click();
}

void ScenarioPane::Send(const std::filesystem::path& file) {
    if (!file.empty()) {
        fPane->settingsFile()->RestoreFromDictionary(ReadSettingsFileAt(file));
    }
    fPane->NotifyAgentOfPreferenceChanges(nullptr);
}
