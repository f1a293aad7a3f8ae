#include "BusService.h"

#include <systemd/sd-bus.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <deque>

#include "BusPropertyList.h"
#include "HIDSystem.h"
#include "IOHIDSystemService.h"
#include "IOService.h"
#include "Logging.h"
#include "OSNumber.h"
#include "OSPropertyList.h"
#include "PostedEventTranslation.h"

namespace platform {

namespace {

using Record = BusService::Record;

constexpr const char* kActionConfigure = "org.halvorin.driver1.configure";
constexpr const char* kActionPostEvents = "org.halvorin.driver1.post-events";
constexpr const char* kActionSubscribe = "org.halvorin.driver1.subscribe";

BusService::Record& RecordOf(void* userdata) {
    return *static_cast<BusService::Record*>(userdata);
}

// A retained service for a record, or null when it is gone.
IOService* CopyService(const BusService::Record& record) {
    return record.id == 0 ? nullptr : IOService::copyServiceWithID(record.id);
}

int ReplyStatus(sd_bus_message* call, IOReturn status) {
    return sd_bus_reply_method_return(call, "i", status);
}

int InvalidArgs(sd_bus_error* error, const char* what) {
    return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, what);
}

// ---- Properties ----

int GetClassName(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                 void* userdata, sd_bus_error*) {
    return sd_bus_message_append(reply, "s", RecordOf(userdata).classes.front().c_str());
}

int GetClasses(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
               void* userdata, sd_bus_error*) {
    int status = sd_bus_message_open_container(reply, 'a', "s");
    for (const std::string& name : RecordOf(userdata).classes) {
        if (status >= 0) {
            status = sd_bus_message_append(reply, "s", name.c_str());
        }
    }
    return status < 0 ? status : sd_bus_message_close_container(reply);
}

int GetRegistrationId(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                      void* userdata, sd_bus_error*) {
    return sd_bus_message_append(reply, "t", RecordOf(userdata).id);
}

int GetVendorID(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                void* userdata, sd_bus_error*) {
    return sd_bus_message_append(reply, "u", RecordOf(userdata).vendorId);
}

int GetProductID(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                 void* userdata, sd_bus_error*) {
    return sd_bus_message_append(reply, "u", RecordOf(userdata).productId);
}

int GetProperties(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                  void* userdata, sd_bus_error* error) {
    PropertyList properties;
    if (IOService* service = CopyService(RecordOf(userdata))) {
        OSDictionary* dictionary = service->dictionaryWithProperties();
        properties = CreatePropertyList(dictionary).value_or(PropertyList());
        OSSafeReleaseNULL(dictionary);
        service->release();
    }
    static const PropertyList::Dictionary kNone;
    const PropertyList::Dictionary* dictionary = properties.AsDictionary();
    const int status = AppendPropertyListContents(reply, dictionary ? *dictionary : kNone);
    return status < 0 ? sd_bus_error_set_errno(error, status) : status;
}

// ---- Service methods ----

int SetProperties(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    Record& record = RecordOf(userdata);
    const BusPropertyListResult properties = ReadPropertyList(call);
    if (!properties.Ok()) {
        return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "Unusable property list: %.*s",
                                 static_cast<int>(properties.reason.size()),
                                 properties.reason.data());
    }
    std::shared_ptr<OSObject> object(CreateOSObject(properties.value),
                                     [](OSObject* o) { OSSafeReleaseNULL(o); });
    if (object == nullptr) {
        return InvalidArgs(error, "The properties have no driver form");
    }
    const std::uint64_t id = record.id;
    record.owner->Authorise(call, kActionConfigure, [id, object](sd_bus_message* granted) {
        if (id == 0) {
            // The HID system takes no properties, as the base service.
            ReplyStatus(granted, kIOReturnUnsupported);
            return;
        }
        IOService* service = IOService::copyServiceWithID(id);
        if (service == nullptr) {
            sd_bus_reply_method_errorf(granted, SD_BUS_ERROR_UNKNOWN_OBJECT, "The service is gone");
            return;
        }
        const IOReturn status = service->setProperties(object.get());
        service->release();
        ReplyStatus(granted, status);
    });
    return 1;
}

