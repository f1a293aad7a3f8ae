// halvorin-driverd: the driver host. Serves the family's mice with the driver
// class on the event thread and offers the instances and the HID system on
// the system bus from the main thread. Started by systemd (Type=dbus) when
// udev sees a mouse of the family, or by bus activation.
#include <cerrno>
#include <cstring>

#include "DriverHostRun.h"
#include "Logging.h"
#include "VendorIdSetting.h"

using namespace platform;

int main() {
    InstallLogBackend(std::make_unique<LinuxLogBackend>());
    PutVendorIdInForce(ReadVendorIdSetting(kSystemConfigurationFile));
    auto keyboard =
        UinputDevice::Create(UinputDevice::Kind::Keyboard, "Halvorin virtual keyboard", "keyboard");
    if (keyboard == nullptr) {
        SystemLog(
            std::string("Cannot create the virtual keyboard (is the uinput module loaded?): ") +
            std::strerror(errno));
        return 1;
    }
    return RunDriverHost({*keyboard, CreateUinputPointer});
}
