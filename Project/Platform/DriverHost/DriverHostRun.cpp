#include "DriverHostRun.h"

#include <malloc.h>
#include <systemd/sd-bus.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "BusLoop.h"
#include "BusService.h"
#include "Logging.h"
#include "OSKext.h"
#include "OrvandelDriver.h"
#include "PostedEvents.h"
#include "VendorIdSetting.h"

namespace platform {
namespace {

int Fail(const std::string& what, int error) {
    SystemLog(what + ": " + std::strerror(error));
    return 1;
}

// The system bus, as sd_bus_open_system opens it, but taking no file
// descriptors: the host's calls have none, and descriptors sent to it would
// only count against its limit.
int OpenSystemBus(sd_bus** bus) {
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    int status = sd_bus_new(bus);
    if (status >= 0) {
        status = sd_bus_set_address(
            *bus, address != nullptr ? address : "unix:path=/run/dbus/system_bus_socket");
    }
    if (status >= 0) {
        status = sd_bus_set_bus_client(*bus, 1);
    }
    if (status >= 0) {
        status = sd_bus_negotiate_fds(*bus, 0);
    }
    if (status >= 0) {
        status = sd_bus_start(*bus);
    }
    if (status < 0) {
        *bus = sd_bus_unref(*bus);
    }
    return status;
}

}  // namespace

int RunDriverHost(const DriverHostDevices& devices) {
    // A call may be as large as the bus allows (32 MiB on the system bus),
    // and any local user may send one: such buffers are mapped on their own
    // and given back when freed, instead of growing the heap for good (the
    // default threshold follows the largest block freed so far).
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024);

    // Both threads leave the termination signals to the bus loop.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    if (OSKext::load(kOrvandelDriverModule) != kIOReturnSuccess) {
        SystemLog("Cannot load the driver module");
        return 1;
    }
    AccelerationGains gains;
    HostMessageQueue messages;
    PostedEvents posted(devices.keyboard.Descriptor());

    sd_bus* bus = nullptr;
    if (const int status = OpenSystemBus(&bus); status < 0) {
        return Fail("Cannot connect to the system bus", -status);
    }
    int status = 0;
    {
        BusService service(bus, messages, gains, posted);
        BusLoop loop(bus, service, messages);
        if ((status = loop.Status()) < 0 || (status = loop.HandleTerminationSignals()) < 0 ||
            (status = service.Start()) < 0) {
            sd_bus_flush_close_unref(bus);
            return Fail("Cannot offer the driver host on the system bus", -status);
        }
        MouseHost mice(gains, messages, devices.pointers);
        bool watching = true;
        std::thread events([&] {
            watching = mice.Run();
            if (!watching) {
                loop.Stop();
            }
        });
        SystemLog("Driver host ready: serving the family's mice of vendor id " +
                  DescribeVendorIdSetting(VendorIdInForce()));
        status = loop.Run();
        mice.Stop();
        events.join();
        // The clients hear of every instance's end before the host goes.
        service.DrainMessages();
        if (!watching) {
            status = -ENODEV;
        }
    }
    sd_bus_flush_close_unref(bus);
    SystemLog("Driver host stopped");
    return status < 0 ? 1 : 0;
}

}  // namespace platform
