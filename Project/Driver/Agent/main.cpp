#include "AgentMain.h"
#include "AgentState.h"
#include "LinuxBackends.h"
#include "Logging.h"
#include "VendorIdSetting.h"

// The agent as the user's service on a real desktop: the Linux backends,
// chosen once here, and the machine's vendor id of the mice, then the agent's
// own start.
int main() {
    platform::PutVendorIdInForce(platform::ReadVendorIdSetting(platform::kSystemConfigurationFile));
    platform::LinuxBackends backends;
    if (!backends.IsReady()) {
        platform::StandardError("HalvorinAgent: the system or session bus is out of reach\n");
        return 1;
    }
    const int status = HalvorinAgentMain();
    ResetAgentState();
    return status;
}
