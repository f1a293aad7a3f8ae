// The event path allocates nothing: every global allocation in this test
// program is counted, and a long run of reports must not add to the count.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "DriverTestSupport.h"

namespace {

std::atomic<long> gAllocations{0};

}  // namespace

void* operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace drivertest {
namespace {

// Counts what the system receives without storing it.
class CountingSink final : public IOHIDEventSink {
public:
    void deliverEvent(IOHIDEventService&, const IOHIDSystemEvent&) override { ++events; }
    long events = 0;
};

TEST(EventPath, ReportsAllocateNothing) {
    auto* driver = new InspectableDriver;
    driver->init(nullptr);
    CountingSink sink;
    driver->setEventSink(&sink);
    long messages = 0;
    driver->registerInterest(kIOGeneralInterest, [&messages](IOService&, std::uint32_t, void*,
                                                             std::size_t) { ++messages; });
    Settings settings = MappingSettings({{0, 1}, {1, 7}, {2, 2}, {3, 32}, {4, 10}, {5, 26}},
                                        {{0, 22}, {1, 3}, {2, 10}, {3, 8}});
    settings.reverseScroll = 1;
    OSDictionary* properties = MakeProperties(settings);
    driver->setProperties(properties);
    properties->release();

    IOGBounds bounds{0, 100, 0, 100};
    std::uint32_t seed = 1;
    const long before = gAllocations.load();
    for (int n = 0; n < 200000; ++n) {
        seed = seed * 1664525U + 1013904223U;
        const std::uint32_t state = (seed >> 24) % 3 == 0 ? 0 : (seed >> 16) & 0x3F;
        if (n % 3 == 0) {
            driver->dispatchAbsolutePointerEvent(UnsignedWide{}, n, -n, &bounds, state, true, 0, 0,
                                                 0);
        } else {
            driver->dispatchRelativePointerEvent(UnsignedWide{0, 1}, 1, -1, state);
        }
        driver->dispatchScrollWheelEvent(UnsignedWide{}, n % 5 - 2, 0, 0);
    }
    const long after = gAllocations.load();

    EXPECT_GT(before, 0);  // the counting works: setting up allocated
    EXPECT_EQ(after - before, 0);
    EXPECT_GT(messages, 1000);
    EXPECT_GT(sink.events, 400000);
    driver->release();
}

}  // namespace
}  // namespace drivertest
