#include "FakeMouse.h"

#include <linux/input.h>

#include <fstream>
#include <vector>

namespace {

std::string Hex(const std::vector<unsigned char>& data) {
    std::string hex;
    for (unsigned char byte : data) {
        hex += "0123456789ABCDEF"[byte >> 4];
        hex += "0123456789ABCDEF"[byte & 15];
    }
    return hex;
}

std::string Bits(std::initializer_list<int> bits, std::size_t bytes) {
    std::vector<unsigned char> data(bytes);
    for (int bit : bits) {
        data[bit / 8] |= static_cast<unsigned char>(1U << (bit % 8));
    }
    return Hex(data);
}

// A string as libevdev reads it: into a 256-byte buffer, its last byte kept for the end.
std::string Text(const std::string& text) {
    std::vector<unsigned char> data(255);
    std::copy(text.begin(), text.end(), data.begin());
    return Hex(data);
}

// What libevdev asks of a five-button wheel mouse, with the buttons given held.
std::string MouseIoctls(std::initializer_list<int> held) {
    const std::string none8 = Bits({}, 8);
    std::string ioctls = "EVIOCGVERSION 0 01000100\nEVIOCGID 0 0300F0FF92010001\n";
    ioctls += "EVIOCGNAME(0) 11 " + Text("Test Mouse") + "\n";
    ioctls += "EVIOCGPHYS(0) 13 " + Text("usb-1/input0") + "\n";
    ioctls += "EVIOCGUNIQ(0) 1 " + Text("") + "\n";
    ioctls += "EVIOCGBIT(0) 8 " + Bits({EV_SYN, EV_KEY, EV_REL}, 8) + "\n";
    ioctls += "EVIOCGBIT(1) 96 " +
              Bits({BTN_LEFT, BTN_RIGHT, BTN_MIDDLE, BTN_SIDE, BTN_EXTRA}, 96) + "\n";
    ioctls += "EVIOCGBIT(2) 8 " + Bits({REL_X, REL_Y, REL_WHEEL, REL_HWHEEL}, 8) + "\n";
    for (int type : {3, 4, 5, 17, 18}) {
        ioctls += "EVIOCGBIT(" + std::to_string(type) + ") 8 " + none8 + "\n";
    }
    ioctls += "EVIOCGBIT(21) 16 " + Bits({}, 16) + "\n";
    ioctls += "EVIOCGPROP(0) 8 " + Bits({INPUT_PROP_POINTER}, 8) + "\n";
    ioctls += "EVIOCGKEY(0) 96 " + Bits(held, 96) + "\n";
    ioctls += "EVIOCGLED(0) 8 " + none8 + "\nEVIOCGSW(0) 8 " + none8 + "\n";
    return ioctls;
}

}  // namespace

std::string AddFakeMouse(UMockdevTestbed* testbed, int n, const char* vendor, const char* product,
                         std::initializer_list<int> held, const std::string& events) {
    const std::string number = std::to_string(n);
    const std::string usb = "/devices/usb1/1-" + number;
    const std::string input = usb + "/1-" + number + ":1.0/input/input" + number;
    const std::string node = "event" + number;
    const std::string tree =
        "P: " + usb + "\nE: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nA: idVendor=" + vendor +
        "\nA: idProduct=" + product + "\n\nP: " + input +
        "\nE: SUBSYSTEM=input\nA: name=Test Mouse\nA: phys=usb-1/input0\n\nP: " + input + "/" +
        node + "\nN: input/" + node + "\nE: DEVNAME=/dev/input/" + node +
        "\nE: SUBSYSTEM=input\nA: dev=13:" + std::to_string(64 + n) + "\n";
    GError* error = nullptr;
    gchar* root = umockdev_testbed_get_root_dir(testbed);
    const std::string directory = root;
    g_free(root);
    const std::string devnode = "/dev/input/" + node;
    const std::string ioctls = directory + "/" + node + ".ioctl";
    const std::string recording = directory + "/" + node + ".events";
    // The test bed's folder holds files only once a device is in it.
    if (!umockdev_testbed_add_from_string(testbed, tree.c_str(), &error)) {
        g_error_free(error);
        return {};
    }
    std::ofstream(ioctls) << MouseIoctls(held);
    std::ofstream(recording) << events;
    const bool added =
        umockdev_testbed_load_ioctl(testbed, devnode.c_str(), ioctls.c_str(), &error) &&
        (events.empty() ||
         umockdev_testbed_load_evemu_events(testbed, devnode.c_str(), recording.c_str(), &error));
    if (error != nullptr) {
        g_printerr("fake mouse: %s\n", error->message);
        g_error_free(error);
    }
    return added ? "/sys" + input + "/" + node : std::string();
}
