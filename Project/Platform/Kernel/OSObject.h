#pragma once

#include <atomic>
#include <cstdint>

#include "OSMetaClass.h"

// The root of the kernel object model: reference counted, created with a count
// of 1, freed by the release that brings the count to 0. Objects are shared by
// pointer and never copied.
class OSObject {
public:
    static const OSMetaClass gMetaClass;

    OSObject() = default;
    OSObject(const OSObject&) = delete;
    OSObject& operator=(const OSObject&) = delete;

    void retain() const;
    void release() const;
    int getRetainCount() const;

    virtual const OSMetaClass* getMetaClass() const;

protected:
    virtual ~OSObject() = default;

private:
    mutable std::atomic<int> fRetainCount{1};
};

// Checked downcast: the object as the given type, or null when it is null or
// of another type.
template <typename Type>
Type* OSDynamicCastTo(OSObject* object) {
    return dynamic_cast<Type*>(object);
}
template <typename Type>
const Type* OSDynamicCastTo(const OSObject* object) {
    return dynamic_cast<const Type*>(object);
}
#define OSDynamicCast(Type, object) OSDynamicCastTo<Type>(object)

// Releases and clears a pointer when it is not null.
template <typename Type>
void OSSafeReleaseNULL(Type*& object) {
    if (object != nullptr) {
        object->release();
        object = nullptr;
    }
}
