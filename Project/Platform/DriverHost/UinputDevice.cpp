#include "UinputDevice.h"

#include <fcntl.h>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

constexpr int kVirtualVendor = 0x0000;
constexpr int kPointerProduct = 0x4801;
constexpr int kKeyboardProduct = 0x4802;

void EnablePointer(libevdev* device, int lastButton) {
    for (unsigned code :
         {REL_X, REL_Y, REL_WHEEL, REL_HWHEEL, REL_WHEEL_HI_RES, REL_HWHEEL_HI_RES}) {
        libevdev_enable_event_code(device, EV_REL, code, nullptr);
    }
    for (int code = BTN_LEFT; code <= lastButton; ++code) {
        libevdev_enable_event_code(device, EV_KEY, static_cast<unsigned>(code), nullptr);
    }
    libevdev_enable_property(device, INPUT_PROP_POINTER);
}

}  // namespace

std::unique_ptr<UinputDevice> UinputDevice::Create(Kind kind, const std::string& name,
                                                   const std::string& physSuffix) {
    libevdev* description = libevdev_new();
    if (description == nullptr) {
        errno = ENOMEM;
        return nullptr;
    }
    libevdev_set_name(description, name.c_str());
    libevdev_set_id_bustype(description, BUS_VIRTUAL);
    libevdev_set_id_vendor(description, kVirtualVendor);
    if (kind == Kind::Pointer) {
        libevdev_set_id_product(description, kPointerProduct);
        EnablePointer(description, BTN_EXTRA);
    } else {
        libevdev_set_id_product(description, kKeyboardProduct);
        for (unsigned code = KEY_ESC; code < BTN_MISC; ++code) {
            libevdev_enable_event_code(description, EV_KEY, code, nullptr);
        }
        EnablePointer(description, BTN_MIDDLE);
    }
    // libevdev never hands the phys to the kernel, so the node is opened here
    // and given its phys before libevdev creates the device on it.
    const int node = open("/dev/uinput", O_RDWR | O_CLOEXEC);
    const std::string phys = kVirtualPhysPrefix + physSuffix;
    libevdev_uinput* device = nullptr;
    int status = node < 0 ? -errno : 0;
    if (status == 0 && ioctl(node, UI_SET_PHYS, phys.c_str()) < 0) {
        status = -errno;
    }
    if (status == 0) {
        status = libevdev_uinput_create_from_device(description, node, &device);
    }
    libevdev_free(description);
    if (status != 0) {
        if (node >= 0) {
            close(node);
        }
        errno = -status;
        return nullptr;
    }
    return std::unique_ptr<UinputDevice>(new UinputDevice(device, node));
}

UinputDevice::~UinputDevice() {
    libevdev_uinput_destroy(fDevice);
    close(fNode);
}

int UinputDevice::Descriptor() const {
    return libevdev_uinput_get_fd(fDevice);
}

}  // namespace platform
