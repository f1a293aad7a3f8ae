#pragma once

// SIGTERM, SIGINT and SIGHUP close the windows as the user's close would, so
// that the pane is unselected and writes its settings before the host ends: a
// session that ends, or a kill, must not lose the last changes.

// First thing in main, before any thread starts, so that every thread leaves
// the signals to the descriptor.
void BlockTerminationSignals();

// Once the application exists. Without a descriptor the signals are unblocked
// again and end the process as usual; false then.
bool CloseWindowsOnTerminationSignals();
