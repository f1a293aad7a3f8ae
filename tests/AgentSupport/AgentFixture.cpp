#include "AgentFixture.h"

#include <cstdio>
#include <sstream>

#include "AgentConstants.h"
#include "AgentMain.h"
#include "AgentState.h"
#include "ApplicationSupport.h"
#include "DistributedNotifications.h"
#include "SettingsFile.h"

namespace {

std::string Hex(std::uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

std::string DescribePosted(std::uint32_t type, std::int16_t x, std::int16_t y,
                           std::uint16_t keyCode, std::uint64_t flags) {
    const std::string at = std::to_string(x) + "," + std::to_string(y);
    switch (type) {
        case platform::NX_FLAGSCHANGED:
            return "flags " + Hex(flags);
        case platform::NX_KEYDOWN:
            return "down " + std::to_string(keyCode);
        case platform::NX_KEYUP:
            return "up " + std::to_string(keyCode);
        case platform::NX_LMOUSEDOWN:
            return "lmousedown " + at;
        case platform::NX_LMOUSEUP:
            return "lmouseup " + at;
        default:
            return "event " + std::to_string(type);
    }
}

bool IsAgentNotification(const std::string& name) {
    return name == kDeviceAttachedNotification || name == kNoDevicesAttachedNotification;
}

}  // namespace

std::shared_ptr<const AButtonMapping> Mapping(ButtonMappingType type, std::string macroKeys) {
    return AButtonMapping::initWithType(type, std::move(macroKeys));
}

AgentFixture::AgentFixture() = default;

AgentFixture::~AgentFixture() {
    ResetAgentState();
}

void AgentFixture::StartAgent() {
    ASSERT_TRUE(::StartAgent());
    Settle();
}

void AgentFixture::Settle() {
    machine.Loop().RunUntilIdle();
}

platform::MouseId AgentFixture::Plug(std::int32_t productId, double driverDelay) {
    const platform::MouseId mouse = machine.PlugMouse(productId, driverDelay);
    Settle();
    return mouse;
}

void AgentFixture::Unplug(platform::MouseId mouse) {
    machine.UnplugMouse(mouse);
    Settle();
}

void AgentFixture::Press(platform::MouseId mouse, std::uint32_t buttons) {
    machine.MoveMouse(mouse, 0, 0, buttons);
    Settle();
}

void AgentFixture::Type(std::uint16_t keyCode) {
    machine.TypeKey(keyCode);
    Settle();
}

void AgentFixture::SendSettings(const ADeviceSettings& settings) {
    const platform::PropertyList dictionary = settings.SettingsAsDict();
    platform::CFNotificationCenterPostNotification(
        platform::CFNotificationCenterGetDistributedCenter(), kPreferencesChangedNotification,
        kPrefChangeObject, &dictionary, true);
    Settle();
}

void AgentFixture::SendSettings(const std::function<void(ADeviceSettings&)>& change) {
    ADeviceSettings settings;
    change(settings);
    SendSettings(settings);
}

void AgentFixture::AnnouncePane() {
    platform::CFNotificationCenterPostNotification(
        platform::CFNotificationCenterGetDistributedCenter(), kPrefPaneStartedNotification,
        kPrefChangeObject, nullptr, true);
    Settle();
}

std::vector<std::string> AgentFixture::TakePostedEvents() {
    const auto posted = machine.HIDSystem().PostedEvents();
    std::vector<std::string> described;
    for (std::size_t i = fPostedSeen; i < posted.size(); ++i) {
        const auto& event = posted[i];
        described.push_back(DescribePosted(event.eventType, event.location.x, event.location.y,
                                           event.eventData.key.keyCode, event.eventFlags));
    }
    fPostedSeen = posted.size();
    return described;
}

std::vector<std::string> AgentFixture::TakeTypedKeyDowns() {
    const auto& delivered = machine.EventStream().Delivered();
    std::vector<std::string> described;
    for (std::size_t i = fDeliveredSeen; i < delivered.size(); ++i) {
        const auto& event = delivered[i];
        if (event.origin == platform::SimulatedEventStream::Origin::Keyboard &&
            event.type == platform::NX_KEYDOWN) {
            described.push_back("key " + std::to_string(event.keyCode) + " " + Hex(event.flags));
        }
    }
    fDeliveredSeen = delivered.size();
    return described;
}

std::vector<std::uint32_t> AgentFixture::TakeDriverMessages() {
    const auto& entries = machine.Log();
    std::vector<std::uint32_t> messages;
    for (std::size_t i = fLogSeen; i < entries.size(); ++i) {
        if (const auto* message = std::get_if<platform::DriverMessage>(&entries[i].detail)) {
            messages.push_back(message->messageType);
        }
    }
    fLogSeen = entries.size();
    return messages;
}

std::vector<std::string> AgentFixture::TakeAgentNotifications() {
    const auto& posted = machine.Notifications().Posted();
    std::vector<std::string> described;
    for (std::size_t i = fNotificationsSeen; i < posted.size(); ++i) {
        if (!IsAgentNotification(posted[i].name)) {
            continue;
        }
        described.push_back(posted[i].name);
        if (posted[i].userInfo) {
            described.back() += ' ';
            described.back() += posted[i].userInfo->Describe();
        }
    }
    fNotificationsSeen = posted.size();
    return described;
}

std::vector<std::string> AgentFixture::TakeSystemLog() {
    using Stream = platform::SimulatedEventStream;
    const auto& entries = machine.Log();
    std::vector<std::string> described;
    for (std::size_t i = fSystemLogSeen; i < entries.size(); ++i) {
        const auto& detail = entries[i].detail;
        if (const auto* message = std::get_if<platform::DriverMessage>(&detail)) {
            described.push_back("message " + Hex(message->messageType));
        } else if (const auto* acceleration = std::get_if<platform::HIDAcceleration>(&detail)) {
            std::ostringstream line;
            line << "acceleration " << acceleration->key << ' ' << acceleration->value;
            described.push_back(line.str());
        } else if (const auto* event = std::get_if<platform::SystemEvent>(&detail)) {
            switch (event->origin) {
                case Stream::Origin::Pointer:
                    described.push_back("pointer " + std::to_string(event->delta1) + "," +
                                        std::to_string(event->delta2) + " " + Hex(event->buttons));
                    break;
                case Stream::Origin::Scroll:
                    described.push_back("scroll " + std::to_string(event->delta1) + "," +
                                        std::to_string(event->delta2) + "," +
                                        std::to_string(event->delta3));
                    break;
                case Stream::Origin::Keyboard:
                    if (event->type == platform::NX_KEYDOWN) {
                        described.push_back("key " + std::to_string(event->keyCode) + " " +
                                            Hex(event->flags));
                    }
                    break;
                case Stream::Origin::Posted:
                    described.push_back(DescribePosted(event->type, event->x, event->y,
                                                       event->keyCode, event->flags));
                    break;
            }
        }
    }
    fSystemLogSeen = entries.size();
    return described;
}

std::vector<std::string> AgentFixture::SystemLogLines() const {
    std::vector<std::string> lines;
    for (const auto& entry : machine.Log()) {
        if (const auto* line = std::get_if<platform::LogLine>(&entry.detail)) {
            if (!line->standardError) {
                lines.push_back(line->text);
            }
        }
    }
    return lines;
}

std::filesystem::path AgentFixture::SettingsFilePath() const {
    return platform::ApplicationSupportFolder() / kSettingsFolderName / kSettingsFileName;
}
