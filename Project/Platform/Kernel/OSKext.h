#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "IOTypes.h"
#include "OSMetaClass.h"

class IOService;

// Which devices a module's class serves: a device whose vendor and product
// ids match gets an instance of className. The vendor id is read when a
// device appears, so a module may name a value that its program sets once at
// start (the machine's configured vendor of a device family).
struct OSKextPersonality {
    const char* className;
    const std::uint32_t& vendorID;
    std::uint32_t productID;
};

// A kernel module: its identity, the classes it brings and its matching
// personalities. Loading it registers the classes by name, so the kernel can
// create instances of them; unloading unregisters them.
struct OSKextModule {
    const char* identifier;
    const char* version;
    std::span<const OSMetaClass* const> classes;
    std::span<const OSKextPersonality> personalities;
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

    // What the kernel does when a device appears: finds the first personality
    // of a loaded module that matches the ids, creates an instance of its
    // class, initialises it with a matching dictionary holding "VendorID" and
    // "ProductID" (32-bit numbers), gives it the same two registry properties
    // and registers it as a live service. Returns the instance retained for
    // the caller (the registry holds its own reference until terminate), or
    // null when nothing matches or the instance refuses init.
    static IOService* instantiateForDevice(std::uint32_t vendorID, std::uint32_t productID);
};
