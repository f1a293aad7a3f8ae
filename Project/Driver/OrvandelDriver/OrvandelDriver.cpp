#include "OrvandelDriver.h"

#include <algorithm>
#include <limits>

#include "OSArray.h"
#include "OSDictionary.h"
#include "OSNumber.h"
#include "VendorIdSetting.h"

OSDefineMetaClassAndStructors(com_halvorin_OrvandelDriver, IOHIDEventDriver);

const std::uint8_t gButtonReportFlags[6] = {0x01, 0x04, 0x02, 0x10, 0x08, 0x20};

namespace {

constexpr std::memory_order kRelaxed = std::memory_order_relaxed;

// The family's vendor id in force: the build's default unless the machine's
// configuration names another.
const std::uint32_t& kVendorId = platform::VendorIdInForce().value;
constexpr const char* kDriverClassName = "com_halvorin_OrvandelDriver";

const OSMetaClass* const kModuleClasses[] = {&com_halvorin_OrvandelDriver::gMetaClass};
const OSKextPersonality kModulePersonalities[] = {
    {kDriverClassName, kVendorId, 401},
    {kDriverClassName, kVendorId, 402},
    {kDriverClassName, kVendorId, 405},
};

// The Tarn model: no sixth button, buttons 3 and 4 report each other's bits.
constexpr std::uint8_t kTarnButtonReportFlags[3] = {0x08, 0x10, 0x00};  // indexes 3, 4, 5
constexpr std::int32_t kTarnNumButtons = 5;
constexpr std::int32_t kTarnNumSecondaryMappings = 3;

// Stores the array's leading elements into the table. An array shorter than
// the count supplies what it has; an element that is not a number leaves its
// entry unchanged. Either way the other entries are still read.
template <std::size_t N>
void StoreMappingArray(OSDictionary* dictionary, const char* key, std::int32_t count,
                       std::array<std::atomic<std::uint32_t>, N>& table) {
    OSArray* array = OSDynamicCast(OSArray, dictionary->getObject(key));
    if (array == nullptr) {
        return;
    }
    const auto entries = static_cast<unsigned>(std::clamp<std::int32_t>(count, 0, N));
    for (unsigned i = 0; i < entries; ++i) {
        if (OSNumber* number = OSDynamicCast(OSNumber, array->getObject(i))) {
            table[i].store(number->unsigned32BitValue(), kRelaxed);
        }
    }
}

}  // namespace

const OSKextModule kOrvandelDriverModule{"com.halvorin.driver.OrvandelDriver", "1.1.0f1",
                                         kModuleClasses, kModulePersonalities};

bool com_halvorin_OrvandelDriver::init(OSDictionary* dictionary) {
    fLastButtonState = 0;
    fLookupButtons = 0;
    fReverseScroll.store(false, kRelaxed);
    fNumButtons.store(kMaxButtons, kRelaxed);
    fNumPrimaryMappings.store(kMaxButtons, kRelaxed);
    fNumSecondaryMappings.store(kMaxSecondaryMappings, kRelaxed);
    for (auto& entry : fPrimaryMappingTypes) {
        entry.store(kMappingDisabled, kRelaxed);
    }
    for (auto& entry : fSecondaryMappingTypes) {
        entry.store(kMappingDisabled, kRelaxed);
    }
    for (int i = 0; i < kMaxButtons; ++i) {
        fButtonReportFlags[i].store(gButtonReportFlags[i], kRelaxed);
    }
    fTarnMouse.store(false, kRelaxed);
    return IOHIDEventDriver::init(dictionary);
}

IOReturn com_halvorin_OrvandelDriver::setProperties(OSObject* properties) {
    // Anything but a dictionary changes nothing here; the superclass still
    // gets the request.
    if (OSDictionary* dictionary = OSDynamicCast(OSDictionary, properties)) {
        StoreMappingArray(dictionary, "PrimaryButtonMappings", fNumPrimaryMappings.load(kRelaxed),
                          fPrimaryMappingTypes);
        StoreMappingArray(dictionary, "SecondaryButtonMappings",
                          fNumSecondaryMappings.load(kRelaxed), fSecondaryMappingTypes);

        if (OSNumber* reverse =
                OSDynamicCast(OSNumber, dictionary->getObject("ReverseScrollDirectionKey"))) {
            fReverseScroll.store(reverse->unsigned32BitValue() != 0, kRelaxed);
        }

        OSNumber* tarn = OSDynamicCast(OSNumber, dictionary->getObject("IsTarnMouse"));
        const bool isTarn = tarn != nullptr && tarn->unsigned32BitValue() != 0;
        fTarnMouse.store(isTarn, kRelaxed);
        // The switch is never undone: a mouse does not change its model.
        if (isTarn) {
            SwitchToTarnLayout();
        }
    }
    return IOHIDEventDriver::setProperties(properties);
}

