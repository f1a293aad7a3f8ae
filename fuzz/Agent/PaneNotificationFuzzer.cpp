// The agent on a simulated machine with one mouse receives the pane's
// settings notification with an arbitrary user info, then button reports
// from the input: whatever the settings hold (recorded keystrokes included),
// the agent and the driver must neither crash nor leak, the agent's record
// keeps its six primary and four secondary mappings, and once the buttons are
// released and the mouse unplugged the agent lists no mouse and holds no
// modifier.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "AgentConstants.h"
#include "AgentMain.h"
#include "AgentSettings.h"
#include "AgentState.h"
#include "DeviceManager.h"
#include "DistributedNotifications.h"
#include "FuzzedPropertyList.h"
#include "SimulatedMachine.h"
#include "TemporaryHome.h"

namespace {

constexpr std::int32_t kProductIds[] = {401, 402, 405};
constexpr int kMaxReports = 16;
constexpr double kQuietTime = 2.0;

void PostSettings(const platform::PropertyList& userInfo) {
    platform::CFNotificationCenterPostNotification(
        platform::CFNotificationCenterGetDistributedCenter(), kPreferencesChangedNotification,
        kPrefChangeObject, &userInfo, true);
}

void CheckAgentRecord() {
    const ADeviceSettings& settings = AgentSettingsRecord();
    for (int i = 0; i < kNumPrimaryButtonMappings; ++i) {
        if (settings.PrimaryButtonMappingAtIndex(i) == nullptr) std::abort();
    }
    for (int i = 0; i < kNumSecondaryButtonMappings; ++i) {
        if (settings.SecondaryButtonMappingAtIndex(i) == nullptr) std::abort();
    }
}

// One machine and one agent serve the whole run: starting them costs far more
// than an input. Each input plugs its mouse and ends with the mouse released
// and unplugged, the default settings sent back and the machine's history
// dropped, so that the next input starts where this one did.
platform::SimulatedMachine& Machine() {
    static platform::ScopedTemporaryHome home("/dev/shm");
    static auto* machine = [] {
        auto* started = new platform::SimulatedMachine;
        if (!StartAgent()) std::abort();
        started->Loop().RunUntilIdle();
        return started;
    }();
    return *machine;
}

void ResetAgent(platform::SimulatedMachine& machine, platform::MouseId mouse) {
    machine.MoveMouse(mouse, 0, 0, 0);
    machine.Loop().RunUntilIdle();
    machine.UnplugMouse(mouse);
    machine.Loop().RunUntilIdle();
    static const platform::PropertyList defaults = ADeviceSettings().SettingsAsDict();
    PostSettings(defaults);
    // Past every timer the input left behind (the key-event tap's time-outs
    // run 1 s): an input then frees what it allocates, and libFuzzer's leak
    // check runs only when something really stays behind.
    machine.Loop().RunFor(kQuietTime);
    if (ADeviceManager::GetNumOrvandels() != 0 || sEventFlags != 0) std::abort();
    machine.ForgetHistory();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    platform::SimulatedMachine& machine = Machine();
    FuzzedDataProvider input(data, size);
    const platform::MouseId mouse = machine.PlugMouse(input.PickValueInArray(kProductIds));
    machine.Loop().RunUntilIdle();

    PostSettings(input.ConsumeBool() ? BuildSettingsLikeDictionary(input) : BuildValue(input, 0));
    machine.Loop().RunUntilIdle();
    CheckAgentRecord();

    for (int i = 0; i < kMaxReports && input.remaining_bytes() > 0; ++i) {
        machine.MoveMouse(mouse, 0, 0, input.ConsumeIntegral<std::uint8_t>());
        if (input.ConsumeBool()) machine.TypeKey(input.ConsumeIntegral<std::uint8_t>());
        machine.Loop().RunUntilIdle();
    }
    ResetAgent(machine, mouse);
    return 0;
}
