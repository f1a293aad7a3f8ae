#include "PaneOnDisplay.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

#include "PaneAgentNotifications.h"
#include "SessionBusNotifications.h"

namespace {

constexpr auto kPoll = std::chrono::milliseconds(20);

int ConnectWhenListening(const std::string& path, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    do {
        const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            return socket;
        }
        close(socket);
        std::this_thread::sleep_for(kPoll);
    } while (std::chrono::steady_clock::now() < end);
    throw std::runtime_error("the probe in Preferences never listened at " + path);
}

}  // namespace

PaneOnDisplay::PaneOnDisplay() {
    const std::string socket = (fHome.Path() / "probe").string();
    fHost = std::make_unique<ChildProcess>(
        std::vector<std::string>{HALVORIN_PREFERENCES},
        std::vector<std::string>{"DBUS_SESSION_BUS_ADDRESS=" + fSessionBus.Address(),
                                 "XDG_CONFIG_HOME=", "XDG_DATA_HOME=",
                                 "QT_PLUGIN_PATH=" HALVORIN_PROBE_PLUGIN_PATH,
                                 "QT_QPA_GENERIC_PLUGINS=paneprobe:" + socket});
    fAgent = fSessionBus.Connect();
    if (fAgent == nullptr ||
        sd_bus_match_signal(fAgent, nullptr, nullptr, platform::kNotificationsPath,
                            platform::kNotificationsInterface, platform::kNotificationSignal,
                            nullptr, nullptr) < 0) {
        throw std::runtime_error("no agent's connection to the private session bus");
    }
    fProbe = ConnectWhenListening(socket, std::chrono::seconds(20));
}

PaneOnDisplay::~PaneOnDisplay() {
    if (fProbe >= 0) close(fProbe);
    fHost.reset();
    sd_bus_flush_close_unref(fAgent);
}

std::string PaneOnDisplay::Ask(const std::string& question) {
    const std::string line = question + "\n";
    if (write(fProbe, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
        return "(probe gone)";
    }
    for (;;) {
        const std::size_t end = fBuffered.find('\n');
        if (end != std::string::npos) {
            std::string answer = fBuffered.substr(0, end);
            fBuffered.erase(0, end + 1);
            return answer;
        }
        char chunk[512];
        const ssize_t got = read(fProbe, chunk, sizeof chunk);
        if (got <= 0) return "(probe gone)";
        fBuffered.append(chunk, static_cast<std::size_t>(got));
    }
}

bool PaneOnDisplay::WaitFor(const std::string& question, const std::string& expected,
                            std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (Ask(question) != expected) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

bool PaneOnDisplay::AnswerAsAgent(bool isTarn) {
    return WaitForPaneStarted() && PostAsAgent(kDeviceAttachedNotification, isTarn) &&
           WaitFor("visible fTabView", "1");
}

bool PaneOnDisplay::WaitForPaneStarted() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        sd_bus_message* message = nullptr;
        if (sd_bus_process(fAgent, &message) > 0 && message != nullptr) {
            const auto notification = platform::ReadNotification(message);
            sd_bus_message_unref(message);
            if (notification && notification->name == kPrefPaneStartedNotification) return true;
        } else {
            sd_bus_wait(fAgent, 100000);
        }
    }
    return false;
}

bool PaneOnDisplay::PostAsAgent(const char* name, bool isTarn) {
    platform::DistributedNotification notification{name, std::nullopt, std::nullopt, false};
    if (std::string(name) == kDeviceAttachedNotification) {
        notification.userInfo = platform::PropertyList(platform::PropertyList::Dictionary{
            {kIsTarnKey, platform::PropertyList::MakeBoolean(isTarn)}});
    }
    sd_bus_message* signal = nullptr;
    sd_bus_message_new_signal(fAgent, &signal, platform::kNotificationsPath,
                              platform::kNotificationsInterface, platform::kNotificationSignal);
    const bool sent = platform::AppendNotification(signal, notification) >= 0 &&
                      sd_bus_send(fAgent, signal, nullptr) >= 0 && sd_bus_flush(fAgent) >= 0;
    sd_bus_message_unref(signal);
    return sent;
}

bool PaneOnDisplay::Ended(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (fHost->IsRunning()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

std::filesystem::path PaneOnDisplay::SettingsFile() const {
    return fHome.Path() / ".local/share/Halvorin/OrvandelSettings.xml";
}

std::filesystem::path PaneOnDisplay::HintChoicesFile() const {
    return fHome.Path() / ".config/com.halvorin.prefpane.Orvandel.json";
}
