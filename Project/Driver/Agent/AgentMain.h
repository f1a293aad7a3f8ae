#pragma once

// The agent's process entry, on the backends installed at program start:
// installs the interrupt handler, builds the device manager and runs the run
// loop. Returns 0 when the run loop ends, -1 when the handler cannot be
// installed.
int HalvorinAgentMain();

// The interrupt handler; runs from the run loop, never in a signal context.
// Drops the connections, destroys the device manager and ends the process
// with status 0 without writing the settings file.
void SignalHandler(int signalNumber);

// Destroys the device manager if it still exists (the program's end on a
// backend whose run loop can run dry, such as the simulation).
void EndAgent();
