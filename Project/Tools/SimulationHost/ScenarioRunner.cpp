#include "ScenarioRunner.h"

#include <cstdio>

#include "AgentMain.h"
#include "AgentState.h"
#include "ApplicationSupport.h"

namespace {

template <class... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};
template <class... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

std::string FormatTime(double time) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", time);
    return text;
}

}  // namespace

ScenarioRunner::ScenarioRunner(std::ostream& output, std::filesystem::path scenarioFolder)
    : fOutput(output), fScenarioFolder(std::move(scenarioFolder)) {
    fSettingsFile = std::make_unique<SettingsFileWatch>(platform::ApplicationSupportFolder() /
                                                        kSettingsFolderName / kSettingsFileName);
    fMachine.SetLogObserver([this](const platform::MachineEvent& event) {
        PrintSettingsFileChange();
        fOutput << platform::FormatMachineEvent(event) << '\n';
    });
    fPane = std::make_unique<ScenarioPane>(fMachine, [this](const std::string& seen) {
        PrintSettingsFileChange();
        fOutput << FormatTime(fMachine.Now()) << ' ' << seen << '\n';
    });
    StartAgent();
    fMachine.Loop().RunUntilIdle();
    PrintSettingsFileChange();
}

ScenarioRunner::~ScenarioRunner() {
    fMachine.SetLogObserver(nullptr);
    ResetAgentState();
}

void ScenarioRunner::Run(const std::vector<scenario::Line>& lines) {
    for (const scenario::Line& line : lines) {
        if (fMachine.ExitStatus()) {
            return;
        }
        Perform(line);
        fMachine.Loop().RunUntilIdle();
        PrintSettingsFileChange();
    }
}

platform::MouseId ScenarioRunner::MouseAt(const scenario::Line& line, int mouse) const {
    const auto found = fMice.find(mouse);
    if (found == fMice.end()) {
        throw scenario::ParseError(line.number,
                                   "no mouse " + std::to_string(mouse) + " is plugged in");
    }
    return found->second;
}

void ScenarioRunner::Perform(const scenario::Line& line) {
    using namespace scenario;
    std::visit(
        Overloaded{
            [&](const Plug& plug) {
                fMice[fNextMouse++] = fMachine.PlugMouse(plug.productId, plug.driverDelay);
            },
            [&](const Unplug& unplug) {
                fMachine.UnplugMouse(MouseAt(line, unplug.mouse));
                fMice.erase(unplug.mouse);
            },
            [&](const RelativeReport& report) {
                fMachine.MoveMouse(MouseAt(line, report.mouse), report.dx, report.dy,
                                   report.buttons);
            },
            [&](const AbsoluteReport& report) {
                fMachine.PointAbsolute(MouseAt(line, report.mouse), report.x, report.y,
                                       report.buttons);
            },
            [&](const ScrollReport& report) {
                fMachine.ScrollMouse(MouseAt(line, report.mouse), report.delta1, report.delta2,
                                     report.delta3);
            },
            [&](const TypeKeys& keys) {
                for (std::uint32_t keyCode : keys.keyCodes) {
                    fMachine.TypeKey(static_cast<std::uint16_t>(keyCode));
                    fMachine.Loop().RunUntilIdle();
                }
            },
            [&](const Advance& advance) { fMachine.Loop().RunFor(advance.seconds); },
            [&](const PointerAt& pointer) { fMachine.SetMouseLocation(pointer.x, pointer.y); },
            [&](const Sleep&) { fMachine.SleepSystem(); },
            [&](const Wake&) { fMachine.WakeSystem(); },
            [&](const SessionResign&) { fMachine.ResignSession(); },
            [&](const SessionActivate&) { fMachine.ActivateSession(); },
            [&](const PaneShow&) { fPane->Show(); },
            [&](const PaneSet& change) { AsUser(line, [&] { fPane->Set(change); }); },
            [&](const PaneChoose& choice) { AsUser(line, [&] { fPane->Choose(choice); }); },
            [&](const PaneRecord& record) { AsUser(line, [&] { fPane->Record(record); }); },
            [&](const PaneSheetButton& button) {
                AsUser(line, [&] { fPane->PressSheetButton(button); });
            },
            [&](const PaneHintOk& answer) { AsUser(line, [&] { fPane->AnswerHint(answer); }); },
            [&](const PaneSend& send) {
                AsUser(line, [&] {
                    fPane->Send(send.file.empty() ? std::filesystem::path()
                                                  : fScenarioFolder / send.file);
                });
            },
            [&](const PaneHide&) { fPane->Hide(); },
            [&](const Interrupt&) { fMachine.Interrupt(); },
        },
        line.command);
}

template <typename Action>
void ScenarioRunner::AsUser(const scenario::Line& line, Action action) {
    try {
        action();
    } catch (const std::runtime_error& error) {
        throw scenario::ParseError(line.number, error.what());
    }
}

void ScenarioRunner::PrintSettingsFileChange() {
    if (const auto change = fSettingsFile->TakeChange()) {
        fOutput << FormatTime(fMachine.Now()) << " settings-file " << *change << '\n';
    }
}
