#pragma once

#include "PropertyList.h"

// The client speaks to the agent as the settings window does, over the
// suite's notification channel (the session bus).

// Sends the whole settings dictionary, as the window after each change
// ("HalvorinAgent"); the agent applies it at once.
void SendSettingsToAgent(const platform::PropertyList& settings);

// What the agent answers a window that opens ("PrefPaneStarted").
struct AgentAnswer {
    bool answered = false;
    bool deviceAttached = false;
    bool isTarn = false;
};

// Asks, and waits up to `timeout` seconds for the answer.
AgentAnswer AskAgent(double timeout);

inline constexpr double kAgentAnswerTimeout = 2.0;
