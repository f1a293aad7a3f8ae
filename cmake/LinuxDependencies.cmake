# The Linux system libraries behind the real backends, as imported targets:
# PkgConfig::SYSTEMD (sd-bus, sd-login), PkgConfig::EVDEV, PkgConfig::UDEV, and
# PkgConfig::UMOCKDEV for the device-free tests.
find_package(PkgConfig REQUIRED)
pkg_check_modules(SYSTEMD REQUIRED IMPORTED_TARGET libsystemd)
pkg_check_modules(EVDEV REQUIRED IMPORTED_TARGET libevdev)
pkg_check_modules(UDEV REQUIRED IMPORTED_TARGET libudev)
if(HALVORIN_TESTS)
  pkg_check_modules(UMOCKDEV REQUIRED IMPORTED_TARGET umockdev-1.0)
endif()
