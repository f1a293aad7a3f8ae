#pragma once

// The agent's process entry, on the backends installed at program start:
// installs the interrupt handler, builds the device manager and runs the run
// loop. Returns 0 when the run loop ends, -1 when the handler cannot be
// installed.
int HalvorinAgentMain();

// The start-up before the run loop: installs the interrupt handler and builds
// the device manager. False, with the alert given, when the handler cannot be
// installed. Hosts that drive the run loop themselves call this alone.
bool StartAgent();

// The interrupt handler; runs from the run loop, never in a signal context.
// Drops the connections, destroys the device manager and ends the process
// with status 0 without writing the settings file.
void SignalHandler(int signalNumber);
