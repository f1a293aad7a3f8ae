#include "AgentMain.h"

#include "DeviceManager.h"
#include "Logging.h"
#include "RunLoop.h"
#include "Signals.h"

namespace {

constexpr const char* kAlertTitle = "Halvorin Device Controller";
constexpr const char* kSignalHandlerAlert = "Could not create signal handler.";

}  // namespace

int HalvorinAgentMain() {
    if (!platform::InstallSignalHandler(platform::kSignalInterrupt, SignalHandler)) {
        // The agent has no window; the alert goes where its user can find it.
        platform::SystemLog(std::string(kAlertTitle) + ": " + kSignalHandlerAlert);
        platform::StandardError(std::string(kAlertTitle) + ": " + kSignalHandlerAlert + "\n");
        return -1;
    }
    gDeviceManager = ADeviceManager::GetDeviceManager();
    platform::CFRunLoopRun();
    return 0;
}

void SignalHandler(int /*signalNumber*/) {
    EndAgent();
    platform::ExitImmediately(0);
}

void EndAgent() {
    if (gDeviceManager != nullptr) {
        gDeviceManager->Detach();
        delete gDeviceManager;
        gDeviceManager = nullptr;
    }
}
