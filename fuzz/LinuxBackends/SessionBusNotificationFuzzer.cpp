// Raw D-Bus messages of the notification channel's path, interface and
// member, with the signature and body taken from the input, written onto a
// connection as another process of the session would: whatever arrives must
// be decoded or refused without a crash.
//
// Input: one byte n, then n bytes of body signature, then the body.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "BusConnection.h"
#include "SessionBusNotifications.h"

namespace {

void Pad(std::string& out, std::size_t alignment) {
    while (out.size() % alignment != 0) {
        out.push_back('\0');
    }
}

void AppendU32(std::string& out, std::uint32_t value) {
    Pad(out, 4);
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
    }
}

// One header field holding a string-like value of type 'o', 's' or 'g'.
void AppendField(std::string& out, char code, char type, std::string_view value) {
    Pad(out, 8);
    out.push_back(code);
    out.push_back('\1');
    out.push_back(type);
    out.push_back('\0');
    if (type == 'g') {
        out.push_back(static_cast<char>(value.size()));
    } else {
        AppendU32(out, static_cast<std::uint32_t>(value.size()));
    }
    out.append(value);
    out.push_back('\0');
}

std::string Message(std::string_view signature, std::string_view body) {
    std::string fields;
    fields.reserve(128);
    // Offsets count from the message start, where the fields begin at 16.
    std::string header(16, '\0');
    AppendField(header, 1, 'o', platform::kNotificationsPath);
    AppendField(header, 2, 's', platform::kNotificationsInterface);
    AppendField(header, 3, 's', platform::kNotificationSignal);
    if (!signature.empty()) {
        AppendField(header, 8, 'g', signature);
    }
    const auto fieldsLength = static_cast<std::uint32_t>(header.size() - 16);
    Pad(header, 8);
    std::string start;
    start.push_back('l');
    start.push_back('\4');
    start.push_back('\0');
    start.push_back('\1');
    AppendU32(start, static_cast<std::uint32_t>(body.size()));
    AppendU32(start, 1);
    AppendU32(start, fieldsLength);
    header.replace(0, 16, start);
    header.append(body);
    return header;
}

int Received(sd_bus_message* message, void*, sd_bus_error*) {
    platform::ReadNotification(message);
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t signatureLength = std::min<std::size_t>(data[0], size - 1);
    const std::string_view signature(reinterpret_cast<const char*>(data + 1), signatureLength);
    const std::string_view body(reinterpret_cast<const char*>(data + 1 + signatureLength),
                                size - 1 - signatureLength);
    if (signature.find('\0') != std::string_view::npos) {
        return 0;
    }

    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) != 0) {
        return 0;
    }
    sd_bus* poster = nullptr;
    sd_bus* listener = nullptr;
    sd_id128_t id{};
    sd_id128_randomize(&id);
    sd_bus_new(&poster);
    sd_bus_set_fd(poster, ends[0], ends[0]);
    sd_bus_set_anonymous(poster, 1);
    sd_bus_new(&listener);
    sd_bus_set_fd(listener, ends[1], ends[1]);
    sd_bus_set_server(listener, 1, id);
    sd_bus_set_anonymous(listener, 1);
    sd_bus_add_filter(listener, nullptr, Received, nullptr);
    if (sd_bus_start(poster) >= 0 && sd_bus_start(listener) >= 0) {
        // The handshake, then the raw message, as the poster's next bytes.
        for (int i = 0; i < 8; ++i) {
            sd_bus_process(poster, nullptr);
            sd_bus_process(listener, nullptr);
        }
        const std::string message = Message(signature, body);
        if (write(ends[0], message.data(), message.size()) > 0) {
            for (int i = 0; i < 4 && sd_bus_process(listener, nullptr) > 0; ++i) {
            }
        }
    }
    sd_bus_close_unref(poster);
    sd_bus_close_unref(listener);
    return 0;
}
