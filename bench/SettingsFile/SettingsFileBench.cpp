// Loading and writing a full settings file: every button set, recorded
// keystrokes on several. Each benchmark runs once with the home in the system's
// temporary folder (a disk, where the flush waits for fsync) and once in
// /dev/shm (memory, where fsync costs next to nothing).

#include <benchmark/benchmark.h>

#include <filesystem>

#include "SettingsFile.h"
#include "TemporaryHome.h"

namespace {

const std::filesystem::path kHomeParents[] = {"", "/dev/shm"};

void FillRecord(ASettingsFile& file) {
    file.SetPointerSensitivityValue(7);
    file.SetScrollWheelSensitivityValue(3);
    file.SetReverseScrollDirectionValue(true);
    for (std::int32_t i = 0; i < kNumPrimaryButtonMappings; ++i) {
        file.SetPrimaryButtonMapping(
            AButtonMapping::initWithType(kKeyStrokeRecordingMappingType,
                                         "Return,36,0|Tab,48,131072|<,43,131072|&,26,1048576"),
            i);
    }
    for (std::int32_t i = 0; i < kNumSecondaryButtonMappings; ++i) {
        file.SetSecondaryButtonMapping(AButtonMapping::initWithType(36 + i, ""), i);
    }
}

void Label(benchmark::State& state, const platform::ScopedTemporaryHome& home) {
    state.SetLabel(home.Path().parent_path().string());
}

void BM_ConstructAndLoad(benchmark::State& state) {
    platform::ScopedTemporaryHome home(kHomeParents[state.range(0)]);
    {
        ASettingsFile file;
        FillRecord(file);
        file.FlushXml();
    }
    for (auto _ : state) {
        ASettingsFile file;
        benchmark::DoNotOptimize(file.PointerSensitivityValue());
    }
    Label(state, home);
}
BENCHMARK(BM_ConstructAndLoad)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_FlushXml(benchmark::State& state) {
    platform::ScopedTemporaryHome home(kHomeParents[state.range(0)]);
    ASettingsFile file;
    FillRecord(file);
    for (auto _ : state) {
        file.FlushXml();
    }
    Label(state, home);
}
BENCHMARK(BM_FlushXml)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
