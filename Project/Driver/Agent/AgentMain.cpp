#include "AgentMain.h"

#include "DeviceManager.h"
#include "Logging.h"
#include "RunLoop.h"
#include "Signals.h"

namespace {

constexpr const char* kAlertTitle = "Halvorin Device Controller";
constexpr const char* kSignalHandlerAlert = "Could not create signal handler.";

}  // namespace

bool StartAgent() {
    if (!platform::InstallSignalHandler(platform::kSignalInterrupt, SignalHandler)) {
        // The agent has no window; the alert goes where its user can find it.
        platform::SystemLog(std::string(kAlertTitle) + ": " + kSignalHandlerAlert);
        platform::StandardError(std::string(kAlertTitle) + ": " + kSignalHandlerAlert + "\n");
        return false;
    }
    gDeviceManager = ADeviceManager::GetDeviceManager();
    return true;
}

int HalvorinAgentMain() {
    if (!StartAgent()) {
        return -1;
    }
    platform::CFRunLoopRun();
    return 0;
}

void SignalHandler(int /*signalNumber*/) {
    if (gDeviceManager != nullptr) {
        gDeviceManager->Detach();
        delete gDeviceManager;
        gDeviceManager = nullptr;
    }
    platform::ExitImmediately(0);
}
