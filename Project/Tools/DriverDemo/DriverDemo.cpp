// Loads the driver module, lets the simulated kernel create an instance for a
// six-button mouse, pushes settings into it the way the agent does and feeds it
// a few reports. Prints one line per report, per event the system receives and
// per message the driver's clients receive.

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <initializer_list>

#include "IOHIDEventService.h"
#include "OSArray.h"
#include "OSDictionary.h"
#include "OSKext.h"
#include "OSNumber.h"
#include "OrvandelDriver.h"

namespace {

constexpr std::uint32_t kVendorId = HALVORIN_VENDOR_ID;
constexpr std::uint32_t kSixButtonProductId = 401;

class PrintingSink final : public IOHIDEventSink {
public:
    void deliverEvent(IOHIDEventService&, const IOHIDSystemEvent& event) override {
        switch (event.kind) {
            case IOHIDSystemEvent::Kind::RelativePointer:
                std::printf("  system: pointer dx=%d dy=%d buttons=0x%02" PRIx32 "\n", event.dx,
                            event.dy, event.buttonState);
                break;
            case IOHIDSystemEvent::Kind::AbsolutePointer:
                std::printf("  system: position x=%d y=%d buttons=0x%02" PRIx32 "\n", event.x,
                            event.y, event.buttonState);
                break;
            case IOHIDSystemEvent::Kind::ScrollWheel:
                std::printf("  system: scroll %d %d %d\n", event.deltaAxis1, event.deltaAxis2,
                            event.deltaAxis3);
                break;
        }
    }
};

void SetNumberArray(OSDictionary* dictionary, const char* key,
                    std::initializer_list<std::uint32_t> values) {
    OSArray* array = OSArray::withNumbers({values.begin(), values.size()});
    dictionary->setObject(key, array);
    array->release();
}

void Pointer(IOHIDEventService& driver, std::int32_t dx, std::int32_t dy, std::uint32_t buttons,
             const char* what) {
    std::printf("report: pointer dx=%d dy=%d buttons=0x%02" PRIx32 " (%s)\n", dx, dy, buttons,
                what);
    driver.dispatchRelativePointerEvent(UnsignedWide{}, dx, dy, buttons);
}

void Scroll(IOHIDEventService& driver, std::int32_t delta) {
    std::printf("report: scroll %d 0 0\n", delta);
    driver.dispatchScrollWheelEvent(UnsignedWide{}, delta, 0, 0);
}

}  // namespace

int main() {
    if (OSKext::load(kOrvandelDriverModule) != kIOReturnSuccess) {
        std::fprintf(stderr, "DriverDemo: the driver module did not load\n");
        return 1;
    }
    std::printf("kernel: loaded %s %s\n", kOrvandelDriverModule.identifier,
                kOrvandelDriverModule.version);

    auto* driver = OSDynamicCast(IOHIDEventService,
                                 OSKext::instantiateForDevice(kVendorId, kSixButtonProductId));
    if (driver == nullptr) {
        std::fprintf(stderr, "DriverDemo: no driver instance for the mouse\n");
        return 1;
    }
    std::printf("kernel: %s for product %" PRIu32 "\n", driver->getName(),
                OSDynamicCast(OSNumber, driver->getProperty("ProductID"))->unsigned32BitValue());

    PrintingSink system;
    driver->setEventSink(&system);
    driver->registerInterest(kIOGeneralInterest,
                             [](IOService&, std::uint32_t type, void*, std::size_t) {
                                 std::printf("  client: message 0x%02" PRIx32 "\n", type);
                             });

    std::printf("-- before any settings every button is Disabled\n");
    Pointer(*driver, 0, 0, 0x10, "button 3 down");
    Pointer(*driver, 0, 0, 0x00, "all up");

    std::printf(
        "-- settings: Left, Middle, Right, Copy, Double Click, Secondary Functions;\n"
        "   secondary Paste, Right Click; reverse scroll\n");
    OSDictionary* settings = OSDictionary::withCapacity(4);
    SetNumberArray(settings, "PrimaryButtonMappings", {1, 3, 2, 7, 10, 26});
    SetNumberArray(settings, "SecondaryButtonMappings", {22, 2, 0, 0});
    settings->setNumber("ReverseScrollDirectionKey", 1, 32);
    settings->setNumber("IsTarnMouse", 0, 32);
    driver->setProperties(settings);
    settings->release();

    Pointer(*driver, 4, -2, 0x00, "motion");
    Pointer(*driver, 1, 0, 0x01, "button 0 down: left click");
    Pointer(*driver, 0, 0, 0x00, "all up");
    Pointer(*driver, 0, 0, 0x10, "button 3 down: Copy");
    Pointer(*driver, 2, 1, 0x10, "button 3 held");
    Pointer(*driver, 0, 0, 0x00, "all up");
    Pointer(*driver, 3, 0, 0x08, "button 4 down: double click");
    Pointer(*driver, 0, 0, 0x00, "all up");
    Pointer(*driver, 0, 0, 0x20, "button 5 down: secondary layer");
    Pointer(*driver, 0, 0, 0x21, "button 0 added: secondary Paste");
    Pointer(*driver, 0, 0, 0x24, "button 1 instead: secondary right click");
    Pointer(*driver, 0, 0, 0x20, "button 1 up");
    Pointer(*driver, 0, 0, 0x00, "all up");
    Scroll(*driver, 2);
    Scroll(*driver, -1);

    std::printf("-- the mouse goes away\n");
    driver->terminate();
    driver->release();
    OSKext::unload(kOrvandelDriverModule);
    std::printf("kernel: unloaded %s\n", kOrvandelDriverModule.identifier);
    return 0;
}
