#pragma once

// What the agent tells the pane over the distributed notification center.

// "DeviceAttached" with "IsTarn".
void PostDeviceAttached(bool isTarn);
// "NoDevicesAttached", no object and no user info.
void PostNoDevicesAttached();
