#include <gtest/gtest.h>
#include <sys/socket.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "BusPropertyList.h"
#include "PropertyListValues.h"

namespace platform {
namespace {

using test::Array;
using test::Dictionary;
using test::Int;

// Messages need a bus that counts as open; one end of a socket pair is enough
// and no daemon is involved.
class DriverBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        int pair[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
        fPeer = pair[1];
        ASSERT_GE(sd_bus_new(&fBus), 0);
        ASSERT_GE(sd_bus_set_fd(fBus, pair[0], pair[0]), 0);
        ASSERT_GE(sd_bus_start(fBus), 0);
    }
    void TearDown() override {
        sd_bus_message_unref(fMessage);
        sd_bus_close_unref(fBus);
        close(fPeer);
    }

    sd_bus_message* NewMessage() {
        sd_bus_message_unref(fMessage);
        fMessage = nullptr;
        EXPECT_GE(sd_bus_message_new_method_call(fBus, &fMessage, "org.halvorin.Test", "/t",
                                                 "org.halvorin.Test", "M"),
                  0);
        return fMessage;
    }
    sd_bus_message* Sealed() {
        EXPECT_GE(sd_bus_message_seal(fMessage, ++fCookie, 0), 0);
        EXPECT_GE(sd_bus_message_rewind(fMessage, 1), 0);
        return fMessage;
    }
    // Builds a message with `build`, then reads it back as a variant.
    BusPropertyListResult Read(const std::function<int(sd_bus_message*)>& build) {
        EXPECT_GE(build(NewMessage()), 0);
        return ReadPropertyList(Sealed());
    }

