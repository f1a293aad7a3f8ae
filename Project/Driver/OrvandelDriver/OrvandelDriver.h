#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "IOHIDEventDriver.h"
#include "IOTypes.h"
#include "OSKext.h"

// The driver's default report bit of button index 0 to 5.
extern const std::uint8_t gButtonReportFlags[6];

// The module that brings the driver class: com.halvorin.driver.OrvandelDriver.
// Loading it registers com_halvorin_OrvandelDriver by name and matches the
// family's mice (products 401, 402 and 405 of the family's vendor id in
// force, VendorIdSetting.h).
extern const OSKextModule kOrvandelDriverModule;

// The HID event driver of one mouse of the family. It rewrites the button
// state of every pointer report through the user's mapping tables, performs
// plain clicks and the double click itself, announces every other button
// function to its interest clients by a message code, and reverses vertical
// scrolling on request.
//
// Threads: reports arrive one at a time on the event path; setProperties runs
// on the requesting client's thread at the same time. The two share no lock:
// every table entry, report bit, count and flag is an atomic of its own width,
// written and read with relaxed single stores and loads, so a racing report
// sees each entry either old or new, never torn.
class com_halvorin_OrvandelDriver : public IOHIDEventDriver {
    OSDeclareDefaultStructors(com_halvorin_OrvandelDriver);

public:
    // A button function: the row of the catalogue of functions. Stored as
    // received; values outside the catalogue are announced like any other
    // function the driver does not perform.
    using ButtonMappingType = std::uint32_t;

    // The catalogue rows the driver acts on.
    static constexpr ButtonMappingType kMappingDisabled = 0;
    static constexpr ButtonMappingType kMappingLeftClick = 1;
    static constexpr ButtonMappingType kMappingRightClick = 2;
    static constexpr ButtonMappingType kMappingMiddleClick = 3;
    static constexpr ButtonMappingType kMappingDoubleClick = 10;
    static constexpr ButtonMappingType kMappingSecondaryFunctions = 26;
    static constexpr ButtonMappingType kMappingShiftKey = 32;
    static constexpr ButtonMappingType kMappingCommandKey = 35;

    // Message code: every button is up again.
    static constexpr std::uint32_t kMessageAllButtonsReleased = 255;

    static constexpr int kMaxButtons = 6;
    static constexpr int kMaxSecondaryMappings = 4;

    // What the per-report step yields for one report.
    struct RemapResult {
        std::uint32_t forwardedState = 0;
        bool hasMessage = false;
        std::uint32_t messageCode = 0;
        bool doubleClick = false;
    };

    com_halvorin_OrvandelDriver() = default;

    bool init(OSDictionary* dictionary = nullptr) override;
    IOReturn setProperties(OSObject* properties) override;

    void dispatchRelativePointerEvent(UnsignedWide timestamp, std::int32_t dx, std::int32_t dy,
                                      std::uint32_t buttonState, IOOptionBits options = 0) override;
    void dispatchAbsolutePointerEvent(UnsignedWide timestamp, std::int32_t x, std::int32_t y,
                                      IOGBounds* bounds, std::uint32_t buttonState, bool inRange,
                                      std::int32_t tipPressure, std::int32_t tipPressureMin,
                                      std::int32_t tipPressureMax,
                                      IOOptionBits options = 0) override;
    void dispatchScrollWheelEvent(UnsignedWide timestamp, std::int32_t deltaAxis1,
                                  std::int32_t deltaAxis2, std::int32_t deltaAxis3,
                                  IOOptionBits options = 0) override;

    // The remapping engine.
    ButtonMappingType GetPrimaryMappingType(std::uint8_t bit) const;
    ButtonMappingType GetSecondaryMappingType(std::uint8_t bit) const;
    static bool IsContinuousMapping(ButtonMappingType type);
    static bool HasContinuousState(std::uint8_t state);
    static std::uint8_t GetFirstContinuousState(std::uint8_t state);
    bool IsPotentialSecondaryButtonCombo(std::uint8_t state) const;
    ButtonMappingType GetButtonMappingType(std::uint8_t state);
    RemapResult RemapButtonState(std::uint32_t buttonState);

protected:
    std::uint8_t fLastButtonState = 0;
    std::uint8_t fLookupButtons = 0;
    std::array<std::atomic<ButtonMappingType>, kMaxButtons> fPrimaryMappingTypes{};
    std::array<std::atomic<ButtonMappingType>, kMaxSecondaryMappings> fSecondaryMappingTypes{};
    std::atomic<bool> fReverseScroll{false};
    std::atomic<bool> fTarnMouse{false};
    std::atomic<std::int32_t> fNumButtons{kMaxButtons};
    std::atomic<std::int32_t> fNumPrimaryMappings{kMaxButtons};
    std::atomic<std::int32_t> fNumSecondaryMappings{kMaxSecondaryMappings};
    std::array<std::atomic<std::uint8_t>, kMaxButtons> fButtonReportFlags{};

private:
    // The entry of table at the first index below count whose report bit is bit; Disabled if none.
    template <std::size_t N>
    ButtonMappingType LookUpMappingType(
        std::uint8_t bit, std::int32_t count,
        const std::array<std::atomic<ButtonMappingType>, N>& table) const;
    // The last button's report bit S.
    std::uint8_t LastButtonBit() const;
    bool IsLastButtonSecondaryFunctions() const;
    void SwitchToTarnLayout();
    template <typename ForwardEvent>
    void DispatchPointerReport(std::uint32_t buttonState, ForwardEvent forward);
};
