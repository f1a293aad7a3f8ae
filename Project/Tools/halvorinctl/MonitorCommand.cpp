#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <map>
#include <string>

#include "AgentConstants.h"
#include "CommandLine.h"
#include "Commands.h"
#include "CtlBackends.h"
#include "CtlError.h"
#include "DistributedNotifications.h"
#include "DriverHostRegistry.h"
#include "HIDManager.h"
#include "IOTypes.h"
#include "ReportBits.h"
#include "RunLoop.h"
#include "Signals.h"

namespace {

// One line, at once: the output is often a pipe.
void Print(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%" PRIx32, value);
    return text;
}

// What a message says: the buttons of the model whose report bits it holds,
// or its fixed meaning.
std::string Meaning(std::uint32_t message, bool isTarn) {
    if (message == kMessageAllButtonsUp) {
        return " released";
    }
    if (message == platform::kIOMessageServiceIsTerminated) {
        return " gone";
    }
    if (message == kMessageNothing || message > 0xff) {
        return "";
    }
    const auto& bits = isTarn ? sTarnButtonReportFlags : sButtonReportFlags;
    std::string buttons;
    int count = 0;
    for (std::size_t i = 0; i < bits.size(); ++i) {
        if (bits[i] != 0 && (message & bits[i]) != 0) {
            buttons += (count++ == 0 ? "" : "+") + std::to_string(i + 1);
        }
    }
    return count == 0 ? "" : (count == 1 ? " button=" : " buttons=") + buttons;
}

void NotificationArrived(platform::CFNotificationCenterRef, void*, const char* name,
                         const char* object, const platform::PropertyList* userInfo) {
    Print(std::string("notification name=") + name + " object=" + (object ? object : "-") +
          " userInfo=" + (userInfo ? userInfo->Describe() : "-"));
}

void Interrupted(int) {
    platform::CFRunLoopStop(platform::CFRunLoopGetCurrent());
}

// Follows the host's driver instances: subscribes to each one's messages as
// it appears and prints what each sends.
class ButtonMessages {
public:
    explicit ButtonMessages(platform::DriverHostRegistry& registry) : fRegistry(registry) {}
    ~ButtonMessages() {
        for (const auto& [service, mouse] : fMice) {
            fRegistry.RemoveInterest(mouse.interest);
        }
    }

    // Subscribes to the instances not yet followed.
    void Follow() {
        for (const platform::ServiceId service :
             fRegistry.ServicesOfClass(kOrvandelDriverClassName)) {
            if (!fMice.contains(service)) {
                Add(service);
            }
        }
    }

private:
    struct Mouse {
        platform::InterestId interest;
        std::string name;  // "instance=3 product=401"
        bool isTarn;
    };

    void Add(platform::ServiceId service) {
        const std::optional<platform::PropertyList> properties = fRegistry.Properties(service);
        const platform::PropertyList* product =
            properties ? properties->Find(platform::kIOHIDProductIDKey) : nullptr;
        const std::int64_t productId = product != nullptr ? product->AsInteger().value_or(0) : 0;
        const std::string path = fRegistry.PathOf(service);
        Mouse mouse{0,
                    "instance=" + path.substr(path.rfind('/') + 1) +
                        " product=" + std::to_string(productId),
                    productId == kTarnProductId};
        const std::optional<platform::InterestId> interest = fRegistry.AddInterest(
            service,
            [this, service](platform::natural_t type, std::uintptr_t) { Arrived(service, type); });
        if (!interest) {
            std::fprintf(stderr,
                         "halvorinctl: the driver host does not send the messages of %s "
                         "(not allowed outside the active local session)\n",
                         mouse.name.c_str());
            return;
        }
        mouse.interest = *interest;
        Print("mouse " + mouse.name);
        fMice.emplace(service, std::move(mouse));
    }

    void Arrived(platform::ServiceId service, std::uint32_t type) {
        const auto found = fMice.find(service);
        if (found == fMice.end()) {
            return;
        }
        Print("message " + found->second.name + " type=" + Hex(type) +
              Meaning(type, found->second.isTarn));
        if (type == platform::kIOMessageServiceIsTerminated) {
            fRegistry.RemoveInterest(found->second.interest);
            fMice.erase(found);
        }
    }

    platform::DriverHostRegistry& fRegistry;
    std::map<platform::ServiceId, Mouse> fMice;
};

}  // namespace

int MonitorCommand(const CtlCommandLine& line) {
    ExpectWords(line, 0, 0);
    ExpectOptions(line, false, false);
    CtlBackends backends({.sessionBus = true, .systemBus = true});
    if (!backends.HasSessionBus() && backends.Registry() == nullptr) {
        throw CtlError(kExitError, "neither the session bus nor the system bus is in reach");
    }
    if (!backends.HasSessionBus() || backends.Registry() == nullptr) {
        std::fprintf(stderr, "halvorinctl: no %s bus, so no %s\n",
                     backends.HasSessionBus() ? "system" : "session",
                     backends.HasSessionBus() ? "button messages" : "notifications");
    }
    platform::InstallSignalHandler(SIGINT, Interrupted);
    platform::InstallSignalHandler(SIGTERM, Interrupted);
    if (backends.HasSessionBus()) {
        platform::CFNotificationCenterAddObserver(
            platform::CFNotificationCenterGetDistributedCenter(), &backends, NotificationArrived,
            nullptr, nullptr, platform::CFNotificationSuspensionBehaviorDeliverImmediately);
    }
    std::optional<ButtonMessages> messages;
    if (platform::DriverHostRegistry* registry = backends.Registry()) {
        messages.emplace(*registry);
        backends.OnHostChanged([&](bool serving) {
            Print(serving ? "host serving" : "host gone");
            if (serving) messages->Follow();
        });
        registry->OnServicesAdded([&] { messages->Follow(); });
        messages->Follow();
    }
    platform::CFRunLoopRun();
    if (backends.HasSessionBus()) {
        platform::CFNotificationCenterRemoveEveryObserver(
            platform::CFNotificationCenterGetDistributedCenter(), &backends);
    }
    return kExitDone;
}
