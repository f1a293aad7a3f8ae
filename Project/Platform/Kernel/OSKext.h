#pragma once

#include <span>
#include <string_view>

#include "IOTypes.h"
#include "OSMetaClass.h"

// A kernel module: its identity and the classes it brings. Loading it
// registers the classes by name, so the kernel can create instances of them;
// unloading unregisters them.
struct OSKextModule {
    const char* identifier;
    const char* version;
    std::span<const OSMetaClass* const> classes;
};

class OSKext {
public:
    // Registers the module's classes. Fails with kIOReturnError, registering
    // nothing, when the module is already loaded or one of its class names is
    // taken.
    static IOReturn load(const OSKextModule& module);
    // Unregisters the module's classes; kIOReturnNotFound when not loaded.
    // Live instances stay usable: they no longer need their class's entry.
    static IOReturn unload(const OSKextModule& module);
    static bool isLoaded(std::string_view identifier);
};
