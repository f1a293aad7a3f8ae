#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "PropertyList.h"

namespace platform {

// Where persistent domains are kept. Each domain is a dictionary.
class UserDefaultsBackend {
public:
    virtual ~UserDefaultsBackend() = default;
    virtual std::optional<PropertyList::Dictionary> Read(const std::string& domain) = 0;
    // Replaces the stored domain; none removes it.
    // Returns whether it was stored.
    virtual bool Write(const std::string& domain,
                       const std::optional<PropertyList::Dictionary>& contents) = 0;
};

// The program's user defaults. Changes are kept in memory until
// synchronize(), which stores every changed domain; reads see the changes at
// once. The program's own domain (the standard user defaults) is named by
// SetApplicationDomain.
class NSUserDefaults {
public:
    static NSUserDefaults& standardUserDefaults();

    std::optional<PropertyList::Dictionary> persistentDomainForName(const std::string& name);
    void setPersistentDomain(PropertyList::Dictionary domain, const std::string& name);
    void removePersistentDomainForName(const std::string& name);
    // Removes the key from the program's own domain.
    void removeObjectForKey(std::string_view key);
    // Stores the changed domains; true when all were stored.
    bool synchronize();

    void SetApplicationDomain(std::string name) { fApplicationDomain = std::move(name); }
    const std::string& ApplicationDomain() const { return fApplicationDomain; }

private:
    friend std::unique_ptr<UserDefaultsBackend> InstallUserDefaultsBackend(
        std::unique_ptr<UserDefaultsBackend> backend);

    std::optional<PropertyList::Dictionary>& Cached(const std::string& name);

    std::unique_ptr<UserDefaultsBackend> fBackend;
    std::map<std::string, std::optional<PropertyList::Dictionary>, std::less<>> fCache;
    std::map<std::string, bool, std::less<>> fChanged;
    std::string fApplicationDomain = "Halvorin";
};

// In memory, for the simulation and tests.
class SimulatedUserDefaults final : public UserDefaultsBackend {
public:
    std::optional<PropertyList::Dictionary> Read(const std::string& domain) override;
    bool Write(const std::string& domain,
               const std::optional<PropertyList::Dictionary>& contents) override;

private:
    std::map<std::string, PropertyList::Dictionary, std::less<>> fDomains;
};

// Installs the backend and forgets what the defaults had cached; returns the
// previous backend. Until one is installed the defaults are in memory.
std::unique_ptr<UserDefaultsBackend> InstallUserDefaultsBackend(
    std::unique_ptr<UserDefaultsBackend> backend);

}  // namespace platform
