#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "AccelerationGain.h"
#include "DriverInstance.h"
#include "EpollRunLoopBackend.h"
#include "HostMessageQueue.h"
#include "MouseDiscovery.h"
#include "MouseNode.h"
#include "UinputDevice.h"

namespace platform {

// Makes the virtual pointer of a new instance; null when that fails.
using VirtualPointerFactory =
    std::function<std::unique_ptr<VirtualDevice>(const std::string& name)>;
// The real one: uinput.
std::unique_ptr<VirtualDevice> CreateUinputPointer(const std::string& name);

// The event side of the host, on a thread of its own: discovers the mice,
// waits until no button is down, grabs each, hosts one driver instance per
// USB device and feeds it. Runs a run loop of its own on the epoll backend,
// which sleeps without wake-ups while the mice are idle.
class MouseHost {
public:
    MouseHost(const AccelerationGains& gains, HostMessageQueue& messages,
              VirtualPointerFactory pointers);
    ~MouseHost();
    MouseHost(const MouseHost&) = delete;
    MouseHost& operator=(const MouseHost&) = delete;

    // Serves until Stop; ends every instance before returning. False when
    // device discovery could not be set up.
    bool Run();
    // From any thread.
    void Stop();

private:
    struct Mouse {
        MouseDiscovery::Node node;
        std::unique_ptr<MouseNode> device;
        std::unique_ptr<VirtualDevice> pointer;
        std::unique_ptr<DriverInstance> instance;
        WatchId watch;
    };

    void Add(const MouseDiscovery::Node& node);
    void Remove(const std::string& syspath, const char* why);
    void Serve(Mouse& mouse);
    bool StartInstance(Mouse& mouse);

    const AccelerationGains& fGains;
    HostMessageQueue& fMessages;
    VirtualPointerFactory fPointers;
    MouseDiscovery fDiscovery;
    std::map<std::string, std::unique_ptr<Mouse>> fMice;  // by USB device
    EpollRunLoopBackend fBackend;
    RunLoop fLoop;
    int fStop = -1;
};

}  // namespace platform
