#include "UserDefaults.h"

#include <utility>

namespace platform {

NSUserDefaults& NSUserDefaults::standardUserDefaults() {
    static NSUserDefaults defaults;
    if (!defaults.fBackend) {
        defaults.fBackend = std::make_unique<SimulatedUserDefaults>();
    }
    return defaults;
}

std::optional<PropertyList::Dictionary>& NSUserDefaults::Cached(const std::string& name) {
    auto found = fCache.find(name);
    if (found == fCache.end()) {
        found = fCache.emplace(name, fBackend->Read(name)).first;
    }
    return found->second;
}

std::optional<PropertyList::Dictionary> NSUserDefaults::persistentDomainForName(
    const std::string& name) {
    return Cached(name);
}

void NSUserDefaults::setPersistentDomain(PropertyList::Dictionary domain, const std::string& name) {
    Cached(name) = std::move(domain);
    fChanged[name] = true;
}

void NSUserDefaults::removePersistentDomainForName(const std::string& name) {
    Cached(name).reset();
    fChanged[name] = true;
}

void NSUserDefaults::removeObjectForKey(std::string_view key) {
    std::optional<PropertyList::Dictionary>& domain = Cached(fApplicationDomain);
    if (domain) {
        const auto found = domain->find(key);
        if (found != domain->end()) {
            domain->erase(found);
            fChanged[fApplicationDomain] = true;
        }
    }
}

bool NSUserDefaults::synchronize() {
    bool stored = true;
    for (const auto& [name, changed] : fChanged) {
        if (changed && !fBackend->Write(name, fCache[name])) {
            stored = false;
        }
    }
    fChanged.clear();
    return stored;
}

std::optional<PropertyList::Dictionary> SimulatedUserDefaults::Read(const std::string& domain) {
    const auto found = fDomains.find(domain);
    if (found == fDomains.end()) {
        return std::nullopt;
    }
    return found->second;
}

bool SimulatedUserDefaults::Write(const std::string& domain,
                                  const std::optional<PropertyList::Dictionary>& contents) {
    if (contents) {
        fDomains[domain] = *contents;
    } else {
        fDomains.erase(domain);
    }
    return true;
}

std::unique_ptr<UserDefaultsBackend> InstallUserDefaultsBackend(
    std::unique_ptr<UserDefaultsBackend> backend) {
    NSUserDefaults& defaults = NSUserDefaults::standardUserDefaults();
    defaults.fCache.clear();
    defaults.fChanged.clear();
    return std::exchange(defaults.fBackend, std::move(backend));
}

}  // namespace platform