int Subscribe(sd_bus_message* call, void* userdata, sd_bus_error*) {
    Record& record = RecordOf(userdata);
    BusService* owner = record.owner;
    const std::string path = record.path;
    owner->Authorise(call, kActionSubscribe, [owner, path](sd_bus_message* granted) {
        Record* current = owner->FindRecord(path.c_str());
        if (current == nullptr) {
            sd_bus_reply_method_errorf(granted, SD_BUS_ERROR_UNKNOWN_OBJECT, "The service is gone");
            return;
        }
        current->subscribers.insert(sd_bus_message_get_sender(granted));
        sd_bus_reply_method_return(granted, "");
    });
    return 1;
}

int Unsubscribe(sd_bus_message* call, void* userdata, sd_bus_error*) {
    // Only ever takes away the caller's own subscription: nothing to authorise.
    RecordOf(userdata).subscribers.erase(sd_bus_message_get_sender(call));
    return sd_bus_reply_method_return(call, "");
}

// ---- HID system methods ----

int PostEvent(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    std::uint32_t eventType = 0;
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::uint16_t keyCode = 0;
    std::int32_t clickCount = 0;
    std::uint32_t eventFlags = 0;
    std::uint32_t options = 0;
    if (sd_bus_message_read(call, "unnqiuu", &eventType, &x, &y, &keyCode, &clickCount, &eventFlags,
                            &options) < 0) {
        return InvalidArgs(error, "Malformed event");
    }
    auto action = TranslatePostedEvent(eventType, keyCode, eventFlags);
    if (!action) {
        return InvalidArgs(error, "The event cannot be posted");
    }
    BusService* owner = RecordOf(userdata).owner;
    owner->Authorise(call, kActionPostEvents, [owner, action = *action](sd_bus_message* granted) {
        const std::string client = sd_bus_message_get_sender(granted);
        const auto now = PostedEvents::Clock::now();
        PostedEvents& posted = owner->Posted();
        const IOReturn status = action.kind == PostedAction::Kind::Modifiers
                                    ? posted.HoldModifiers(client, action.modifiers, now)
                                    : posted.Press(client, action.code, action.down, now);
        ReplyStatus(granted, status);
    });
    return 1;
}

int SetAcceleration(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    const char* key = nullptr;
    double value = 0.0;
    if (sd_bus_message_read(call, "sd", &key, &value) < 0) {
        return InvalidArgs(error, "Malformed acceleration");
    }
    const std::string name(key);
    if ((name != kIOHIDMouseAccelerationType && name != kIOHIDMouseScrollAccelerationType) ||
        !std::isfinite(value)) {
        return InvalidArgs(error, "Unknown acceleration or value");
    }
    BusService* owner = RecordOf(userdata).owner;
    owner->Authorise(call, kActionConfigure, [owner, name, value](sd_bus_message* granted) {
        const bool stored = owner->Gains().Set(name, value);
        ReplyStatus(granted, stored ? kIOReturnSuccess : kIOReturnBadArgument);
    });
    return 1;
}

constexpr sd_bus_vtable kServiceVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("ClassName", "s", GetClassName, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Classes", "as", GetClasses, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("RegistrationId", "t", GetRegistrationId, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("VendorID", "u", GetVendorID, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("ProductID", "u", GetProductID, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Properties", "a{sv}", GetProperties, 0, 0),
    SD_BUS_METHOD_WITH_NAMES("SetProperties", "v", SD_BUS_PARAM(properties), "i",
                             SD_BUS_PARAM(status), SetProperties, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Subscribe", "", "", Subscribe, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Unsubscribe", "", "", Unsubscribe, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL_WITH_NAMES("Message", "ut", SD_BUS_PARAM(type) SD_BUS_PARAM(argument), 0),
    SD_BUS_VTABLE_END};

