#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "IOTypes.h"
#include "OSDictionary.h"
#include "OSObject.h"

// A registry entry that offers a service: registry properties, interest
// clients that receive its messages, and a place in the registry of live
// services, where user-side code finds it by class name.
//
// Threading: the property and interest operations are made from one thread
// at a time (the host's); messageClients may be called from inside an interest
// handler, and handlers may unregister themselves while being called.
// The live-service registry may be used from any thread.
class IOService : public OSObject {
    OSDeclareDefaultStructors(IOService);

public:
    // (the service that sends, message type, argument, argument size)
    using InterestHandler = std::function<void(IOService& provider, std::uint32_t messageType,
                                               void* argument, std::size_t argumentSize)>;
    // Names one interest registration; 0 is never a valid one.
    using InterestNotifierID = std::uint64_t;

    IOService() = default;

    // Makes the registry properties a copy of dictionary (empty when null).
    virtual bool init(OSDictionary* dictionary = nullptr);
    // What a client's property request reaches. The base accepts nothing and
    // returns kIOReturnUnsupported.
    virtual IOReturn setProperties(OSObject* properties);

    // The registry class name of the entry: the name of the object's class.
    const char* getName() const { return getMetaClass()->getClassName(); }

    // Registry properties. getProperty returns the object not retained.
    bool setProperty(std::string_view key, OSObject* value);
    bool setProperty(std::string_view key, std::uint64_t number, unsigned numberOfBits);
    OSObject* getProperty(std::string_view key) const;
    // A new shallow copy of all properties; the caller releases it.
    OSDictionary* dictionaryWithProperties() const;

    // Interest clients. Only kIOGeneralInterest is known; any other type
    // yields 0. Unregistering an unknown id returns false.
    InterestNotifierID registerInterest(std::string_view typeOfInterest, InterestHandler handler);
    bool unregisterInterest(InterestNotifierID notifier);
    // Calls every general-interest handler, in registration order,
    // synchronously. Allocates nothing. Always kIOReturnSuccess.
    IOReturn messageClients(std::uint32_t type, void* argument = nullptr,
                            std::size_t argumentSize = 0);

    // Live-service registry. registerService publishes the service (the
    // registry holds a reference) and gives it a registry entry id; terminate
    // sends kIOMessageServiceIsTerminated to the clients, drops them and
    // removes the service. Both are idempotent.
    void registerService();
    void terminate();
    // The id given by registerService, 0 before.
    std::uint64_t getRegistryEntryID() const { return fRegistryEntryID; }

    // The live services whose class is className or derives from it, in
    // registration order; each is retained for the caller, who releases it.
    static std::vector<IOService*> copyMatchingServices(std::string_view className);
    // The live service with that registry entry id, retained, or null.
    static IOService* copyServiceWithID(std::uint64_t registryEntryID);

protected:
    ~IOService() override;

private:
    struct InterestClient {
        InterestNotifierID id;
        std::shared_ptr<const InterestHandler> handler;
    };

    void SweepInterestClients();

    OSDictionary* fProperties = nullptr;
    std::vector<InterestClient> fInterestClients;
    InterestNotifierID fNextInterestID = 1;
    int fDispatchDepth = 0;
    std::uint64_t fRegistryEntryID = 0;
};
