#include <cstdio>
#include <string>

#include "AgentChannel.h"
#include "AgentConstants.h"
#include "CommandLine.h"
#include "Commands.h"
#include "CtlBackends.h"
#include "CtlError.h"
#include "DriverHostRegistry.h"
#include "HIDManager.h"
#include "MouseModels.h"
#include "SettingsFile.h"
#include "VendorIdSetting.h"

namespace {

void Line(const std::string& text) {
    std::printf("%s\n", text.c_str());
}

std::int64_t NumberProperty(const platform::PropertyList& properties, std::string_view key) {
    const platform::PropertyList* value = properties.Find(key);
    return value != nullptr ? value->AsInteger().value_or(0) : 0;
}

void ReportHost(const CtlBackends& backends) {
    platform::DriverHostRegistry* registry = backends.Registry();
    if (registry == nullptr) {
        Line("driver host: the system bus is out of reach");
        return;
    }
    if (!registry->IsHostPresent()) {
        Line(std::string("driver host: not running (nobody owns ") + platform::kDriverHostBusName +
             " on the system bus)");
        return;
    }
    Line(std::string("driver host: running (") + platform::kDriverHostBusName + ")");
    const std::vector<platform::ServiceId> mice =
        registry->ServicesOfClass(kOrvandelDriverClassName);
    if (mice.empty()) {
        Line("  no mouse");
    }
    for (const platform::ServiceId mouse : mice) {
        const std::optional<platform::PropertyList> properties = registry->Properties(mouse);
        if (!properties) {
            continue;  // gone meanwhile
        }
        const std::int64_t product = NumberProperty(*properties, platform::kIOHIDProductIDKey);
        const std::string path = registry->PathOf(mouse);
        Line("  mouse: " + std::string(MouseNameOfProduct(static_cast<std::int32_t>(product))) +
             ", product " + std::to_string(product) + ", vendor " +
             std::to_string(NumberProperty(*properties, platform::kIOHIDVendorIDKey)) +
             ", instance " + path.substr(path.rfind('/') + 1));
    }
}

void ReportAgent(const CtlBackends& backends) {
    if (!backends.HasSessionBus()) {
        Line("agent: no session bus, so none in this session");
        return;
    }
    const AgentAnswer answer = AskAgent(kAgentAnswerTimeout);
    if (!answer.answered) {
        char seconds[16];
        std::snprintf(seconds, sizeof seconds, "%g", kAgentAnswerTimeout);
        Line(std::string("agent: not running in this session (no answer within ") + seconds +
             " s)");
        return;
    }
    Line(std::string("agent: running in this session, ") +
         (!answer.deviceAttached ? "no mouse attached"
          : answer.isTarn        ? "a mouse attached (the Tarn model)"
                                 : "a mouse attached"));
}

}  // namespace

int StatusCommand(const CtlCommandLine& line) {
    ExpectWords(line, 0, 0);
    ExpectOptions(line, false, false);
    const CtlBackends backends({.sessionBus = true, .systemBus = true});
    ReportHost(backends);
    ReportAgent(backends);
    const std::filesystem::path file = ASettingsFile::DefaultXmlPath();
    std::error_code error;
    Line("settings file: " +
         (file.empty() ? "none (no home folder)"
                       : file.string() +
                             (std::filesystem::exists(file, error) ? "" : " (not written yet)")));
    // As the host and the agent read it when they start.
    const platform::VendorIdSetting vendor =
        platform::ReadVendorIdSetting(platform::kSystemConfigurationFile);
    Line("vendor id: " + std::to_string(vendor.value) + " (" +
         platform::VendorIdText(vendor.value) + "), " +
         (vendor.IsBuildDefault() ? "the build's default" : "from " + vendor.file));
    return kExitDone;
}
