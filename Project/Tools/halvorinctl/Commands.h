#pragma once

struct CtlCommandLine;

// The client's commands. Each returns its exit status or raises CtlError,
// having changed nothing.
//
// The commands on the user's settings make each change as the settings
// window does: checked against what the window would offer, stored in the
// settings, written to the settings file and sent whole to the agent.
int ShowCommand(const CtlCommandLine& line);
int SetCommand(const CtlCommandLine& line);
int RecordCommand(const CtlCommandLine& line);
int RestoreDefaultsCommand(const CtlCommandLine& line);
int ExportCommand(const CtlCommandLine& line);
int ImportCommand(const CtlCommandLine& line);

// The suite as it runs: the driver host and its mice, the agent, the
// settings file, the vendor id.
int StatusCommand(const CtlCommandLine& line);

// The driver's button messages and the suite's notifications, as they come.
int MonitorCommand(const CtlCommandLine& line);
