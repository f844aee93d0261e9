// The shape that both process-wide adapter inventories share. An inventory
// exists from the first collection of its adapter kind until the plug-in is
// shut down; its existence is what says that discovery has run.
#ifndef VELKOR_DISCOVERY_ADAPTERINVENTORY_H
#define VELKOR_DISCOVERY_ADAPTERINVENTORY_H

#include "discovery/AdapterRecord.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velkor {

// Derived is the inventory class itself, so that each kind has its own
// singleton. Not synchronised: the host runs one query at a time. Everything
// handed out is a copy.
template <class Derived>
class AdapterInventory {
public:
    AdapterInventory(const AdapterInventory&) = delete;
    AdapterInventory& operator=(const AdapterInventory&) = delete;

    // The inventory, or null while it is absent.
    static Derived* Instance() { return instance_.get(); }

    // Makes a new empty inventory the instance. Callers check Instance()
    // first; an existing one would be destroyed, not leaked.
    static void Create() { instance_.reset(new Derived()); }

    // Destroys the instance, if there is one.
    static void Destroy() { instance_.reset(); }

    void AddAdapter(const AdapterRecord& record) { adapters_.push_back(record); }
    std::vector<AdapterRecord> GetAdapters() const { return adapters_; }

    void AddElementName(std::uint32_t index, std::string name) {
        elementNames_.emplace_back(index, std::move(name));
    }
    std::vector<ElementName> GetElementNames() const { return elementNames_; }

protected:
    AdapterInventory() = default;
    ~AdapterInventory() = default;

private:
    static inline std::unique_ptr<Derived> instance_;

    std::vector<AdapterRecord> adapters_;
    std::vector<ElementName> elementNames_;
};

}  // namespace velkor

#endif
