#include "OSKext.h"

#include <algorithm>
#include <mutex>
#include <vector>

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
