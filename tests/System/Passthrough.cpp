// The plain passthrough the driver host's latency is measured against: grabs
// one evdev node and copies every event to a uinput device of the same
// capabilities, nothing else. Usage: Passthrough /dev/input/eventN
#include <fcntl.h>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
    const int node = argc == 2 ? open(argv[1], O_RDONLY | O_CLOEXEC) : -1;
    libevdev* mouse = nullptr;
    libevdev_uinput* copy = nullptr;
    if (node < 0 || libevdev_new_from_fd(node, &mouse) != 0 ||
        libevdev_grab(mouse, LIBEVDEV_GRAB) != 0 ||
        libevdev_uinput_create_from_device(mouse, LIBEVDEV_UINPUT_OPEN_MANAGED, &copy) != 0) {
        std::fprintf(stderr, "Passthrough: cannot pass %s through\n", argc == 2 ? argv[1] : "?");
        return 1;
    }
    std::signal(SIGTERM, [](int) { _exit(0); });
    std::printf("%s\n", libevdev_uinput_get_devnode(copy));
    std::fflush(stdout);
    input_event event;
    for (;;) {
        const int status =
            libevdev_next_event(mouse, LIBEVDEV_READ_FLAG_NORMAL | LIBEVDEV_READ_FLAG_BLOCKING, &event);
        if (status == LIBEVDEV_READ_STATUS_SUCCESS || status == LIBEVDEV_READ_STATUS_SYNC) {
            libevdev_uinput_write_event(copy, event.type, event.code, event.value);
        } else if (status != -EAGAIN) {
            return 0;  // the mouse is gone
        }
    }
}