constexpr sd_bus_vtable kHIDSystemVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD_WITH_NAMES("PostEvent", "unnqiuu",
                             SD_BUS_PARAM(eventType) SD_BUS_PARAM(x) SD_BUS_PARAM(y)
                                 SD_BUS_PARAM(keyCode) SD_BUS_PARAM(clickCount)
                                     SD_BUS_PARAM(eventFlags) SD_BUS_PARAM(options),
                             "i", SD_BUS_PARAM(status), PostEvent, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("SetAcceleration", "sd", SD_BUS_PARAM(key) SD_BUS_PARAM(value), "i",
                             SD_BUS_PARAM(status), SetAcceleration, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

int FindInstance(sd_bus*, const char* path, const char*, void* userdata, void** found,
                 sd_bus_error*) {
    BusService::Record* record = static_cast<BusService*>(userdata)->FindRecord(path);
    if (record == nullptr || record->id == 0) {
        return 0;
    }
    *found = record;
    return 1;
}

int EnumerateInstances(sd_bus*, const char*, void* userdata, char*** nodes, sd_bus_error*) {
    const std::vector<std::string> paths = static_cast<BusService*>(userdata)->InstancePaths();
    char** list = static_cast<char**>(calloc(paths.size() + 1, sizeof(char*)));
    if (list == nullptr) {
        return -ENOMEM;
    }
    for (std::size_t i = 0; i < paths.size(); ++i) {
        list[i] = strdup(paths[i].c_str());
    }
    *nodes = list;
    return 0;
}

int NameOwnerChanged(sd_bus_message* signal, void* userdata, sd_bus_error*) {
    const char* name = nullptr;
    const char* oldOwner = nullptr;
    const char* newOwner = nullptr;
    if (sd_bus_message_read(signal, "sss", &name, &oldOwner, &newOwner) >= 0 && name[0] == ':' &&
        newOwner[0] == '\0') {
        static_cast<BusService*>(userdata)->ClientLeft(name);
    }
    return 0;
}

std::vector<std::string> ClassChain(const OSMetaClass* metaClass) {
    std::vector<std::string> classes;
    for (; metaClass != nullptr; metaClass = metaClass->getSuperClass()) {
        classes.emplace_back(metaClass->getClassName());
    }
    return classes;
}

}  // namespace

BusService::BusService(sd_bus* bus, HostMessageQueue& messages, AccelerationGains& gains,
                       PostedEvents& posted)
    : fBus(bus), fMessages(messages), fGains(gains), fPosted(posted), fAuthorization(bus) {
    fHIDSystem.owner = this;
    fHIDSystem.path = kHIDSystemPath;
    fHIDSystem.classes = {IOHIDSystem::gMetaClass.getClassName()};
}

BusService::~BusService() {
    for (auto& [client, calls] : fPending) {
        for (PendingCall& call : calls) {
            sd_bus_message_unref(call.call);
        }
    }
    for (sd_bus_slot* slot : fSlots) {
        sd_bus_slot_unref(slot);
    }
}

int BusService::Start() {
    int status = 0;
    // Each step attaches one slot, kept until the service goes.
    auto attach = [this, &status](auto&& step) {
        sd_bus_slot* slot = nullptr;
        if (status >= 0 && (status = step(&slot)) >= 0) {
            fSlots.push_back(slot);
        }
    };
    attach(
        [&](sd_bus_slot** slot) { return sd_bus_add_object_manager(fBus, slot, kDriverRootPath); });
    attach([&](sd_bus_slot** slot) {
        return sd_bus_add_fallback_vtable(fBus, slot, kServicePathPrefix, kServiceInterface,
                                          kServiceVtable, FindInstance, this);
    });
    attach([&](sd_bus_slot** slot) {
        return sd_bus_add_node_enumerator(fBus, slot, kServicePathPrefix, EnumerateInstances, this);
    });
    attach([&](sd_bus_slot** slot) {
        return sd_bus_add_object_vtable(fBus, slot, kHIDSystemPath, kServiceInterface,
                                        kServiceVtable, &fHIDSystem);
    });
    attach([&](sd_bus_slot** slot) {
        return sd_bus_add_object_vtable(fBus, slot, kHIDSystemPath, kHIDSystemInterface,
                                        kHIDSystemVtable, &fHIDSystem);
    });
    attach([&](sd_bus_slot** slot) {
        return sd_bus_match_signal(fBus, slot, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus", "NameOwnerChanged", NameOwnerChanged,
                                   this);
    });
    if (status >= 0) {
        status = sd_bus_request_name(fBus, kDriverBusName, 0);
    }
    return status;
}

BusService::Record* BusService::FindRecord(const char* path) {
    if (std::strcmp(path, kHIDSystemPath) == 0) {
        return &fHIDSystem;
    }
    const std::size_t prefix = std::strlen(kServicePathPrefix);
    if (std::strncmp(path, kServicePathPrefix, prefix) != 0 || path[prefix] != '/') {
        return nullptr;
    }
    for (auto& [id, record] : fInstances) {
        if (record->path == path) {
            return record.get();
        }
    }
    return nullptr;
}

std::vector<std::string> BusService::InstancePaths() const {
    std::vector<std::string> paths;
    for (const auto& [id, record] : fInstances) {
        paths.push_back(record->path);
    }
    return paths;
}

void BusService::Authorise(sd_bus_message* call, const char* action,
                           std::function<void(sd_bus_message*)> granted) {
    // One check at a time per client, so that its calls take effect in the
    // order it made them (a key's release never overtakes its press).
    sd_bus_message_ref(call);
    const std::string client = sd_bus_message_get_sender(call);
    std::deque<PendingCall>& queue = fPending[client];
    queue.push_back({call, action, std::move(granted)});
    if (queue.size() == 1) {
        CheckNext(client);
    }
}

void BusService::CheckNext(const std::string& client) {
    auto found = fPending.find(client);
    if (found == fPending.end() || found->second.empty()) {
        fPending.erase(client);
        return;
    }
    const PendingCall& next = found->second.front();
    fAuthorization.Check(client, next.action, [this, client](bool allowed) {
        auto pending = fPending.find(client);
        if (pending == fPending.end()) {
            return;  // the client left meanwhile; its calls were dropped
        }
        PendingCall call = std::move(pending->second.front());
        pending->second.pop_front();
        if (allowed) {
            call.granted(call.call);
        } else {
            sd_bus_reply_method_errorf(call.call, SD_BUS_ERROR_ACCESS_DENIED, "Not authorised");
        }
        sd_bus_message_unref(call.call);
        CheckNext(client);
    });
}

void BusService::ClientLeft(const std::string& name) {
    fHIDSystem.subscribers.erase(name);
    for (auto& [id, record] : fInstances) {
        record->subscribers.erase(name);
    }
    // Calls still waiting for their check never take effect.
    if (auto pending = fPending.find(name); pending != fPending.end()) {
        for (PendingCall& call : pending->second) {
            sd_bus_message_unref(call.call);
        }
        fPending.erase(pending);
    }
    fPosted.ReleaseAll(name);
}

void BusService::DrainMessages() {
    HostMessage message;
    while (fMessages.Pop(message)) {
        switch (message.kind) {
            case HostMessage::Kind::Added:
                Added(message.registryId);
                break;
            case HostMessage::Kind::Message:
                Deliver(message);
                break;
            case HostMessage::Kind::Removed:
                Removed(message.registryId);
                break;
        }
    }
    if (const std::uint64_t dropped = fMessages.TakeDroppedCount(); dropped != 0) {
        SystemLog(std::to_string(dropped) + " driver messages were lost: the bus side fell behind");
    }
}

void BusService::Added(std::uint64_t id) {
    IOService* service = IOService::copyServiceWithID(id);
    if (service == nullptr) {
        return;
    }
    auto record = std::make_unique<Record>();
    record->owner = this;
    record->id = id;
    record->path = std::string(kServicePathPrefix) + "/" + std::to_string(id);
    record->classes = ClassChain(service->getMetaClass());
    auto number = [service](const char* key) -> std::uint32_t {
        const auto* value = OSDynamicCast(OSNumber, service->getProperty(key));
        return value == nullptr ? 0 : value->unsigned32BitValue();
    };
    record->vendorId = number("VendorID");
    record->productId = number("ProductID");
    service->release();
    const std::string path = record->path;
    fInstances.emplace(id, std::move(record));
    sd_bus_emit_object_added(fBus, path.c_str());
}

void BusService::Removed(std::uint64_t id) {
    auto found = fInstances.find(id);
    if (found == fInstances.end()) {
        return;
    }
    sd_bus_emit_object_removed(fBus, found->second->path.c_str());
    fInstances.erase(found);
}

void BusService::Deliver(const HostMessage& message) {
    auto found = fInstances.find(message.registryId);
    if (found == fInstances.end()) {
        return;
    }
    const Record& record = *found->second;
    for (const std::string& subscriber : record.subscribers) {
        sd_bus_message* signal = nullptr;
        if (sd_bus_message_new_signal(fBus, &signal, record.path.c_str(), kServiceInterface,
                                      "Message") >= 0 &&
            sd_bus_message_set_destination(signal, subscriber.c_str()) >= 0 &&
            sd_bus_message_append(signal, "ut", message.type, message.argument) >= 0) {
            sd_bus_send(fBus, signal, nullptr);
        }
        sd_bus_message_unref(signal);
    }
}

}  // namespace platform
