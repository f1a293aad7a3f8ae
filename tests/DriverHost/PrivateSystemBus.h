#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct sd_bus;

namespace bustest {

// A dbus-daemon of the test's own, standing in for the system bus: it reads
// the host's bus policy, and sd_bus_open_system reaches it (through
// DBUS_SYSTEM_BUS_ADDRESS) for as long as it lives. Mock system daemons
// (python3-dbusmock templates) run on it. Every child is killed at the end.
class PrivateSystemBus {
public:
    explicit PrivateSystemBus(const std::string& policyFile);
    ~PrivateSystemBus();
    PrivateSystemBus(const PrivateSystemBus&) = delete;
    PrivateSystemBus& operator=(const PrivateSystemBus&) = delete;

    bool IsUp() const { return fUp; }
    // Starts dbusmock's template and waits until it owns busName.
    pid_t StartMock(const std::string& templateName, const std::string& busName);
    void StopMock(pid_t mock);
    // A new client connection to the bus; the caller closes it.
    static sd_bus* Connect();
    static bool WaitForName(sd_bus* bus, const std::string& name, bool present);

private:
    pid_t Spawn(const std::vector<std::string>& arguments);

    std::string fDirectory;
    std::vector<pid_t> fChildren;
    bool fUp = false;
};

}  // namespace bustest
