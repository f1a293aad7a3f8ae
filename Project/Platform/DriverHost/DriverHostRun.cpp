#include "DriverHostRun.h"

#include <systemd/sd-bus.h>

#include <csignal>
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

}  // namespace

int RunDriverHost(const DriverHostDevices& devices) {
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
    if (const int status = sd_bus_open_system(&bus); status < 0) {
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
