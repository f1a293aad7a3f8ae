#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The machine's configuration, read by the driver host and by the agent when
// they start. Fixed here; tests read other files through ReadVendorIdSetting.
inline constexpr char kSystemConfigurationFile[] = "/etc/halvorin/halvorin.conf";

// The vendor id the suite was built for, in force unless the configuration
// names another.
extern const std::uint32_t kBuildVendorId;

// The USB vendor id of the mouse family, and where it came from.
struct VendorIdSetting {
    std::uint32_t value = kBuildVendorId;
    // The configuration file that set it; empty for the build's default.
    std::string file;

    bool IsBuildDefault() const { return file.empty(); }
    bool operator==(const VendorIdSetting&) const = default;
};

// Reads "VendorId=" from a configuration file of Key=Value lines, where blank
// lines and lines starting with # do not count. The value is decimal or
// hexadecimal with 0x, 1 to 65535. No file, or no such line: the build's
// default. Anything else the file holds (a line that is not Key=Value,
// another key, a value out of form, the key twice, a file that is not a small
// regular file) is logged in one line naming the file and the line, and the
// build's default holds.
VendorIdSetting ReadVendorIdSetting(const std::string& file);

// The setting in force in this process: the build's default until the
// program's start puts the configured one in force, once, before it matches
// any mouse. The driver's personalities and the agent's matching read it.
const VendorIdSetting& VendorIdInForce();
void PutVendorIdInForce(const VendorIdSetting& setting);

// "0x046d", the form lsusb shows.
std::string VendorIdText(std::uint32_t vendorId);
// "0xfff0 (65520, the build's default)" or "0x1234 (4660, from <file>)".
std::string DescribeVendorIdSetting(const VendorIdSetting& setting);

}  // namespace platform
