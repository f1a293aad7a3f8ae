#include "Handles.h"

#include <map>

namespace platform {
namespace {

struct Entry {
    std::shared_ptr<UserObject> object;
    int references = 0;
};

struct HandleTable {
    std::map<io_object_t, Entry> entries;
    std::map<ServiceId, io_object_t> serviceNames;
    // Names are never reused, so a stale handle never names a new object.
    io_object_t nextName = 0x1003;
};

HandleTable& Table() {
    static HandleTable table;
    return table;
}

}  // namespace

void ServiceConnectionObject::Closed() {
    CurrentRegistryBackend().Close(fService, fType);
}

io_object_t AddUserObject(std::shared_ptr<UserObject> object) {
    HandleTable& table = Table();
    io_object_t name = table.nextName;
    table.nextName += 4;
    table.entries[name] = Entry{std::move(object), 1};
    return name;
}

io_service_t ServiceHandle(ServiceId service) {
    HandleTable& table = Table();
    auto known = table.serviceNames.find(service);
    if (known != table.serviceNames.end()) {
        ++table.entries.at(known->second).references;
        return known->second;
    }
    io_service_t name = AddUserObject(std::make_shared<ServiceObject>(service));
    table.serviceNames[service] = name;
    return name;
}

std::shared_ptr<UserObject> LookupUserObject(io_object_t handle) {
    HandleTable& table = Table();
    auto found = table.entries.find(handle);
    return found == table.entries.end() ? nullptr : found->second.object;
}

std::shared_ptr<ServiceConnectionObject> LookupOpenConnection(io_connect_t connect,
                                                              std::uint32_t type) {
    auto connection = std::dynamic_pointer_cast<ServiceConnectionObject>(LookupUserObject(connect));
    if (!connection || !connection->IsOpen() || connection->Type() != type) {
        return nullptr;
    }
    return connection;
}

kern_return_t IOObjectRetain(io_object_t object) {
    HandleTable& table = Table();
    auto found = table.entries.find(object);
    if (found == table.entries.end()) {
        return MACH_SEND_INVALID_DEST;
    }
    ++found->second.references;
    return KERN_SUCCESS;
}

kern_return_t IOObjectRelease(io_object_t object) {
    HandleTable& table = Table();
    auto found = table.entries.find(object);
    if (found == table.entries.end()) {
        return MACH_SEND_INVALID_DEST;
    }
    if (--found->second.references > 0) {
        return KERN_SUCCESS;
    }
    std::shared_ptr<UserObject> dropped = std::move(found->second.object);
    table.entries.erase(found);
    if (auto service = std::dynamic_pointer_cast<ServiceObject>(dropped)) {
        table.serviceNames.erase(service->Service());
    }
    // Last, because the hook may release further handles.
    dropped->LastReferenceDropped();
    return KERN_SUCCESS;
}

void ResetUserObjects() {
    HandleTable& table = Table();
    table.entries.clear();
    table.serviceNames.clear();
}

std::size_t LiveHandleCount() {
    return Table().entries.size();
}

task_port_t mach_task_self() {
    return 0x203;
}

}  // namespace platform
