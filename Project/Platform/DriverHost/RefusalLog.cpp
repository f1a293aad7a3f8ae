#include "RefusalLog.h"

#include <systemd/sd-bus.h>
#include <systemd/sd-event.h>

#include <string>

#include "Logging.h"

namespace platform {
namespace {

constexpr std::uint64_t kInterval = 1'000'000;  // µs

const char* Describe(RefusalLog::Reason reason) {
    switch (reason) {
        case RefusalLog::Reason::NotAuthorised:
            return "not authorised";
        case RefusalLog::Reason::OverLimits:
            return "over the limits of waiting work";
        case RefusalLog::Reason::TooFast:
            return "pressing too fast";
    }
    return "";
}

}  // namespace

RefusalLog::~RefusalLog() {
    if (fTimer != nullptr) {
        sd_event_source_disable_unref(fTimer);
        Write();
    }
}

void RefusalLog::Count(std::optional<uid_t> uid, Reason reason) {
    const std::pair<std::int64_t, Reason> key{uid ? std::int64_t{*uid} : -1, reason};
    if (auto found = fCounts.find(key); found != fCounts.end()) {
        ++found->second;
    } else if (fCounts.size() < kUsersNamed) {
        fCounts.emplace(key, 1);
    } else {
        ++fOthers;
    }
    if (fTimer != nullptr) {
        return;
    }
    sd_event* loop = sd_bus_get_event(fBus);
    if (loop == nullptr || sd_event_add_time_relative(loop, &fTimer, CLOCK_MONOTONIC, kInterval, 0,
                                                      &RefusalLog::TimeUp, this) < 0) {
        fTimer = nullptr;
        Write();
    }
}

int RefusalLog::TimeUp(sd_event_source* source, std::uint64_t, void* self) {
    auto* log = static_cast<RefusalLog*>(self);
    sd_event_source_unref(source);
    log->fTimer = nullptr;
    log->Write();
    return 0;
}

void RefusalLog::Write() {
    std::uint64_t total = fOthers;
    std::string details;
    for (const auto& [key, count] : fCounts) {
        total += count;
        details +=
            (details.empty() ? "" : "; ") + std::to_string(count) + " from " +
            (key.first < 0 ? std::string("an unknown uid") : "uid " + std::to_string(key.first)) +
            ", " + Describe(key.second);
    }
    if (fOthers != 0) {
        details += "; " + std::to_string(fOthers) + " more";
    }
    if (total != 0) {
        SystemLog("Refused " + std::to_string(total) + " calls: " + details);
    }
    fCounts.clear();
    fOthers = 0;
}

}  // namespace platform
