// The agent on a simulated machine with one mouse receives the pane's
// settings notification with an arbitrary user info, then button reports
// from the input: whatever the settings hold (recorded keystrokes included),
// the agent and the driver must neither crash nor leak, and the agent's
// record keeps its six primary and four secondary mappings.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "AgentConstants.h"
#include "AgentMain.h"
#include "AgentSettings.h"
#include "AgentState.h"
#include "DistributedNotifications.h"
#include "FuzzedPropertyList.h"
#include "SimulatedMachine.h"
#include "TemporaryHome.h"

namespace {

constexpr std::int32_t kProductIds[] = {401, 402, 405};
constexpr int kMaxReports = 16;

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // In memory, so that the agent's reads of the settings file cost little.
    static platform::ScopedTemporaryHome home("/dev/shm");
    FuzzedDataProvider input(data, size);
    {
        platform::SimulatedMachine machine;
        if (!StartAgent()) std::abort();
        const platform::MouseId mouse = machine.PlugMouse(input.PickValueInArray(kProductIds));
        machine.Loop().RunUntilIdle();

        PostSettings(input.ConsumeBool() ? BuildSettingsLikeDictionary(input)
                                         : BuildValue(input, 0));
        machine.Loop().RunUntilIdle();
        CheckAgentRecord();

        for (int i = 0; i < kMaxReports && input.remaining_bytes() > 0; ++i) {
            machine.MoveMouse(mouse, 0, 0, input.ConsumeIntegral<std::uint8_t>());
            if (input.ConsumeBool()) machine.TypeKey(input.ConsumeIntegral<std::uint8_t>());
            machine.Loop().RunUntilIdle();
        }
        machine.MoveMouse(mouse, 0, 0, 0);
        machine.Loop().RunUntilIdle();
        ResetAgentState();
    }
    return 0;
}
