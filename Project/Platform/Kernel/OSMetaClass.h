#pragma once

#include <string_view>

class OSObject;

// Run-time type information of one kernel class: its name, its superclass and
// how to create an instance. Every class declares one statically (see
// OSDeclareDefaultStructors); a class becomes creatable by name only while it
// is registered, which a kernel module does when it is loaded (OSKext.h).
class OSMetaClass {
public:
    using Factory = OSObject* (*)();

    constexpr OSMetaClass(const char* className, const OSMetaClass* superClass, Factory factory)
        : fClassName(className), fSuperClass(superClass), fFactory(factory) {}
    OSMetaClass(const OSMetaClass&) = delete;
    OSMetaClass& operator=(const OSMetaClass&) = delete;

    const char* getClassName() const { return fClassName; }
    const OSMetaClass* getSuperClass() const { return fSuperClass; }
    // A new instance with retain count 1, not yet initialised.
    OSObject* alloc() const { return fFactory(); }
    // True for this class and for every class it derives from.
    bool isSubclassOf(std::string_view className) const;

    // The registry of classes that can be created by name. Registering a name
    // that is already taken fails; unregistering an unknown class does nothing.
    static bool registerClass(const OSMetaClass& metaClass);
    static void unregisterClass(const OSMetaClass& metaClass);
    static const OSMetaClass* getMetaClassWithName(std::string_view className);
    // A new, uninitialised instance of a registered class, or null.
    static OSObject* allocClassWithName(std::string_view className);

private:
    const char* fClassName;
    const OSMetaClass* fSuperClass;
    Factory fFactory;
};

// In the class body, followed by a semicolon: declares the class's metaclass
// and getMetaClass. Leaves the access at private.
#define OSDeclareDefaultStructors(className)          \
public:                                               \
    static const OSMetaClass gMetaClass;              \
    const OSMetaClass* getMetaClass() const override; \
                                                      \
private:                                              \
    static_assert(true, "")

// In the source file, followed by a semicolon: defines them, with
// superClassName as the superclass.
#define OSDefineMetaClassAndStructors(className, superClassName)                          \
    const OSMetaClass className::gMetaClass{#className, &superClassName::gMetaClass,      \
                                            []() -> OSObject* { return new className; }}; \
    const OSMetaClass* className::getMetaClass() const {                                  \
        return &gMetaClass;                                                               \
    }                                                                                     \
    static_assert(true, "")
