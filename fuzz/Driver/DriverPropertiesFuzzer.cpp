// Arbitrary property objects (nested collections of every kind, arrays of any
// length, values of the wrong type) delivered to a driver instance between
// arbitrary reports. The driver must not fault, leak or read out of bounds,
// and every report must keep the forwarding and message limits.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "OSArray.h"
#include "OSBoolean.h"
#include "OSDictionary.h"
#include "OSNumber.h"
#include "OSString.h"
#include "OrvandelDriver.h"

namespace {

const char* const kKeys[] = {"PrimaryButtonMappings", "SecondaryButtonMappings",
                             "ReverseScrollDirectionKey", "IsTarnMouse"};

OSObject* BuildObject(FuzzedDataProvider& input, int depth);

OSObject* BuildArray(FuzzedDataProvider& input, int depth) {
    const unsigned count = input.ConsumeIntegralInRange<unsigned>(0, 10);
    OSArray* array = OSArray::withCapacity(count);
    for (unsigned i = 0; i < count && input.remaining_bytes() > 0; ++i) {
        OSObject* element = BuildObject(input, depth + 1);
        array->setObject(element);
        element->release();
    }
    return array;
}

OSObject* BuildDictionary(FuzzedDataProvider& input, int depth) {
    const unsigned count = input.ConsumeIntegralInRange<unsigned>(0, 6);
    OSDictionary* dictionary = OSDictionary::withCapacity(count);
    for (unsigned i = 0; i < count && input.remaining_bytes() > 0; ++i) {
        std::string key = input.ConsumeBool() ? std::string(input.PickValueInArray(kKeys))
                                              : input.ConsumeRandomLengthString(16);
        OSObject* value = BuildObject(input, depth + 1);
        dictionary->setObject(key, value);
        value->release();
    }
    return dictionary;
}

OSObject* BuildObject(FuzzedDataProvider& input, int depth) {
    const int kind = input.ConsumeIntegralInRange(0, depth < 4 ? 5 : 3);
    switch (kind) {
        case 0:
        case 1:
            return OSNumber::withNumber(input.ConsumeIntegral<std::uint64_t>(),
                                        input.ConsumeIntegralInRange<unsigned>(0, 70));
        case 2:
            return OSBoolean::withBoolean(input.ConsumeBool());
        case 3:
            return OSString::withCString(input.ConsumeRandomLengthString(24));
        case 4:
            return BuildArray(input, depth);
        default:
            return BuildDictionary(input, depth);
    }
}

class CheckingSink final : public IOHIDEventSink {
public:
    void deliverEvent(IOHIDEventService&, const IOHIDSystemEvent& event) override {
        if (event.kind != IOHIDSystemEvent::Kind::ScrollWheel && (event.buttonState & ~0x07U)) {
            std::abort();  // only system click bits may reach the system
        }
        ++events;
    }
    int events = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    auto* driver = new com_halvorin_OrvandelDriver;
    driver->init(nullptr);
    CheckingSink sink;
    driver->setEventSink(&sink);
    int messages = 0;
    driver->registerInterest(kIOGeneralInterest, [&messages](IOService&, std::uint32_t, void*,
                                                             std::size_t) { ++messages; });

    IOGBounds bounds{};
    while (input.remaining_bytes() > 0) {
        const int action = input.ConsumeIntegralInRange(0, 9);
        if (action == 0) {
            OSObject* properties =
                input.ConsumeBool() ? BuildDictionary(input, 0) : BuildObject(input, 0);
            driver->setProperties(properties);
            properties->release();
            continue;
        }
        messages = 0;
        sink.events = 0;
        const auto state = input.ConsumeIntegral<std::uint32_t>();
        if (action == 1) {
            driver->dispatchScrollWheelEvent(UnsignedWide{}, input.ConsumeIntegral<std::int32_t>(),
                                             0, 0);
        } else if (action == 2) {
            driver->dispatchAbsolutePointerEvent(UnsignedWide{}, 0, 0, &bounds, state, true, 0, 0,
                                                 0);
        } else {
            driver->dispatchRelativePointerEvent(UnsignedWide{}, 1, 1, state);
        }
        // One message at most, and never with a double click.
        if (messages > 1 || (messages == 1 && sink.events != 1)) {
            std::abort();
        }
    }
    driver->release();
    return 0;
}
