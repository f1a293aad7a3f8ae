// Cost per report of the remapping step and of relative pointer dispatch, for
// the report sequences a user's presses produce.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <span>
#include <vector>

#include "OSArray.h"
#include "OSDictionary.h"
#include "OrvandelDriver.h"

namespace {

using Driver = com_halvorin_OrvandelDriver;

// Left Click, Middle Click, Right Click, Copy, Double Click, Secondary
// Functions; secondary Paste on button 0.
const std::uint32_t kPrimary[] = {1, 3, 2, 7, 10, 26};
const std::uint32_t kSecondary[] = {22, 0, 0, 0};

struct Scenario {
    const char* name;
    std::vector<std::uint32_t> reports;
};

const Scenario kScenarios[] = {
    {"ClickPressHoldRelease", {0x01, 0x01, 0x01, 0x00}},
    {"KeystrokePress", {0x10, 0x00}},
    {"SecondaryLayer", {0x20, 0x21, 0x20, 0x00}},
    {"DoubleClick", {0x08, 0x00}},
};

void AddArray(OSDictionary* properties, const char* key, std::span<const std::uint32_t> values) {
    OSArray* array = OSArray::withNumbers(values);
    properties->setObject(key, array);
    array->release();
}

class NullSink final : public IOHIDEventSink {
public:
    void deliverEvent(IOHIDEventService&, const IOHIDSystemEvent& event) override {
        benchmark::DoNotOptimize(event.buttonState);
    }
};

Driver* ConfiguredDriver() {
    auto* driver = new Driver;
    driver->init(nullptr);
    OSDictionary* properties = OSDictionary::withCapacity(2);
    AddArray(properties, "PrimaryButtonMappings", kPrimary);
    AddArray(properties, "SecondaryButtonMappings", kSecondary);
    driver->setProperties(properties);
    properties->release();
    return driver;
}

void SetReportCounter(benchmark::State& state, std::size_t reportsPerIteration) {
    state.counters["ns/report"] =
        benchmark::Counter(static_cast<double>(state.iterations() * reportsPerIteration),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetLabel(kScenarios[state.range(0)].name);
}

void BM_RemapButtonState(benchmark::State& state) {
    const Scenario& scenario = kScenarios[state.range(0)];
    Driver* driver = ConfiguredDriver();
    for (auto _ : state) {
        for (std::uint32_t report : scenario.reports) {
            benchmark::DoNotOptimize(driver->RemapButtonState(report));
        }
    }
    SetReportCounter(state, scenario.reports.size());
    driver->release();
}

void BM_RelativePointerDispatch(benchmark::State& state) {
    const Scenario& scenario = kScenarios[state.range(0)];
    Driver* driver = ConfiguredDriver();
    NullSink sink;
    driver->setEventSink(&sink);
    std::uint32_t messages = 0;
    driver->registerInterest(kIOGeneralInterest, [&messages](IOService&, std::uint32_t type, void*,
                                                             std::size_t) { messages += type; });
    for (auto _ : state) {
        for (std::uint32_t report : scenario.reports) {
            driver->dispatchRelativePointerEvent(UnsignedWide{}, 1, -1, report);
        }
    }
    benchmark::DoNotOptimize(messages);
    SetReportCounter(state, scenario.reports.size());
    driver->release();
}

BENCHMARK(BM_RemapButtonState)->DenseRange(0, std::size(kScenarios) - 1);
BENCHMARK(BM_RelativePointerDispatch)->DenseRange(0, std::size(kScenarios) - 1);

}  // namespace
