#include "CimNamespace.h"

#include "XmlText.h"

namespace syv {
namespace wbem {

void Namespaces::Add(std::unique_ptr<CimNamespace> ns, std::vector<std::string> aliases) {
    entries_.push_back({std::move(ns), std::move(aliases)});
}

CimNamespace* Namespaces::Find(std::string_view name) const {
    for (const Entry& entry : entries_) {
        if (NamesEqual(entry.ns->Name(), name)) return entry.ns.get();
        for (const std::string& alias : entry.aliases) {
            if (NamesEqual(alias, name)) return entry.ns.get();
        }
    }
    return nullptr;
}

std::vector<CimNamespace*> Namespaces::All() const {
    std::vector<CimNamespace*> all;
    for (const Entry& entry : entries_) all.push_back(entry.ns.get());
    return all;
}

}  // namespace wbem
}  // namespace syv
