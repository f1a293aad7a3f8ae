#pragma once

#include <cstdint>

struct sd_bus;
struct sd_event_source;

namespace platform {

// Gives the memory a burst of calls took back to the system a second after
// the burst began (a call may be as large as the bus allows, and any local
// user may send them): the bus side's heap goes back to its idle size. It
// wakes nothing while no calls come.
class HeapTrim {
public:
    explicit HeapTrim(sd_bus* bus) : fBus(bus) {}
    ~HeapTrim();
    HeapTrim(const HeapTrim&) = delete;
    HeapTrim& operator=(const HeapTrim&) = delete;

    // A call came.
    void Touch();

private:
    static int TimeUp(sd_event_source* source, std::uint64_t usec, void* self);

    sd_bus* fBus;
    sd_event_source* fTimer = nullptr;
};

}  // namespace platform