    sd_bus* fBus = nullptr;
    sd_bus_message* fMessage = nullptr;
    std::uint64_t fCookie = 0;
    int fPeer = -1;
};

PropertyList Nested(int containers) {
    PropertyList value = Int(1);
    for (int i = 0; i < containers; ++i) value = PropertyList(Array{value});
    return value;
}

PropertyList Filled(std::size_t count) {
    return PropertyList(Array(count, Int(7)));
}

PropertyList FilledDictionary(std::size_t count) {
    Dictionary dictionary;
    for (std::size_t i = 0; i < count; ++i) dictionary.emplace("k" + std::to_string(i), Int(i));
    return PropertyList(dictionary);
}

// 16 arrays in an array: 1 + 16 + 15 * 255 + last values.
PropertyList Spread(std::size_t last) {
    Array outer(15, Filled(255));
    outer.push_back(Filled(last));
    return PropertyList(outer);
}

TEST_F(DriverBusTest, ValuesRoundTripAsVariantAndAsBareDictionary) {
    const PropertyList values[] = {
        PropertyList(),
        PropertyList(Array{}),
        PropertyList(""),
        PropertyList("grüße \"quoted\"\n"),
        Int(std::numeric_limits<std::int64_t>::min()),
        Int(std::numeric_limits<std::int64_t>::max()),
        PropertyList::MakeReal(-0.0),
        PropertyList::MakeReal(std::nan("")),
        PropertyList::MakeReal(1e300),
        PropertyList::MakeBoolean(true),
        PropertyList::MakeBoolean(false),
        PropertyList(
            Dictionary{{"a", Int(1)},
                       {"b", PropertyList(Array{PropertyList("x"), PropertyList(Dictionary{}),
                                                PropertyList::MakeReal(0.5)})},
                       {"", PropertyList::MakeBoolean(true)}}),
        Nested(kBusPropertyListMaxDepth),
        Filled(kBusPropertyListMaxElements),
        FilledDictionary(kBusPropertyListMaxElements),
        Spread(254),  // exactly the most values
        PropertyList(std::string(kBusPropertyListMaxStringBytes, 'x')),
        PropertyList(Dictionary{{std::string(kBusPropertyListMaxStringBytes, 'k'), Int(0)}}),
    };
    for (const PropertyList& value : values) {
        SCOPED_TRACE(value.Describe().substr(0, 80));
        ASSERT_GE(AppendPropertyList(NewMessage(), value), 0);
        BusPropertyListResult read = ReadPropertyList(Sealed());
        ASSERT_TRUE(read.Ok()) << read.reason;
        EXPECT_EQ(read.value, value);

        if (const Dictionary* dictionary = value.AsDictionary()) {
            ASSERT_GE(AppendPropertyListContents(NewMessage(), *dictionary), 0);
            read = ReadDictionary(Sealed());
            ASSERT_TRUE(read.Ok()) << read.reason;
            EXPECT_EQ(read.value, value);
        }
    }
}

TEST_F(DriverBusTest, WritingRefusesWhatAReaderWould) {
    const PropertyList refused[] = {
        Nested(kBusPropertyListMaxDepth + 1),
        Filled(kBusPropertyListMaxElements + 1),
        FilledDictionary(kBusPropertyListMaxElements + 1),
        Spread(255),
        PropertyList(std::string(kBusPropertyListMaxStringBytes + 1, 'x')),
        PropertyList(Dictionary{{std::string(kBusPropertyListMaxStringBytes + 1, 'k'), Int(0)}}),
    };
    for (const PropertyList& value : refused) {
        SCOPED_TRACE(value.Describe().substr(0, 80));
        EXPECT_EQ(AppendPropertyList(NewMessage(), value), -E2BIG);
    }
    EXPECT_EQ(AppendPropertyList(NewMessage(), PropertyList(std::string("a\0b", 3))), -EINVAL);
}

TEST_F(DriverBusTest, EveryIntegerTypeReadsAsIntegerWithinRange) {
    struct Case {
        const char* type;
        std::uint64_t bits;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"y", 255, 255},
        {"n", static_cast<std::uint16_t>(-32768), -32768},
        {"q", 65535, 65535},
        {"i", static_cast<std::uint32_t>(-5), -5},
        {"u", 4294967295u, 4294967295},
        {"x", static_cast<std::uint64_t>(-1), -1},
        {"t", 9223372036854775807u, 9223372036854775807},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        BusPropertyListResult read = Read([&](sd_bus_message* m) {
            int r = sd_bus_message_open_container(m, 'v', c.type);
            // Little-endian: the low bytes of the word are the narrower value.
            if (r >= 0) r = sd_bus_message_append_basic(m, c.type[0], &c.bits);
            return r < 0 ? r : sd_bus_message_close_container(m);
        });
        ASSERT_TRUE(read.Ok()) << read.reason;
        EXPECT_EQ(read.value, Int(c.expected));
    }
}

