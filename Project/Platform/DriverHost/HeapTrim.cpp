#include "HeapTrim.h"

#include <malloc.h>
#include <systemd/sd-bus.h>
#include <systemd/sd-event.h>

namespace platform {
namespace {

constexpr std::uint64_t kDelay = 1'000'000;  // µs

}  // namespace

HeapTrim::~HeapTrim() {
    sd_event_source_disable_unref(fTimer);
}

void HeapTrim::Touch() {
    if (fTimer != nullptr) {
        return;
    }
    if (sd_event* loop = sd_bus_get_event(fBus)) {
        if (sd_event_add_time_relative(loop, &fTimer, CLOCK_MONOTONIC, kDelay, 0, &HeapTrim::TimeUp,
                                       this) < 0) {
            fTimer = nullptr;
        }
    }
}

int HeapTrim::TimeUp(sd_event_source* source, std::uint64_t, void* self) {
    sd_event_source_unref(source);
    static_cast<HeapTrim*>(self)->fTimer = nullptr;
    malloc_trim(0);
    return 0;
}

}  // namespace platform
