#include "OSKext.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "IOService.h"

namespace {

struct LoadedModules {
    std::mutex mutex;
    std::vector<const OSKextModule*> modules;
};

LoadedModules& Loaded() {
    static LoadedModules loaded;
    return loaded;
}

bool IsLoadedLocked(const LoadedModules& loaded, std::string_view identifier) {
    return std::any_of(loaded.modules.begin(), loaded.modules.end(),
                       [&](const OSKextModule* m) { return m->identifier == identifier; });
}

}  // namespace

IOReturn OSKext::load(const OSKextModule& module) {
    LoadedModules& loaded = Loaded();
    std::lock_guard lock(loaded.mutex);
    if (IsLoadedLocked(loaded, module.identifier)) {
        return kIOReturnError;
    }
    for (std::size_t i = 0; i < module.classes.size(); ++i) {
        if (!OSMetaClass::registerClass(*module.classes[i])) {
            for (std::size_t j = 0; j < i; ++j) {
                OSMetaClass::unregisterClass(*module.classes[j]);
            }
            return kIOReturnError;
        }
    }
    loaded.modules.push_back(&module);
    return kIOReturnSuccess;
}

IOReturn OSKext::unload(const OSKextModule& module) {
    LoadedModules& loaded = Loaded();
    std::lock_guard lock(loaded.mutex);
    if (std::find(loaded.modules.begin(), loaded.modules.end(), &module) == loaded.modules.end()) {
        return kIOReturnNotFound;
    }
    for (const OSMetaClass* metaClass : module.classes) {
        OSMetaClass::unregisterClass(*metaClass);
    }
    std::erase(loaded.modules, &module);
    return kIOReturnSuccess;
}

bool OSKext::isLoaded(std::string_view identifier) {
    LoadedModules& loaded = Loaded();
    std::lock_guard lock(loaded.mutex);
    return IsLoadedLocked(loaded, identifier);
}

namespace {

const OSKextPersonality* FindPersonality(std::uint32_t vendorID, std::uint32_t productID) {
    LoadedModules& loaded = Loaded();
    std::lock_guard lock(loaded.mutex);
    for (const OSKextModule* module : loaded.modules) {
        for (const OSKextPersonality& personality : module->personalities) {
            if (personality.vendorID == vendorID && personality.productID == productID) {
                return &personality;
            }
        }
    }
    return nullptr;
}

}  // namespace

IOService* OSKext::instantiateForDevice(std::uint32_t vendorID, std::uint32_t productID) {
    const OSKextPersonality* personality = FindPersonality(vendorID, productID);
    if (personality == nullptr) {
        return nullptr;
    }
    OSObject* object = OSMetaClass::allocClassWithName(personality->className);
    IOService* service = OSDynamicCast(IOService, object);
    if (service == nullptr) {
        OSSafeReleaseNULL(object);
        return nullptr;
    }
    OSDictionary* matching = OSDictionary::withCapacity(2);
    matching->setNumber("VendorID", vendorID, 32);
    matching->setNumber("ProductID", productID, 32);
    bool initialised = service->init(matching);
    if (initialised) {
        service->setProperty("VendorID", matching->getObject("VendorID"));
        service->setProperty("ProductID", matching->getObject("ProductID"));
        service->registerService();
    } else {
        OSSafeReleaseNULL(service);
    }
    matching->release();
    return service;
}
