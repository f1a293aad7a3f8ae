#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <optional>
#include <utility>

struct sd_bus;
struct sd_event_source;

namespace platform {

// Refused calls, told to the system log in one line a second at most, with
// counts per user: any local user can make the host refuse as fast as the
// bus carries its calls, and the journal must not fill with them.
class RefusalLog {
public:
    enum class Reason { NotAuthorised, OverLimits, TooFast };

    explicit RefusalLog(sd_bus* bus) : fBus(bus) {}
    ~RefusalLog();
    RefusalLog(const RefusalLog&) = delete;
    RefusalLog& operator=(const RefusalLog&) = delete;

    // The uid when the bus has told it.
    void Count(std::optional<uid_t> uid, Reason reason);

private:
    // Users named in one line; the rest are summed up.
    static constexpr std::size_t kUsersNamed = 4;
    static int TimeUp(sd_event_source* source, std::uint64_t usec, void* self);
    void Write();

    sd_bus* fBus;
    std::map<std::pair<std::int64_t, Reason>, std::uint64_t> fCounts;
    std::uint64_t fOthers = 0;
    sd_event_source* fTimer = nullptr;
};

}  // namespace platform
