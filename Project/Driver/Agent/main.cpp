#include "AgentMain.h"
#include "AgentState.h"
#include "LinuxBackends.h"
#include "Logging.h"

// The agent as the user's service on a real desktop: the Linux backends,
// chosen once here, then the agent's own start.
int main() {
    platform::LinuxBackends backends;
    if (!backends.IsReady()) {
        platform::StandardError("HalvorinAgent: the system or session bus is out of reach\n");
        return 1;
    }
    const int status = HalvorinAgentMain();
    ResetAgentState();
    return status;
}
