#include "MouseHost.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Logging.h"

namespace platform {

std::unique_ptr<VirtualDevice> CreateUinputPointer(const std::string& name) {
    return UinputDevice::Create(UinputDevice::Kind::Pointer, "Halvorin virtual pointer",
                                "pointer/" + name);
}

MouseHost::MouseHost(const AccelerationGains& gains, HostMessageQueue& messages,
                     VirtualPointerFactory pointers)
    : fGains(gains),
      fMessages(messages),
      fPointers(std::move(pointers)),
      fLoop(fBackend),
      fStop(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

MouseHost::~MouseHost() {
    close(fStop);
}

void MouseHost::Stop() {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(fStop, &one, sizeof one);
}

bool MouseHost::Run() {
    if (!fBackend.IsUsable() || fStop < 0 || !fDiscovery.IsValid()) {
        SystemLog("Cannot watch for mice: udev or epoll is unavailable");
        return false;
    }
    const WatchId stop =
        fLoop.WatchDescriptor(fStop, kDescriptorReadable, [this] { fLoop.Stop(); });
    const WatchId discovery =
        fLoop.WatchDescriptor(fDiscovery.Descriptor(), kDescriptorReadable, [this] {
            while (auto change = fDiscovery.Receive()) {
                if (change->added) {
                    Add(change->node);
                } else {
                    Remove(change->node.syspath, "unplugged");
                }
            }
        });
    for (const MouseDiscovery::Node& node : fDiscovery.Enumerate()) {
        Add(node);
    }
    fLoop.Run();
    while (!fMice.empty()) {
        Remove(fMice.begin()->second->node.syspath, "host stopping");
    }
    fLoop.Unwatch(discovery);
    fLoop.Unwatch(stop);
    return true;
}

void MouseHost::Add(const MouseDiscovery::Node& node) {
    if (fMice.contains(node.usbSyspath)) {
        return;  // one instance per USB device: its first pointer node
    }
    auto device = MouseNode::Open(node.devnode);
    if (device == nullptr) {
        return;
    }
    auto mouse = std::make_unique<Mouse>(Mouse{node, std::move(device), nullptr, nullptr, 0});
    Mouse& added = *mouse;
    // A mouse removed from inside its own callback is not touched after.
    added.watch = fLoop.WatchDescriptor(added.device->Descriptor(), kDescriptorReadable,
                                        [this, &added] { Serve(added); });
    fMice.emplace(node.usbSyspath, std::move(mouse));
    SystemLog("Mouse " + node.devnode + " found (product " + std::to_string(node.productId) + ")");
    Serve(added);
}

void MouseHost::Serve(Mouse& mouse) {
    if (!mouse.device->Read(mouse.instance.get())) {
        Remove(mouse.node.syspath, "gone");
        return;
    }
    if (mouse.instance == nullptr && !mouse.device->AnyButtonDown() && !StartInstance(mouse)) {
        Remove(mouse.node.syspath, "left to the system");
    }
}

bool MouseHost::StartInstance(Mouse& mouse) {
    if (!mouse.device->Grab()) {
        SystemLog("Mouse " + mouse.node.devnode + " is held by another program");
        return false;
    }
    const std::string name = mouse.node.devnode.substr(mouse.node.devnode.rfind('/') + 1);
    mouse.pointer = fPointers(name);
    if (mouse.pointer == nullptr) {
        SystemLog("Cannot create the virtual pointer for " + mouse.node.devnode + ": " +
                  std::strerror(errno));
        return false;
    }
    mouse.instance = DriverInstance::Start(mouse.node.vendorId, mouse.node.productId,
                                           mouse.pointer->Descriptor(), fGains, fMessages);
    if (mouse.instance == nullptr) {
        return false;
    }
    SystemLog("Mouse " + mouse.node.devnode + " served by driver instance " +
              std::to_string(mouse.instance->RegistryId()));
    return true;
}

void MouseHost::Remove(const std::string& syspath, const char* why) {
    for (auto it = fMice.begin(); it != fMice.end(); ++it) {
        Mouse& mouse = *it->second;
        if (mouse.node.syspath != syspath) {
            continue;
        }
        fLoop.Unwatch(mouse.watch);
        // The instance lets go of its buttons before the devices close.
        mouse.instance.reset();
        mouse.pointer.reset();
        SystemLog("Mouse " + mouse.node.devnode + " released (" + why + ")");
        fMice.erase(it);
        return;
    }
}

}  // namespace platform
