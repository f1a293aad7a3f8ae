#pragma once

#include <umockdev.h>

#include <initializer_list>
#include <string>

// A five-button wheel USB mouse on umockdev's test bed, as udev and libevdev
// see it: the USB device, its input device and one event node /dev/input/event<n>
// answering libevdev's ioctls, with `held` buttons down at open. `events` is an
// evemu recording played after the open; empty leaves the node to the test
// (umockdev_testbed_get_dev_fd). The event node's syspath; empty on failure.
std::string AddFakeMouse(UMockdevTestbed* testbed, int n, const char* vendor, const char* product,
                         std::initializer_list<int> held, const std::string& events);
