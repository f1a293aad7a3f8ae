#include "AgentMain.h"
#include "AgentState.h"
#include "SimulatedMachine.h"

// The agent on the simulation backend, the only one so far: a machine with no
// mouse and no pane, so the run loop finds nothing to do and the agent ends.
int main() {
    platform::SimulatedMachine machine;
    const int status = HalvorinAgentMain();
    ResetAgentState();
    return status;
}
