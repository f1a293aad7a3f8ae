#include "MouseHost.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "Logging.h"
#include "UinputDevice.h"

namespace platform {

namespace {

class UinputPointer final : public VirtualDevice {
public:
    explicit UinputPointer(std::unique_ptr<UinputDevice> device) : fDevice(std::move(device)) {}
    int Descriptor() const override { return fDevice->Descriptor(); }

private:
    std::unique_ptr<UinputDevice> fDevice;
};

// Tags of the two descriptors that are no mouse.
char gStopTag;
char gDiscoveryTag;

}  // namespace

std::unique_ptr<VirtualDevice> CreateUinputPointer(const std::string& name) {
    auto device = UinputDevice::Create(UinputDevice::Kind::Pointer, "Halvorin virtual pointer",
                                       "pointer/" + name);
    if (device == nullptr) {
        return nullptr;
    }
    return std::make_unique<UinputPointer>(std::move(device));
}

MouseHost::MouseHost(const AccelerationGains& gains, HostMessageQueue& messages,
                     VirtualPointerFactory pointers)
    : fGains(gains),
      fMessages(messages),
      fPointers(std::move(pointers)),
      fEpoll(epoll_create1(EPOLL_CLOEXEC)),
      fStop(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

MouseHost::~MouseHost() {
    close(fStop);
    close(fEpoll);
}

void MouseHost::Stop() {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(fStop, &one, sizeof one);
}

void MouseHost::Watch(int descriptor, void* tag) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.ptr = tag;
    epoll_ctl(fEpoll, EPOLL_CTL_ADD, descriptor, &event);
}

bool MouseHost::Run() {
    if (fEpoll < 0 || fStop < 0 || !fDiscovery.IsValid()) {
        SystemLog("Cannot watch for mice: udev or epoll is unavailable");
        return false;
    }
    Watch(fStop, &gStopTag);
    Watch(fDiscovery.Descriptor(), &gDiscoveryTag);
    for (const MouseDiscovery::Node& node : fDiscovery.Enumerate()) {
        Add(node);
    }
    bool running = true;
    while (running) {
        std::array<epoll_event, 8> ready;
        const int count = epoll_wait(fEpoll, ready.data(), ready.size(), -1);
        if (count < 0 && errno != EINTR) {
            SystemLog(std::string("Waiting for mouse events failed: ") + std::strerror(errno));
            break;
        }
        for (int i = 0; i < count; ++i) {
            void* tag = ready[i].data.ptr;
            if (tag == &gStopTag) {
                running = false;
            } else if (tag == &gDiscoveryTag) {
                while (auto change = fDiscovery.Receive()) {
                    if (change->added) {
                        Add(change->node);
                    } else {
                        Remove(change->node.syspath, "unplugged");
                    }
                }
            } else if (auto* mouse = static_cast<Mouse*>(tag); mouse->device != nullptr) {
                Serve(*mouse);
            }
        }
        fRetired.clear();
    }
    while (!fMice.empty()) {
        Remove(fMice.begin()->second->node.syspath, "host stopping");
    }
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
    auto mouse = std::make_unique<Mouse>(Mouse{node, std::move(device), nullptr, nullptr});
    Watch(mouse->device->Descriptor(), mouse.get());
    Mouse& added = *mouse;
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
        epoll_ctl(fEpoll, EPOLL_CTL_DEL, mouse.device->Descriptor(), nullptr);
        // The instance lets go of its buttons before the devices close.
        mouse.instance.reset();
        mouse.pointer.reset();
        mouse.device.reset();
        SystemLog("Mouse " + mouse.node.devnode + " released (" + why + ")");
        // Other events of the same wait may still name it.
        fRetired.push_back(std::move(it->second));
        fMice.erase(it);
        return;
    }
}

}  // namespace platform
