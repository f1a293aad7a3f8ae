#pragma once

#include <array>

#include "DeviceSettings.h"

// Acceleration of each sensitivity setting 0 to 9, for the pointer and the
// scroll wheel alike.
inline constexpr std::array<double, 10> sSensitivityValues = {0.0,   0.125, 0.3125, 0.5, 0.6875,
                                                              0.875, 1.0,   1.5,    2.0, 3.0};

// The acceleration of a setting; a setting outside 0 to 9 (the pane's
// dictionary is taken as it comes) counts as the nearest end of the scale.
double AccelerationForSensitivity(int setting);

// Pushes the button functions and the scroll direction of the settings into
// every listed driver instance.
void SendSettingsUpdateToDriver(const ADeviceSettings& settings);

// Sets the pointer, then the scroll acceleration from the agent's settings.
void ApplySensitivities();
