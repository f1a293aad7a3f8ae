// The driver host as halvorin-driverd assembles it, with its virtual keyboard
// and every virtual pointer on descriptors the test hands down (sockets it
// reads) instead of uinput: TestBedDriverHost <keyboard fd> <pointer fd>.
#include <cstdlib>
#include <memory>

#include "DriverHostRun.h"
#include "Logging.h"

namespace {

class InheritedDescriptor final : public platform::VirtualDevice {
public:
    explicit InheritedDescriptor(int descriptor) : fDescriptor(descriptor) {}
    int Descriptor() const override { return fDescriptor; }

private:
    int fDescriptor;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return 2;
    }
    platform::InstallLogBackend(std::make_unique<platform::LinuxLogBackend>());
    InheritedDescriptor keyboard(std::atoi(argv[1]));
    const int pointer = std::atoi(argv[2]);
    return platform::RunDriverHost({keyboard, [pointer](const std::string&) {
                                        return std::make_unique<InheritedDescriptor>(pointer);
                                    }});
}