void com_halvorin_OrvandelDriver::SwitchToTarnLayout() {
    for (int i = 0; i < 3; ++i) {
        fButtonReportFlags[3 + i].store(kTarnButtonReportFlags[i], kRelaxed);
    }
    fNumButtons.store(kTarnNumButtons, kRelaxed);
    fNumPrimaryMappings.store(kTarnNumButtons, kRelaxed);
    fNumSecondaryMappings.store(kTarnNumSecondaryMappings, kRelaxed);
}

// ---- Remapping engine ----

template <std::size_t N>
com_halvorin_OrvandelDriver::ButtonMappingType com_halvorin_OrvandelDriver::LookUpMappingType(
    std::uint8_t bit, std::int32_t count,
    const std::array<std::atomic<ButtonMappingType>, N>& table) const {
    for (std::int32_t i = 0; i < count; ++i) {
        if (fButtonReportFlags[i].load(kRelaxed) == bit) {
            return table[i].load(kRelaxed);
        }
    }
    return kMappingDisabled;
}

com_halvorin_OrvandelDriver::ButtonMappingType com_halvorin_OrvandelDriver::GetPrimaryMappingType(
    std::uint8_t bit) const {
    return LookUpMappingType(bit, fNumButtons.load(kRelaxed), fPrimaryMappingTypes);
}

com_halvorin_OrvandelDriver::ButtonMappingType com_halvorin_OrvandelDriver::GetSecondaryMappingType(
    std::uint8_t bit) const {
    return LookUpMappingType(bit, fNumSecondaryMappings.load(kRelaxed), fSecondaryMappingTypes);
}

bool com_halvorin_OrvandelDriver::IsContinuousMapping(ButtonMappingType type) {
    return type <= kMappingMiddleClick || (type >= kMappingShiftKey && type <= kMappingCommandKey);
}

bool com_halvorin_OrvandelDriver::HasContinuousState(std::uint8_t state) {
    return (state & 0x07) != 0;
}

std::uint8_t com_halvorin_OrvandelDriver::GetFirstContinuousState(std::uint8_t state) {
    if (state & 0x01) {
        return 0x01;
    }
    if (state & 0x02) {
        return 0x02;
    }
    return state & 0x04;
}

std::uint8_t com_halvorin_OrvandelDriver::LastButtonBit() const {
    return fButtonReportFlags[fNumButtons.load(kRelaxed) - 1].load(kRelaxed);
}

bool com_halvorin_OrvandelDriver::IsLastButtonSecondaryFunctions() const {
    return fPrimaryMappingTypes[fNumPrimaryMappings.load(kRelaxed) - 1].load(kRelaxed) ==
           kMappingSecondaryFunctions;
}

bool com_halvorin_OrvandelDriver::IsPotentialSecondaryButtonCombo(std::uint8_t state) const {
    const unsigned lastBit = LastButtonBit();
    if (fLastButtonState < lastBit || !IsLastButtonSecondaryFunctions()) {
        return false;
    }
    if (state == lastBit) {
        return true;
    }
    for (int i = 0; i < 3; ++i) {
        if (state == lastBit + fButtonReportFlags[i].load(kRelaxed)) {
            return true;
        }
    }
    if (fTarnMouse.load(kRelaxed)) {
        return false;
    }
    return state == lastBit + fButtonReportFlags[3].load(kRelaxed);
}

com_halvorin_OrvandelDriver::ButtonMappingType com_halvorin_OrvandelDriver::GetButtonMappingType(
    std::uint8_t state) {
    const std::uint8_t previous = fLastButtonState;
    std::uint8_t lookup = state;
    if (previous < state) {
        lookup = state & static_cast<std::uint8_t>(~previous);
    } else if (previous == state && HasContinuousState(state)) {
        lookup = GetFirstContinuousState(state);
    }
    fLookupButtons = lookup;

    ButtonMappingType type = IsPotentialSecondaryButtonCombo(state)
                                 ? GetSecondaryMappingType(lookup)
                                 : GetPrimaryMappingType(lookup);
    // Held or released buttons only go on resolving to continuous functions.
    if (previous >= state && !IsContinuousMapping(type)) {
        type = kMappingDisabled;
    }
    return type;
}

