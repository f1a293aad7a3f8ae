#include "Power.h"

#include <utility>

#include "Handles.h"
#include "NotificationPort.h"

namespace platform {
namespace {

std::unique_ptr<PowerBackend>& Backend() {
    static std::unique_ptr<PowerBackend> backend;
    return backend;
}

// The root power domain connection handed out by the registration.
class RootDomainObject final : public ConnectionObject {};

// The registration: while it lives, messages go to the port. Released by
// IODeregisterForSystemPower.
class PowerNotifierObject final : public UserObject {
public:
    explicit PowerNotifierObject(std::shared_ptr<bool> alive) : fAlive(std::move(alive)) {}
    void LastReferenceDropped() override {
        *fAlive = false;
        if (Backend()) {
            Backend()->Deregister();
        }
    }

private:
    std::shared_ptr<bool> fAlive;
};

}  // namespace

io_connect_t IORegisterForSystemPower(void* refcon, IONotificationPortRef* thePortRef,
                                      IOServiceInterestCallback callback, io_object_t* notifier) {
    if (!Backend() || thePortRef == nullptr || callback == nullptr || notifier == nullptr) {
        return MACH_PORT_NULL;
    }
    IONotificationPortRef port = IONotificationPortCreate(kIOMasterPortDefault);
    std::weak_ptr<IONotificationPort> weakPort = FindNotificationPort(port);
    auto alive = std::make_shared<bool>(true);
    io_connect_t root = AddUserObject(std::make_shared<RootDomainObject>());
    bool registered = Backend()->Register(
        [weakPort, alive, refcon, callback, root](natural_t messageType, std::intptr_t id) {
            std::shared_ptr<IONotificationPort> target = weakPort.lock();
            if (!*alive || !target) {
                return;
            }
            target->Deliver([alive, refcon, callback, root, messageType, id] {
                if (*alive) {
                    callback(refcon, root, messageType, reinterpret_cast<void*>(id));
                }
            });
        });
    if (!registered) {
        IOObjectRelease(root);
        IONotificationPortDestroy(port);
        return MACH_PORT_NULL;
    }
    *thePortRef = port;
    *notifier = AddUserObject(std::make_shared<PowerNotifierObject>(alive));
    return root;
}

IOReturn IODeregisterForSystemPower(io_object_t* notifier) {
    if (notifier == nullptr ||
        !std::dynamic_pointer_cast<PowerNotifierObject>(LookupUserObject(*notifier))) {
        return kIOReturnBadArgument;
    }
    IOObjectRelease(*notifier);
    *notifier = 0;
    return kIOReturnSuccess;
}

IOReturn IOAllowPowerChange(io_connect_t kernelPort, std::intptr_t notificationID) {
    auto root = std::dynamic_pointer_cast<RootDomainObject>(LookupUserObject(kernelPort));
    if (!root || !root->IsOpen()) {
        return MACH_SEND_INVALID_DEST;
    }
    return Backend() ? Backend()->AllowPowerChange(notificationID) : kIOReturnNotAttached;
}

std::unique_ptr<PowerBackend> InstallPowerBackend(std::unique_ptr<PowerBackend> backend) {
    return std::exchange(Backend(), std::move(backend));
}

}  // namespace platform
