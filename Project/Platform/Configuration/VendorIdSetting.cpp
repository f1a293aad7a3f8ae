#include "VendorIdSetting.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "Logging.h"

namespace platform {

const std::uint32_t kBuildVendorId = HALVORIN_VENDOR_ID;

namespace {

constexpr std::string_view kVendorIdKey = "VendorId";
// A few lines of text; anything larger is not this file.
constexpr std::size_t kMaxFileBytes = 64 * 1024;

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// 1 to 65535, decimal or 0x hexadecimal, nothing around it.
std::optional<std::uint32_t> ParseVendorId(std::string_view text) {
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || error != std::errc{} || stop != end || value == 0 || value > 0xFFFF) {
        return std::nullopt;
    }
    return value;
}

// The whole file when it is a regular file of sensible size; otherwise what
// is wrong with it. A FIFO or a device is never opened for good, so reading
// cannot block the program's start.
struct FileText {
    bool missing = false;
    std::string text;
    std::string problem;
};

FileText ReadSmallFile(const std::string& file) {
    FileText result;
    const int descriptor = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (descriptor < 0) {
        result.missing = errno == ENOENT;
        result.problem = std::string("cannot be read: ") + std::strerror(errno);
        return result;
    }
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        result.problem = "is not a regular file";
    } else {
        char buffer[4096];
        ssize_t count = 0;
        while (result.text.size() <= kMaxFileBytes &&
               (count = read(descriptor, buffer, sizeof buffer)) > 0) {
            result.text.append(buffer, static_cast<std::size_t>(count));
        }
        if (count < 0) {
            result.problem = std::string("cannot be read: ") + std::strerror(errno);
        } else if (result.text.size() > kMaxFileBytes) {
            result.problem = "is larger than " + std::to_string(kMaxFileBytes) + " bytes";
        }
    }
    close(descriptor);
    return result;
}

VendorIdSetting Refuse(const std::string& file, const std::string& where,
                       const std::string& problem) {
    SystemLog(file + where + ": " + problem + "; using the build's vendor id " +
              VendorIdText(kBuildVendorId) + " (" + std::to_string(kBuildVendorId) + ")");
    return VendorIdSetting{};
}

VendorIdSetting& InForce() {
    static VendorIdSetting setting;
    return setting;
}

}  // namespace

VendorIdSetting ReadVendorIdSetting(const std::string& file) {
    FileText contents = ReadSmallFile(file);
    if (contents.missing) {
        return VendorIdSetting{};
    }
    if (!contents.problem.empty()) {
        return Refuse(file, "", contents.problem);
    }
    std::optional<VendorIdSetting> found;
    std::size_t foundOn = 0;
    std::string_view rest = contents.text;
    for (std::size_t number = 1; !rest.empty(); ++number) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        const std::string_view line = Trim(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
        const std::string where = ": line " + std::to_string(number);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || line.find('\0') != std::string_view::npos) {
            return Refuse(file, where, "not a Key=Value line");
        }
        const std::string_view key = Trim(line.substr(0, equals));
        const std::string_view value = Trim(line.substr(equals + 1));
        if (key != kVendorIdKey) {
            return Refuse(file, where,
                          "unknown setting '" + std::string(key) + "' (the setting is VendorId)");
        }
        if (found) {
            return Refuse(file, where,
                          "VendorId set again (first on line " + std::to_string(foundOn) + ")");
        }
        const auto vendorId = ParseVendorId(value);
        if (!vendorId) {
            return Refuse(file, where,
                          "VendorId '" + std::string(value) +
                              "' is not a USB vendor id (1 to 65535, or 0x0001 to 0xffff)");
        }
        found = VendorIdSetting{*vendorId, file};
        foundOn = number;
    }
    return found.value_or(VendorIdSetting{});
}

const VendorIdSetting& VendorIdInForce() {
    return InForce();
}

void PutVendorIdInForce(const VendorIdSetting& setting) {
    InForce() = setting;
}

std::string VendorIdText(std::uint32_t vendorId) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04x", vendorId);
    return text;
}

std::string DescribeVendorIdSetting(const VendorIdSetting& setting) {
    return VendorIdText(setting.value) + " (" + std::to_string(setting.value) +
           (setting.IsBuildDefault() ? ", the build's default)" : ", from " + setting.file + ")");
}

}  // namespace platform
