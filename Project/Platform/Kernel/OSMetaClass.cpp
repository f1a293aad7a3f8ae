#include "OSMetaClass.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "OSObject.h"

namespace {

struct ClassRegistry {
    std::mutex mutex;
    std::vector<const OSMetaClass*> classes;
};

ClassRegistry& Registry() {
    static ClassRegistry registry;
    return registry;
}

const OSMetaClass* FindLocked(const ClassRegistry& registry, std::string_view className) {
    auto found = std::find_if(registry.classes.begin(), registry.classes.end(),
                              [&](const OSMetaClass* m) { return m->getClassName() == className; });
    return found == registry.classes.end() ? nullptr : *found;
}

}  // namespace

bool OSMetaClass::isSubclassOf(std::string_view className) const {
    for (const OSMetaClass* m = this; m != nullptr; m = m->getSuperClass()) {
        if (m->getClassName() == className) {
            return true;
        }
    }
    return false;
}

bool OSMetaClass::registerClass(const OSMetaClass& metaClass) {
    ClassRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    if (FindLocked(registry, metaClass.getClassName()) != nullptr) {
        return false;
    }
    registry.classes.push_back(&metaClass);
    return true;
}

void OSMetaClass::unregisterClass(const OSMetaClass& metaClass) {
    ClassRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    std::erase(registry.classes, &metaClass);
}

const OSMetaClass* OSMetaClass::getMetaClassWithName(std::string_view className) {
    ClassRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    return FindLocked(registry, className);
}

OSObject* OSMetaClass::allocClassWithName(std::string_view className) {
    const OSMetaClass* metaClass = getMetaClassWithName(className);
    return metaClass == nullptr ? nullptr : metaClass->alloc();
}
