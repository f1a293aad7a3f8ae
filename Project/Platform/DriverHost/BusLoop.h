#pragma once

struct sd_bus;
struct sd_event;
struct sd_event_source;

namespace platform {

class BusService;
class HostMessageQueue;

// The bus side's loop (libsystemd's sd-event, which drives sd-bus): bus
// traffic, the event side's message queue, and a stop request from any
// thread. Idle, it sleeps in epoll_wait.
class BusLoop {
public:
    BusLoop(sd_bus* bus, BusService& service, HostMessageQueue& messages);
    ~BusLoop();
    BusLoop(const BusLoop&) = delete;
    BusLoop& operator=(const BusLoop&) = delete;

    // Negative errno when the loop could not be set up.
    int Status() const { return fStatus; }
    // Ends also on SIGTERM and SIGINT (which the caller blocked beforehand).
    int HandleTerminationSignals();
    // Serves until Stop or a handled signal.
    int Run();
    // From any thread.
    void Stop();

private:
    sd_bus* fBus;
    sd_event* fLoop = nullptr;
    int fStop = -1;
    int fStatus = 0;
};

}  // namespace platform