namespace {

// The system button bit of a click type, 0 for any other type.
std::uint32_t ClickBit(com_halvorin_OrvandelDriver::ButtonMappingType type) {
    switch (type) {
        case com_halvorin_OrvandelDriver::kMappingLeftClick:
            return 0x01;
        case com_halvorin_OrvandelDriver::kMappingRightClick:
            return 0x02;
        case com_halvorin_OrvandelDriver::kMappingMiddleClick:
            return 0x04;
        default:
            return 0;
    }
}

}  // namespace

com_halvorin_OrvandelDriver::RemapResult com_halvorin_OrvandelDriver::RemapButtonState(
    std::uint32_t buttonState) {
    RemapResult result;
    if (buttonState == 0) {
        if (fLastButtonState != 0) {
            result.hasMessage = true;
            result.messageCode = kMessageAllButtonsReleased;
        }
        fLookupButtons = 0;
        fLastButtonState = 0;
        return result;
    }

    const auto state = static_cast<std::uint8_t>(buttonState);
    const ButtonMappingType type = GetButtonMappingType(state);
    if (type == kMappingDisabled) {
        // Nothing reaches the system.
    } else if (const std::uint32_t firstBit = ClickBit(type); firstBit != 0) {
        // A second click button may be held along with the first.
        ButtonMappingType companion = kMappingDisabled;
        if (fLookupButtons != buttonState) {
            companion =
                GetButtonMappingType(static_cast<std::uint8_t>(buttonState & ~fLookupButtons));
        }
        result.forwardedState = firstBit | ClickBit(companion);
    } else if (type == kMappingDoubleClick) {
        result.doubleClick = true;
    } else {
        // A function the agent performs: name the pressed buttons to it.
        result.hasMessage = true;
        result.messageCode = buttonState <= LastButtonBit()
                                 ? buttonState & ~std::uint32_t{fLastButtonState}
                                 : buttonState;
        if (!IsPotentialSecondaryButtonCombo(state)) {
            // Raw report bits of a held button pass on without a lookup.
            for (std::uint32_t bit : {0x01U, 0x02U, 0x04U}) {
                if ((state & bit) != 0 && buttonState != bit) {
                    result.forwardedState = bit;
                    break;
                }
            }
        }
    }
    fLastButtonState = state;
    return result;
}

// ---- Dispatch ----

template <typename ForwardEvent>
void com_halvorin_OrvandelDriver::DispatchPointerReport(std::uint32_t buttonState,
                                                        ForwardEvent forward) {
    const RemapResult result = RemapButtonState(buttonState);
    // The agent hears of the button before the system sees the report.
    if (result.hasMessage) {
        messageClients(result.messageCode, nullptr, 0);
    }
    if (result.doubleClick) {
        for (std::uint32_t state : {0x01U, 0x00U, 0x01U, 0x00U}) {
            forward(state);
        }
    }
    forward(result.forwardedState);
}

void com_halvorin_OrvandelDriver::dispatchRelativePointerEvent(UnsignedWide timestamp,
                                                               std::int32_t dx, std::int32_t dy,
                                                               std::uint32_t buttonState,
                                                               IOOptionBits options) {
    DispatchPointerReport(buttonState, [&](std::uint32_t forwardedState) {
        IOHIDEventDriver::dispatchRelativePointerEvent(timestamp, dx, dy, forwardedState, options);
    });
}

void com_halvorin_OrvandelDriver::dispatchAbsolutePointerEvent(
    UnsignedWide timestamp, std::int32_t x, std::int32_t y, IOGBounds* bounds,
    std::uint32_t buttonState, bool inRange, std::int32_t tipPressure, std::int32_t tipPressureMin,
    std::int32_t tipPressureMax, IOOptionBits options) {
    DispatchPointerReport(buttonState, [&](std::uint32_t forwardedState) {
        IOHIDEventDriver::dispatchAbsolutePointerEvent(timestamp, x, y, bounds, forwardedState,
                                                       inRange, tipPressure, tipPressureMin,
                                                       tipPressureMax, options);
    });
}

void com_halvorin_OrvandelDriver::dispatchScrollWheelEvent(UnsignedWide timestamp,
                                                           std::int32_t deltaAxis1,
                                                           std::int32_t deltaAxis2,
                                                           std::int32_t deltaAxis3,
                                                           IOOptionBits options) {
    if (fReverseScroll.load(kRelaxed)) {
        // The most negative delta has no negation; the largest positive one stands for it.
        deltaAxis1 = deltaAxis1 == std::numeric_limits<std::int32_t>::min()
                         ? std::numeric_limits<std::int32_t>::max()
                         : -deltaAxis1;
    }
    IOHIDEventDriver::dispatchScrollWheelEvent(timestamp, deltaAxis1, deltaAxis2, deltaAxis3,
                                               options);
}