// Messages a peer could send that the writer never produces.
TEST_F(DriverBusTest, ReadingRefusesForeignTypesAndEveryBoundWithoutAPartialValue) {
    struct Case {
        const char* name;
        std::function<int(sd_bus_message*)> build;
        int error;
    };
    auto ints = [](std::size_t count) {
        return [count](sd_bus_message* m) {
            std::vector<std::int32_t> data(count, 3);
            int r = sd_bus_message_open_container(m, 'v', "ai");
            if (r >= 0) r = sd_bus_message_append_array(m, 'i', data.data(), count * 4);
            return r < 0 ? r : sd_bus_message_close_container(m);
        };
    };
    auto nested = [](int arrays) {
        return [arrays](sd_bus_message* m) {
            std::string signature = std::string(arrays, 'a') + "i";
            int r = sd_bus_message_open_container(m, 'v', signature.c_str());
            for (int i = 0; r >= 0 && i < arrays; ++i) {
                r = sd_bus_message_open_container(m, 'a', signature.c_str() + i + 1);
            }
            if (r >= 0) r = sd_bus_message_append(m, "i", 1);
            for (int i = 0; r >= 0 && i <= arrays; ++i) r = sd_bus_message_close_container(m);
            return r;
        };
    };
    auto entries = [](std::size_t count) {
        return [count](sd_bus_message* m) {
            int r = sd_bus_message_open_container(m, 'v', "a{si}");
            if (r >= 0) r = sd_bus_message_open_container(m, 'a', "{si}");
            for (std::size_t i = 0; r >= 0 && i < count; ++i) {
                r = sd_bus_message_append(m, "{si}", std::to_string(i).c_str(), 1);
            }
            if (r >= 0) r = sd_bus_message_close_container(m);
            return r < 0 ? r : sd_bus_message_close_container(m);
        };
    };
    std::string longText(kBusPropertyListMaxStringBytes + 1, 'x');
    const Case cases[] = {
        {"object path", [](sd_bus_message* m) { return sd_bus_message_append(m, "v", "o", "/a"); },
         -EINVAL},
        {"signature", [](sd_bus_message* m) { return sd_bus_message_append(m, "v", "g", "i"); },
         -EINVAL},
        {"struct", [](sd_bus_message* m) { return sd_bus_message_append(m, "v", "(i)", 1); },
         -EINVAL},
        {"integer keys",
         [](sd_bus_message* m) { return sd_bus_message_append(m, "v", "a{is}", 1, 1, "x"); },
         -EINVAL},
        {"empty array of paths",
         [](sd_bus_message* m) { return sd_bus_message_append(m, "v", "ao", 0); }, -EINVAL},
        {"variant in variant",
         [](sd_bus_message* m) { return sd_bus_message_append(m, "v", "v", "i", 1); }, -EINVAL},
        {"path deep inside",
         [](sd_bus_message* m) {
             return sd_bus_message_append(m, "v", "a{sv}", 2, "a", "i", 1, "b", "av", 1, "o", "/");
         },
         -EINVAL},
        {"duplicate key",
         [](sd_bus_message* m) {
             return sd_bus_message_append(m, "v", "a{sv}", 2, "k", "i", 1, "k", "i", 2);
         },
         -EINVAL},
        {"not a variant", [](sd_bus_message* m) { return sd_bus_message_append(m, "s", "x"); },
         -EINVAL},
        {"nothing", [](sd_bus_message*) { return 0; }, -EINVAL},
        {"unsigned over range",
         [](sd_bus_message* m) {
             return sd_bus_message_append(m, "v", "t", std::uint64_t{1} << 63);
         },
         -EINVAL},
        {"elements at bound", ints(kBusPropertyListMaxElements), 0},
        {"elements over bound", ints(kBusPropertyListMaxElements + 1), -E2BIG},
        {"entries at bound", entries(kBusPropertyListMaxElements), 0},
        {"entries over bound", entries(kBusPropertyListMaxElements + 1), -E2BIG},
        {"depth at bound", nested(kBusPropertyListMaxDepth), 0},
        {"depth over bound", nested(kBusPropertyListMaxDepth + 1), -E2BIG},
        {"string over bound",
         [&](sd_bus_message* m) { return sd_bus_message_append(m, "v", "s", longText.c_str()); },
         -E2BIG},
        {"key over bound",
         [&](sd_bus_message* m) {
             return sd_bus_message_append(m, "v", "a{sb}", 1, longText.c_str(), 1);
         },
         -E2BIG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BusPropertyListResult read = Read(c.build);
        EXPECT_EQ(read.error, c.error) << read.reason;
        EXPECT_EQ(read.reason.empty(), c.error == 0);
        if (c.error != 0) {
            EXPECT_EQ(read.value, PropertyList());
        }
    }
}

// The contract's bare a{sv}: other top-level shapes are refused.
TEST_F(DriverBusTest, DictionaryArgumentMustBeAStringKeyedDictionary) {
    ASSERT_GE(sd_bus_message_append(NewMessage(), "av", 0), 0);
    EXPECT_EQ(ReadDictionary(Sealed()).error, -EINVAL);
    ASSERT_GE(sd_bus_message_append(NewMessage(), "a{ss}", 1, "k", "v"), 0);
    BusPropertyListResult read = ReadDictionary(Sealed());
    EXPECT_EQ(read.value, PropertyList(Dictionary{{"k", PropertyList("v")}}));
}

}  // namespace
}  // namespace platform
