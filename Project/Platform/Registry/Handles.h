#pragma once

#include <cstdint>
#include <memory>

#include "IOKitTypes.h"
#include "RegistryBackend.h"

namespace platform {

// Anything a user-side handle can name. Each handle counts the references
// the program holds; IOObjectRelease drops one and the last frees the name.
class UserObject {
public:
    virtual ~UserObject() = default;
    // Called when the program drops its last reference (not on a reset).
    virtual void LastReferenceDropped() {}
};

// A service as the program sees it. Looking up the same service again gives
// the same handle with one more reference, so handles compare as identities.
class ServiceObject final : public UserObject {
public:
    explicit ServiceObject(ServiceId service) : fService(service) {}
    ServiceId Service() const { return fService; }

private:
    ServiceId fService;
};

// A connection: IOServiceClose closes it and drops the caller's reference;
// dropping the last reference of an open one closes it too.
class ConnectionObject : public UserObject {
public:
    bool IsOpen() const { return fOpen; }
    void Close() {
        if (fOpen) {
            fOpen = false;
            Closed();
        }
    }
    void LastReferenceDropped() override { Close(); }

protected:
    virtual void Closed() {}

private:
    bool fOpen = true;
};

// A user client connection to a registry service.
class ServiceConnectionObject final : public ConnectionObject {
public:
    ServiceConnectionObject(ServiceId service, std::uint32_t type)
        : fService(service), fType(type) {}
    ServiceId Service() const { return fService; }
    std::uint32_t Type() const { return fType; }

protected:
    void Closed() override;

private:
    ServiceId fService;
    std::uint32_t fType;
};

// Issues a new handle with one reference.
io_object_t AddUserObject(std::shared_ptr<UserObject> object);
// The handle of the service, issued on first use; adds one reference.
io_service_t ServiceHandle(ServiceId service);
// What a live handle names; null for 0, unknown or released handles.
std::shared_ptr<UserObject> LookupUserObject(io_object_t handle);
// The open connection of the given type behind a handle, or null.
std::shared_ptr<ServiceConnectionObject> LookupOpenConnection(io_connect_t connect,
                                                              std::uint32_t type);
// Forgets every handle (a fresh program); used when backends are swapped.
void ResetUserObjects();
// Number of live handles (tests check for leaks).
std::size_t LiveHandleCount();

}  // namespace platform
