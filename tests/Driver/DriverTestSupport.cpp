#include "DriverTestSupport.h"

#include "OSArray.h"

namespace drivertest {

std::vector<std::uint8_t> InspectableDriver::ReportFlags() const {
    std::vector<std::uint8_t> flags;
    for (const auto& flag : fButtonReportFlags) {
        flags.push_back(flag.load());
    }
    return flags;
}

std::vector<std::int32_t> InspectableDriver::Counts() const {
    return {fNumButtons.load(), fNumPrimaryMappings.load(), fNumSecondaryMappings.load()};
}

namespace {

void SetArray(OSDictionary* dictionary, const char* key, const std::vector<Type>& values) {
    OSArray* array = OSArray::withNumbers(values);
    dictionary->setObject(key, array);
    array->release();
}

}  // namespace

OSDictionary* MakeProperties(const Settings& settings) {
    OSDictionary* properties = OSDictionary::withCapacity(4);
    if (settings.primary) {
        SetArray(properties, "PrimaryButtonMappings", *settings.primary);
    }
    if (settings.secondary) {
        SetArray(properties, "SecondaryButtonMappings", *settings.secondary);
    }
    if (settings.reverseScroll) {
        properties->setNumber("ReverseScrollDirectionKey", *settings.reverseScroll, 32);
    }
    if (settings.tarn) {
        properties->setNumber("IsTarnMouse", *settings.tarn, 32);
    }
    return properties;
}

Settings MappingSettings(std::initializer_list<std::pair<int, Type>> primary,
                         std::initializer_list<std::pair<int, Type>> secondary, bool tarn) {
    Settings settings{std::vector<Type>(6, 0), std::vector<Type>(4, 0), 0, tarn ? 1U : 0U};
    for (auto [index, type] : primary) {
        (*settings.primary)[index] = type;
    }
    for (auto [index, type] : secondary) {
        (*settings.secondary)[index] = type;
    }
    return settings;
}

DriverUnderTest::DriverUnderTest() : fDriver(new InspectableDriver) {
    fDriver->init(nullptr);
    fDriver->setEventSink(this);
    fDriver->registerInterest(kIOGeneralInterest,
                              [this](IOService&, std::uint32_t type, void*, std::size_t) {
                                  fLog.push_back({true, type, {}});
                              });
}

DriverUnderTest::~DriverUnderTest() {
    fDriver->release();
}

void DriverUnderTest::Deliver(const Settings& settings) {
    OSDictionary* properties = MakeProperties(settings);
    fDriver->setProperties(properties);
    properties->release();
}

std::vector<Received> DriverUnderTest::Report(std::uint32_t buttonState, std::int32_t dx,
                                              std::int32_t dy) {
    fLog.clear();
    fDriver->dispatchRelativePointerEvent(UnsignedWide{0, 7}, dx, dy, buttonState);
    return TakeLog();
}

std::vector<Received> DriverUnderTest::TakeLog() {
    std::vector<Received> log;
    log.swap(fLog);
    return log;
}

void DriverUnderTest::deliverEvent(IOHIDEventService&, const IOHIDSystemEvent& event) {
    fLog.push_back({false, event.buttonState, event});
}

std::vector<std::uint32_t> Messages(const std::vector<Received>& log) {
    std::vector<std::uint32_t> codes;
    for (const Received& r : log) {
        if (r.isMessage) {
            codes.push_back(r.value);
        }
    }
    return codes;
}

std::vector<std::uint32_t> ForwardedStates(const std::vector<Received>& log) {
    std::vector<std::uint32_t> states;
    for (const Received& r : log) {
        if (!r.isMessage) {
            states.push_back(r.value);
        }
    }
    return states;
}

}  // namespace drivertest
