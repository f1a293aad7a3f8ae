// The pane's start-up and its settings assignment:
//   FirstPaint: from starting the Preferences program (off screen, in a
//     throw-away home) to the end of its window's first paint, measured as the
//     whole run of a program that quits right after that paint.
//   SettingsAssignment: assigning the settings file to the button mapping tab,
//     which fills and stores its ten menus.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>

#include "ButtonMappingPaneController.h"
#include "MainPrefController.h"
#include "SettingsFile.h"
#include "TemporaryHome.h"

extern char** environ;

namespace {

void FirstPaint(benchmark::State& state) {
    platform::ScopedTemporaryHome home;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        char program[] = HALVORIN_PREFERENCES;
        char option[] = "--quit-after-first-paint";
        char* argv[] = {program, option, nullptr};
        pid_t child = 0;
        if (posix_spawn(&child, program, nullptr, nullptr, argv, environ) != 0) {
            state.SkipWithError("cannot start Preferences");
            return;
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("Preferences failed");
            return;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}
BENCHMARK(FirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void SettingsAssignment(benchmark::State& state) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "PrefPaneBench";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);
    platform::ScopedTemporaryHome home;
    AMainPrefController pane;
    pane.loadMainView();
    // Two different records in turn, so that every menu changes each time.
    ASettingsFile defaults;
    ASettingsFile changed;
    for (int i = 0; i < kNumPrimaryButtonMappings; ++i) {
        changed.SetPrimaryButtonMapping(AButtonMapping::initWithType(30 + i, {}), i);
    }
    for (int i = 0; i < kNumSecondaryButtonMappings; ++i) {
        changed.SetSecondaryButtonMapping(AButtonMapping::initWithType(20 + i, {}), i);
    }
    bool flip = false;
    for (auto _ : state) {
        AButtonMappingPaneController::ResetSettingsAssignmentForTesting();
        pane.fButtonMappingPaneController->setSettingsFile(flip ? &changed : &defaults);
        flip = !flip;
    }
}
BENCHMARK(SettingsAssignment)->Unit(benchmark::kMicrosecond);

}  // namespace
