#include <benchmark/benchmark.h>

#include "AgentConstants.h"
#include "AgentMain.h"
#include "AgentState.h"
#include "ButtonActions.h"
#include "DeviceManager.h"
#include "DistributedNotifications.h"
#include "SimulatedMachine.h"
#include "TemporaryHome.h"

namespace {

// From a driver message to the events posted into the system: the agent runs
// on a simulated machine with one mouse whose button 3 carries `mapping`.
void MessageToPostedEvents(benchmark::State& state, ButtonMappingType type,
                           const std::string& macroKeys) {
    platform::ScopedTemporaryHome home;
    platform::SimulatedMachine machine;
    StartAgent();
    machine.PlugMouse(401);
    machine.Loop().RunUntilIdle();

    ADeviceSettings settings;
    settings.SetPrimaryButtonMapping(AButtonMapping::initWithType(type, macroKeys), 3);
    const platform::PropertyList dictionary = settings.SettingsAsDict();
    platform::CFNotificationCenterPostNotification(
        platform::CFNotificationCenterGetDistributedCenter(), kPreferencesChangedNotification,
        kPrefChangeObject, &dictionary, true);
    machine.Loop().RunUntilIdle();

    const platform::io_object_t driver = ADeviceManager::GetOrvandelObjectAtIndex(0);
    std::size_t sinceClear = 0;
    for (auto _ : state) {
        HandleDriverNotification(nullptr, driver, 0x10, nullptr);
        // The simulation records everything; keep its logs short.
        if (++sinceClear == 1024) {
            machine.HIDSystem().Clear();
            machine.ClearLog();
            sinceClear = 0;
        }
    }
    ResetAgentState();
}

void BM_Keystroke(benchmark::State& state) {
    MessageToPostedEvents(state, 7, "");
}
BENCHMARK(BM_Keystroke);

void BM_RecordedKeystrokeOfFiveSteps(benchmark::State& state) {
    MessageToPostedEvents(state, kKeyStrokeRecordingMappingType,
                          "Return,36,0|Tab,48,131072|A,0,1048576|B,11,0|Escape,53,524288");
}
BENCHMARK(BM_RecordedKeystrokeOfFiveSteps);

}  // namespace
