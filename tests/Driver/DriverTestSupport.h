#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

#include "IOHIDEventService.h"
#include "OSDictionary.h"
#include "OrvandelDriver.h"

namespace drivertest {

using Type = com_halvorin_OrvandelDriver::ButtonMappingType;

// The driver with its state open to inspection.
class InspectableDriver : public com_halvorin_OrvandelDriver {
public:
    Type PrimaryAt(int i) const { return fPrimaryMappingTypes[i].load(); }
    Type SecondaryAt(int i) const { return fSecondaryMappingTypes[i].load(); }
    std::uint8_t ReportFlagAt(int i) const { return fButtonReportFlags[i].load(); }
    std::vector<std::uint8_t> ReportFlags() const;
    std::vector<std::int32_t> Counts() const;  // buttons, primary, secondary
    bool ReverseScroll() const { return fReverseScroll.load(); }
    bool TarnMouse() const { return fTarnMouse.load(); }
    std::uint8_t LastButtonState() const { return fLastButtonState; }
    std::uint8_t LookupButtons() const { return fLookupButtons; }
    void SetLastButtonState(std::uint8_t state) { fLastButtonState = state; }
};

// A property dictionary as the agent builds it. Missing parts are left out.
struct Settings {
    std::optional<std::vector<Type>> primary;
    std::optional<std::vector<Type>> secondary;
    std::optional<std::uint32_t> reverseScroll;
    std::optional<std::uint32_t> tarn;
};
OSDictionary* MakeProperties(const Settings& settings);
// Six primary and four secondary entries, all Disabled but the ones given.
Settings MappingSettings(std::initializer_list<std::pair<int, Type>> primary,
                         std::initializer_list<std::pair<int, Type>> secondary = {},
                         bool tarn = false);

// What the system and the driver's clients received, in order.
struct Received {
    bool isMessage;
    std::uint32_t value;  // message code, or the event's button state
    IOHIDSystemEvent event;
};

// A fresh, initialised driver whose system events and client messages are
// recorded in one log.
class DriverUnderTest final : public IOHIDEventSink {
public:
    DriverUnderTest();
    ~DriverUnderTest() override;
    DriverUnderTest(const DriverUnderTest&) = delete;
    DriverUnderTest& operator=(const DriverUnderTest&) = delete;

    InspectableDriver& driver() { return *fDriver; }
    InspectableDriver* operator->() { return fDriver; }
    void Deliver(const Settings& settings);
    // One relative report; returns what it caused.
    std::vector<Received> Report(std::uint32_t buttonState, std::int32_t dx = 0,
                                 std::int32_t dy = 0);
    std::vector<Received> TakeLog();

    void deliverEvent(IOHIDEventService&, const IOHIDSystemEvent& event) override;

private:
    InspectableDriver* fDriver;
    std::vector<Received> fLog;
};

std::vector<std::uint32_t> Messages(const std::vector<Received>& log);
std::vector<std::uint32_t> ForwardedStates(const std::vector<Received>& log);

}  // namespace drivertest
