#include "BusLoop.h"

#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <systemd/sd-event.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>

#include "BusService.h"
#include "HostMessageQueue.h"

namespace platform {

namespace {

int QueueReadable(sd_event_source*, int, std::uint32_t, void* userdata) {
    static_cast<BusService*>(userdata)->DrainMessages();
    return 0;
}

int StopRequested(sd_event_source* source, int, std::uint32_t, void*) {
    return sd_event_exit(sd_event_source_get_event(source), 0);
}

}  // namespace

BusLoop::BusLoop(sd_bus* bus, BusService& service, HostMessageQueue& messages)
    : fBus(bus), fStop(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    fStatus = fStop < 0 ? -errno : sd_event_new(&fLoop);
    if (fStatus >= 0) {
        fStatus = sd_bus_attach_event(fBus, fLoop, SD_EVENT_PRIORITY_NORMAL);
    }
    if (fStatus >= 0) {
        fStatus = sd_event_add_io(fLoop, nullptr, messages.Descriptor(), EPOLLIN, QueueReadable,
                                  &service);
    }
    if (fStatus >= 0) {
        fStatus = sd_event_add_io(fLoop, nullptr, fStop, EPOLLIN, StopRequested, nullptr);
    }
}

BusLoop::~BusLoop() {
    if (fLoop != nullptr) {
        sd_bus_detach_event(fBus);
        sd_event_unref(fLoop);
    }
    if (fStop >= 0) {
        close(fStop);
    }
}

int BusLoop::HandleTerminationSignals() {
    int status = sd_event_add_signal(fLoop, nullptr, SIGTERM, nullptr, nullptr);
    if (status >= 0) {
        status = sd_event_add_signal(fLoop, nullptr, SIGINT, nullptr, nullptr);
    }
    return status;
}

int BusLoop::Run() {
    return fStatus < 0 ? fStatus : sd_event_loop(fLoop);
}

void BusLoop::Stop() {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(fStop, &one, sizeof one);
}

}  // namespace platform
