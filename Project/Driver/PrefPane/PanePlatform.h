#pragma once

// The pane's platform services on this machine, installed once at start:
// the run loop waits in Qt's event loop (and is run from it), user defaults
// live in files under the XDG configuration folder, the beep and alerts go
// through the window system, and the distributed notifications go to the
// agent over the channel chosen by InstallPaneDistributedNotifications.
void StartPanePlatform();

// The one place that chooses the channel to the agent.
void InstallPaneDistributedNotifications();
