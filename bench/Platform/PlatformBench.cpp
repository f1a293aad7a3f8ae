// Costs of the simulation's hot paths: one work item through the run loop,
// one pointer report from the mouse to the machine's log, and one posted key
// event passing an active tap.

#include <benchmark/benchmark.h>

#include "HIDSystem.h"
#include "KeyEventFilter.h"
#include "Registry.h"
#include "SimulatedMachine.h"

namespace {

void BM_RunLoopPostAndPerform(benchmark::State& state) {
    platform::SimulatedMachine machine;
    platform::CFRunLoopSourceRef source = platform::CreateRunLoopSource();
    machine.Loop().AddSource(source, platform::kCFRunLoopDefaultMode);
    int performed = 0;
    for (auto _ : state) {
        source->Post([&performed] { ++performed; });
        machine.Loop().RunUntilIdle();
    }
    benchmark::DoNotOptimize(performed);
}
BENCHMARK(BM_RunLoopPostAndPerform);

void BM_PointerReportIntoTheLog(benchmark::State& state) {
    platform::SimulatedMachine machine;
    platform::MouseId mouse = machine.PlugMouse(401);
    std::uint32_t buttons = 0;
    for (auto _ : state) {
        machine.MoveMouse(mouse, 1, -1, buttons);
        buttons ^= 0x01;  // left click on and off: no message for the agent
        if (machine.Log().size() > 4096) {
            state.PauseTiming();
            machine.ClearLog();
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_PointerReportIntoTheLog);

platform::CGEventRef Stamp(platform::CGEventTapProxy, platform::CGEventType,
                           platform::CGEventRef event, void*) {
    platform::CGEventSetFlags(event, platform::kCGEventFlagMaskCommand);
    return event;
}

void BM_PostedKeyThroughAnActiveTap(benchmark::State& state) {
    platform::SimulatedMachine machine;
    platform::io_iterator_t iterator = 0;
    platform::IOServiceGetMatchingServices(platform::kIOMasterPortDefault,
                                           *platform::IOServiceMatching("IOHIDSystem"), &iterator);
    platform::io_service_t hidSystem = platform::IOIteratorNext(iterator);
    platform::io_connect_t connect = 0;
    platform::IOServiceOpen(hidSystem, platform::mach_task_self(), platform::kIOHIDParamConnectType,
                            &connect);
    platform::CFMachPortRef tap = platform::CGEventTapCreate(
        platform::kCGSessionEventTap, platform::kCGTailAppendEventTap,
        platform::kCGEventTapOptionDefault, platform::CGEventMaskBit(platform::kCGEventKeyDown),
        Stamp, nullptr);
    machine.Loop().AddSource(platform::CFMachPortCreateRunLoopSource(nullptr, tap, 0),
                             platform::kCFRunLoopCommonModes);
    platform::NXEventData data{};
    data.key.keyCode = 8;
    for (auto _ : state) {
        platform::IOHIDPostEvent(connect, platform::NX_KEYDOWN, {}, &data, 0, 0, 0);
        machine.Loop().RunUntilIdle();
        if (machine.Log().size() > 4096) {
            state.PauseTiming();
            machine.ClearLog();
            machine.HIDSystem().Clear();
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_PostedKeyThroughAnActiveTap);

}  // namespace
