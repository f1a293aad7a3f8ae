#include "BusService.h"

#include <systemd/sd-bus.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>

#include "BusNameOwner.h"
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

using Action = BusService::Action;
using Prepared = BusService::Prepared;

// What a waiting call costs besides its arguments (the reply's way back, the
// work's closure, the queue's entry), counted against the bounds.
constexpr std::size_t kWaitingCallBytes = 256;

BusService::Record& RecordOf(void* userdata) {
    return *static_cast<BusService::Record*>(userdata);
}

// A retained service for a record, or null when it is gone.
IOService* CopyService(const BusService::Record& record) {
    return record.id == 0 ? nullptr : IOService::copyServiceWithID(record.id);
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

// What a property list takes in memory, roughly: per value and per byte.
std::size_t Footprint(const PropertyList& value) {
    std::size_t bytes = 64;
    if (const std::string* text = value.AsString()) {
        bytes += text->size();
    } else if (const PropertyList::Array* array = value.AsArray()) {
        for (const PropertyList& element : *array) {
            bytes += Footprint(element);
        }
    } else if (const PropertyList::Dictionary* dictionary = value.AsDictionary()) {
        for (const auto& [key, element] : *dictionary) {
            bytes += key.size() + Footprint(element);
        }
    }
    return bytes;
}

std::string InstanceName(std::uint64_t id) {
    return "driver instance " + std::to_string(id);
}

int SetProperties(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    Record& record = RecordOf(userdata);
    BusService* owner = record.owner;
    const std::uint64_t id = record.id;
    return owner->Submit(call, Action::Configure, error, [&](Prepared& prepared, sd_bus_error* e) {
        BusPropertyListResult properties = ReadPropertyList(call);
        if (!properties.Ok()) {
            return sd_bus_error_setf(e, SD_BUS_ERROR_INVALID_ARGS, "Unusable property list: %.*s",
                                     static_cast<int>(properties.reason.size()),
                                     properties.reason.data());
        }
        prepared.bytes = Footprint(properties.value);
        // The driver's objects are made only once the caller is allowed.
        prepared.work = [owner, id,
                         list = std::make_shared<PropertyList>(std::move(properties.value))](
                            const CallReply& reply) {
            if (id == 0) {
                // The HID system takes no properties, as the base service.
                reply.ReturnStatus(kIOReturnUnsupported);
                return;
            }
            OSObject* object = CreateOSObject(*list);
            if (object == nullptr) {
                reply.Error(SD_BUS_ERROR_INVALID_ARGS, "The properties have no driver form");
                return;
            }
            IOService* service = IOService::copyServiceWithID(id);
            if (service == nullptr) {
                OSSafeReleaseNULL(object);
                reply.Error(SD_BUS_ERROR_UNKNOWN_OBJECT, "The service is gone");
                return;
            }
            const IOReturn status = service->setProperties(object);
            service->release();
            OSSafeReleaseNULL(object);
            owner->Note(reply.Caller(), "set the properties of " + InstanceName(id));
            reply.ReturnStatus(status);
        };
        return 0;
    });
}

int Subscribe(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    Record& record = RecordOf(userdata);
    BusService* owner = record.owner;
    const std::string path = record.path;
    const std::uint64_t id = record.id;
    return owner->Submit(call, Action::Subscribe, error, [&](Prepared& prepared, sd_bus_error*) {
        prepared.work = [owner, path, id](const CallReply& reply) {
            Record* current = owner->FindRecord(path.c_str());
            if (current == nullptr) {
                reply.Error(SD_BUS_ERROR_UNKNOWN_OBJECT, "The service is gone");
                return;
            }
            if (current->subscribers.insert(reply.Caller()).second && id != 0) {
                owner->Note(reply.Caller(), "follows " + InstanceName(id));
            }
            reply.ReturnNothing();
        };
        return 0;
    });
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
    // Letting go of what the caller holds can only lower what is held.
    const char* sender = sd_bus_message_get_sender(call);
    const std::optional<Action> check =
        sender != nullptr && owner->Posted().OnlyReleases(sender, *action)
            ? std::nullopt
            : std::optional<Action>(Action::PostEvents);
    return owner->Submit(call, check, error, [&](Prepared& prepared, sd_bus_error*) {
        prepared.work = [owner, action = std::move(*action)](const CallReply& reply) {
            reply.ReturnStatus(owner->Play(reply.Caller(), action));
        };
        return 0;
    });
}

int SetAcceleration(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    BusService* owner = RecordOf(userdata).owner;
    return owner->Submit(call, Action::Configure, error, [&](Prepared& prepared, sd_bus_error* e) {
        const char* key = nullptr;
        double value = 0.0;
        if (sd_bus_message_read(call, "sd", &key, &value) < 0) {
            return InvalidArgs(e, "Malformed acceleration");
        }
        std::string name(key);
        if ((name != kIOHIDMouseAccelerationType && name != kIOHIDMouseScrollAccelerationType) ||
            !std::isfinite(value)) {
            return InvalidArgs(e, "Unknown acceleration or value");
        }
        prepared.work = [owner, name = std::move(name), value](const CallReply& reply) {
            const bool stored = owner->Gains().Set(name, value);
            if (stored) {
                char text[32];
                std::snprintf(text, sizeof text, "%g", value);
                owner->Note(reply.Caller(), "set " + name + " to " + text);
            }
            reply.ReturnStatus(stored ? kIOReturnSuccess : kIOReturnBadArgument);
        };
        return 0;
    });
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
    // Anyone may send anyone this signal; only the bus driver's counts.
    if (IsFromBusDriver(signal) &&
        sd_bus_message_read(signal, "sss", &name, &oldOwner, &newOwner) >= 0 && name[0] == ':' &&
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
    : fBus(bus),
      fMessages(messages),
      fGains(gains),
      fPosted(posted),
      fAuthority(bus, {[this](const std::string& client) { Settle(client); },
                       [this](const std::string& client) { SessionLost(client); }}),
      fRefusals(bus),
      fHeapTrim(bus) {
    fHIDSystem.owner = this;
    fHIDSystem.path = kHIDSystemPath;
    fHIDSystem.classes = {IOHIDSystem::gMetaClass.getClassName()};
}

BusService::~BusService() {
    for (sd_bus_slot* slot : fSlots) {
        sd_bus_slot_unref(slot);
    }
}

int BusService::Start() {
    int status = fAuthority.Start();
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
        return sd_bus_match_signal(fBus, slot, kBusDriverName, "/org/freedesktop/DBus",
                                   kBusDriverName, "NameOwnerChanged", NameOwnerChanged, this);
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

int BusService::Submit(sd_bus_message* call, std::optional<Action> action, sd_bus_error* error,
                       const Prepare& prepare) {
    fHeapTrim.Touch();
    const char* sender = sd_bus_message_get_sender(call);
    if (sender == nullptr) {
        return sd_bus_error_set(error, SD_BUS_ERROR_ACCESS_DENIED, "No sender");
    }
    const std::string client = sender;
    const bool waitsBehindOthers = fWaiting.contains(client);
    ClientAuthority::Decision decision = ClientAuthority::Decision::Allowed;
    if (action && !waitsBehindOthers) {
        decision = fAuthority.Decide(client, *action);
    }
    if (decision == ClientAuthority::Decision::Denied) {
        fRefusals.Count(fAuthority.UidOf(client), RefusalLog::Reason::NotAuthorised);
        return sd_bus_error_set(error, SD_BUS_ERROR_ACCESS_DENIED, "Not authorised");
    }
    Prepared prepared;
    if (const int status = prepare(prepared, error); status < 0) {
        return status;
    }
    CallReply reply(call);
    if (decision == ClientAuthority::Decision::Allowed && !waitsBehindOthers) {
        prepared.work(reply);
        return 1;
    }
    const std::size_t bytes = kWaitingCallBytes + client.size() + prepared.bytes;
    if (!HasRoom(client, bytes)) {
        fRefusals.Count(fAuthority.UidOf(client), RefusalLog::Reason::OverLimits);
        return sd_bus_error_set(error, kLimitsExceededError,
                                "Too much work waits for this caller's authorisation");
    }
    reply.Defer();
    fWaiting[client].push_back({std::move(reply), action, bytes, std::move(prepared.work)});
    ++fWaitingCount;
    fWaitingBytes += bytes;
    return 1;
}

bool BusService::HasRoom(const std::string& client, std::size_t bytes) const {
    if (fWaitingCount + 1 > kMaxWaiting || fWaitingBytes + bytes > kMaxWaitingBytes) {
        return false;
    }
    std::size_t clientCount = 0;
    std::size_t clientBytes = 0;
    if (const auto found = fWaiting.find(client); found != fWaiting.end()) {
        clientCount = found->second.size();
        for (const Waiting& call : found->second) {
            clientBytes += call.bytes;
        }
    }
    if (clientCount + 1 > kMaxWaitingPerClient || clientBytes + bytes > kMaxWaitingBytesPerClient) {
        return false;
    }
    // A user's connections share one bound, once the bus has said whose they are.
    const std::optional<uid_t> uid = fAuthority.UidOf(client);
    return !uid || WaitingOfUser(*uid) + 1 <= kMaxWaitingPerUser;
}

std::size_t BusService::WaitingOfUser(uid_t uid) const {
    std::size_t count = 0;
    for (const auto& [client, calls] : fWaiting) {
        if (fAuthority.UidOf(client) == uid) {
            count += calls.size();
        }
    }
    return count;
}

void BusService::Settle(const std::string& client) {
    auto waiting = fWaiting.find(client);
    if (waiting == fWaiting.end()) {
        return;
    }
    // Calls made before the bus said whose they are: the latest of them go
    // when the user's connections hold too many.
    if (const std::optional<uid_t> uid = fAuthority.UidOf(client)) {
        for (std::size_t userCount = WaitingOfUser(*uid);
             userCount > kMaxWaitingPerUser && !waiting->second.empty(); --userCount) {
            Waiting call = std::move(waiting->second.back());
            waiting->second.pop_back();
            --fWaitingCount;
            fWaitingBytes -= call.bytes;
            fRefusals.Count(uid, RefusalLog::Reason::OverLimits);
            call.reply.Error(kLimitsExceededError,
                             "Too much work waits for this user's authorisation");
        }
    }
    while (!waiting->second.empty()) {
        Waiting& next = waiting->second.front();
        const ClientAuthority::Decision decision = next.action
                                                       ? fAuthority.Decide(client, *next.action)
                                                       : ClientAuthority::Decision::Allowed;
        if (decision == ClientAuthority::Decision::Later) {
            return;
        }
        Waiting call = std::move(next);
        waiting->second.pop_front();
        --fWaitingCount;
        fWaitingBytes -= call.bytes;
        if (decision == ClientAuthority::Decision::Allowed) {
            call.work(call.reply);
        } else {
            fRefusals.Count(fAuthority.UidOf(client), RefusalLog::Reason::NotAuthorised);
            call.reply.Error(SD_BUS_ERROR_ACCESS_DENIED, "Not authorised");
        }
        // The work may have let the client go.
        waiting = fWaiting.find(client);
        if (waiting == fWaiting.end()) {
            return;
        }
    }
    fWaiting.erase(waiting);
}

void BusService::Drop(std::map<std::string, std::deque<Waiting>>::iterator waiting) {
    for (const Waiting& call : waiting->second) {
        --fWaitingCount;
        fWaitingBytes -= call.bytes;
    }
    fWaiting.erase(waiting);
}

IOReturn BusService::Play(const std::string& client, const PostedAction& action) {
    const IOReturn status = fPosted.Play(client, fAuthority.UidOf(client).value_or(0), action,
                                         PostedEvents::Clock::now());
    if (status == kIOReturnNotPermitted) {
        fRefusals.Count(fAuthority.UidOf(client), RefusalLog::Reason::TooFast);
    }
    return status;
}

void BusService::Note(const std::string& client, const std::string& what) {
    const std::optional<uid_t> uid = fAuthority.UidOf(client);
    SystemLog("Client " + client + (uid ? " (uid " + std::to_string(*uid) + ")" : "") + " " + what);
}

void BusService::SessionLost(const std::string& client) {
    // What it held would stay down for whoever uses the seat now.
    fPosted.ReleaseAll(client);
}

void BusService::ClientLeft(const std::string& name) {
    fHIDSystem.subscribers.erase(name);
    for (auto& [id, record] : fInstances) {
        record->subscribers.erase(name);
    }
    // Calls still waiting for their check never take effect.
    if (auto waiting = fWaiting.find(name); waiting != fWaiting.end()) {
        Drop(waiting);
    }
    fPosted.ReleaseAll(name);
    fAuthority.ClientLeft(name);
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
    // What another user does with the mouse is not told to a subscriber whose
    // session is not the active one; the instance's end is.
    const bool buttons = message.type != kIOMessageServiceIsTerminated;
    for (const std::string& subscriber : record.subscribers) {
        if (buttons && !fAuthority.HasActiveSession(subscriber)) {
            continue;
        }
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
