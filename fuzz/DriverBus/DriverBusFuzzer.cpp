// An arbitrary D-Bus value where a property list is expected: any type the
// bus can carry (structs, paths, descriptors aside), nested and sized by the
// input, read the way the driver host reads a peer's argument. Reading must
// never fault; a value it accepts must write and read back unchanged. A bare
// dictionary is also walked as the a{sv} readers of logind's sessions and of
// the host's objects walk it, each entry read as one of their types.

#include <fuzzer/FuzzedDataProvider.h>
#include <sys/socket.h>
#include <systemd/sd-bus.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "BusPropertyList.h"
#include "VariantDictionary.h"

namespace {

constexpr int kMaxSignatureDepth = 12;

// A message needs a bus that counts as open: one end of a socket pair.
sd_bus* TheBus() {
    static sd_bus* bus = [] {
        sd_bus* created = nullptr;
        int pair[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) < 0 ||
            sd_bus_new(&created) < 0 || sd_bus_set_fd(created, pair[0], pair[0]) < 0 ||
            sd_bus_start(created) < 0) {
            std::abort();
        }
        return created;
    }();
    return bus;
}

sd_bus_message* NewMessage() {
    sd_bus_message* message = nullptr;
    if (sd_bus_message_new_method_call(TheBus(), &message, "org.halvorin.Fuzz", "/f",
                                       "org.halvorin.Fuzz", "M") < 0) {
        std::abort();
    }
    return message;
}

bool Seal(sd_bus_message* message) {
    static std::uint64_t cookie = 0;
    return sd_bus_message_seal(message, ++cookie, 0) >= 0 && sd_bus_message_rewind(message, 1) >= 0;
}

// One complete type; dictionary keys of any basic type, not only strings.
std::string BuildSignature(FuzzedDataProvider& input, int depth) {
    static constexpr char kBasic[] = "ynqiuxtbdsog";
    const int pick = input.ConsumeIntegralInRange<int>(0, depth < kMaxSignatureDepth ? 16 : 11);
    if (pick < 12) return std::string(1, kBasic[pick]);
    switch (pick) {
        case 12:
            return "v";
        case 13:
            return "a" + BuildSignature(input, depth + 1);
        case 14:
            return "a{s" + BuildSignature(input, depth + 1) + "}";
        case 15:
            return std::string("a{") + kBasic[input.ConsumeIntegralInRange<int>(0, 11)] +
                   BuildSignature(input, depth + 1) + "}";
        default:
            return "(" + BuildSignature(input, depth + 1) + "s)";
    }
}

int Fill(sd_bus_message* m, FuzzedDataProvider& input, const char* type, int depth);

// Length of the single complete type at the start of `signature`.
std::size_t CompleteTypeLength(const char* signature) {
    std::size_t length = 0;
    while (signature[length] == 'a') ++length;
    if (signature[length] != '(' && signature[length] != '{') return length + 1;
    int open = 0;
    do {
        if (signature[length] == '(' || signature[length] == '{') ++open;
        if (signature[length] == ')' || signature[length] == '}') --open;
        ++length;
    } while (open > 0);
    return length;
}

// Fills the complete types of `signature` one after the other.
int FillAll(sd_bus_message* m, FuzzedDataProvider& input, const std::string& signature, int depth) {
    int r = 0;
    for (std::size_t at = 0; r >= 0 && at < signature.size();) {
        const std::size_t length = CompleteTypeLength(signature.c_str() + at);
        r = Fill(m, input, signature.substr(at, length).c_str(), depth);
        at += length;
    }
    return r;
}

int Fill(sd_bus_message* m, FuzzedDataProvider& input, const char* type, int depth) {
    switch (type[0]) {
        case 's': {
            std::string text = input.ConsumeRandomLengthString(5000);
            text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
            int r = sd_bus_message_append_basic(m, 's', text.c_str());
            // Not UTF-8: the bus would not carry it either.
            return r == -EINVAL ? sd_bus_message_append_basic(m, 's', "") : r;
        }
        case 'o':
            return sd_bus_message_append_basic(m, 'o', "/p");
        case 'g':
            return sd_bus_message_append_basic(m, 'g', "ai");
        case 'v': {
            std::string inner = BuildSignature(input, depth + 1);
            int r = sd_bus_message_open_container(m, 'v', inner.c_str());
            if (r >= 0) r = Fill(m, input, inner.c_str(), depth + 1);
            return r < 0 ? r : sd_bus_message_close_container(m);
        }
        case 'a': {
            const std::string element(type + 1);
            const bool entry = element[0] == '{';
            const std::string inner = entry ? element.substr(1, element.size() - 2) : element;
            int r = sd_bus_message_open_container(m, 'a', element.c_str());
            const unsigned count = input.ConsumeIntegralInRange<unsigned>(0, 300);
            for (unsigned i = 0; r >= 0 && i < count && input.remaining_bytes() > 0; ++i) {
                if (entry) r = sd_bus_message_open_container(m, 'e', inner.c_str());
                if (r >= 0) r = FillAll(m, input, inner, depth + 1);
                if (entry && r >= 0) r = sd_bus_message_close_container(m);
            }
            return r < 0 ? r : sd_bus_message_close_container(m);
        }
        case '(': {
            const std::string inner(type + 1, std::string(type).size() - 2);
            int r = sd_bus_message_open_container(m, 'r', inner.c_str());
            if (r >= 0) r = FillAll(m, input, inner, depth + 1);
            return r < 0 ? r : sd_bus_message_close_container(m);
        }
        default: {
            // Every other basic type fits in eight bytes, little-endian.
            const std::uint64_t bits = input.ConsumeIntegral<std::uint64_t>();
            return sd_bus_message_append_basic(m, type[0], &bits);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const bool bare = input.ConsumeBool();
    const std::string signature = bare ? "a{s" + BuildSignature(input, 1) + "}" : "v";
    sd_bus_message* message = NewMessage();
    if (Fill(message, input, signature.c_str(), 0) < 0 || !Seal(message)) {
        sd_bus_message_unref(message);
        return 0;
    }
    if (bare) {
        platform::ReadVariantDictionary(message, [message](const char* name) {
            std::uint32_t number = 0;
            std::uint64_t wide = 0;
            const char* text = nullptr;
            int flag = 0;
            switch (std::string_view(name).size() % 6) {
                case 0:
                    return sd_bus_message_read(message, "v", "(uo)", &number, &text);
                case 1:
                    return sd_bus_message_read(message, "v", "b", &flag);
                case 2:
                    return sd_bus_message_read(message, "v", "s", &text);
                case 3:
                    return sd_bus_message_read(message, "v", "t", &wide);
                case 4:
                    return sd_bus_message_read(message, "v", "u", &number);
                default:
                    return 0;
            }
        });
        sd_bus_message_rewind(message, 1);
    }
    platform::BusPropertyListResult read =
        bare ? platform::ReadDictionary(message) : platform::ReadPropertyList(message);
    sd_bus_message_unref(message);
    if (!read.Ok()) {
        if (read.error >= 0 || read.reason.empty() || read.value != platform::PropertyList()) {
            std::abort();
        }
        return 0;
    }

    sd_bus_message* again = NewMessage();
    if (platform::AppendPropertyList(again, read.value) < 0 || !Seal(again)) std::abort();
    platform::BusPropertyListResult reread = platform::ReadPropertyList(again);
    sd_bus_message_unref(again);
    if (!reread.Ok() || !(reread.value == read.value)) std::abort();
    return 0;
}
