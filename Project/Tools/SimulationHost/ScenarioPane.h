#pragma once

#include <QObject>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "MainPrefController.h"
#include "Scenario.h"
#include "SimulatedMachine.h"
#include "UserAttention.h"
#include "UserDefaults.h"

class QComboBox;

// The real preference pane on the simulated machine, off screen: the scenario
// acts as its user (shows and hides it, moves its controls, chooses in its
// menus, types into its recording sheet, answers its hints) and the pane
// reports what the user would see: the view it shows, the Tarn look, a sheet
// opening and closing with its text, a beep, an alert.
class ScenarioPane : public QObject {
public:
    // Told each line the user would see, without the time.
    using Output = std::function<void(const std::string&)>;

    // Loads the pane, which reads the user's settings file.
    ScenarioPane(platform::SimulatedMachine& machine, Output output);
    ~ScenarioPane() override;
    ScenarioPane(const ScenarioPane&) = delete;
    ScenarioPane& operator=(const ScenarioPane&) = delete;

    // Each of these throws std::runtime_error when the user could not do it
    // (a menu without that item, a sheet that is not open, an unknown key).
    void Show();
    void Hide();
    void Set(const scenario::PaneSet& change);
    void Choose(const scenario::PaneChoose& choice);
    void Record(const scenario::PaneRecord& record);
    void PressSheetButton(const scenario::PaneSheetButton& button);
    void AnswerHint(const scenario::PaneHintOk& answer);
    // Sends the pane's settings, or first makes those of the file its own.
    void Send(const std::filesystem::path& file);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QComboBox* Menu(bool primary, int button) const;
    void ChooseItem(QComboBox* menu, int item);
    void TypeKey(const std::string& key);
    void ReportView(QObject* child);

    platform::SimulatedMachine& fMachine;
    Output fOutput;
    std::unique_ptr<platform::UserAttentionBackend> fPreviousAttention;
    std::unique_ptr<platform::UserDefaultsBackend> fPreviousDefaults;
    std::unique_ptr<AMainPrefController> fPane;
    std::string fShownView;
    bool fReportedTarn = false;
};
