// The namespaces the server serves: each one's classes, and where the
// instances of those classes come from (the plug-in, or the server itself).
#ifndef SYVHOST_WBEM_CIMNAMESPACE_H
#define SYVHOST_WBEM_CIMNAMESPACE_H

#include "CimRequest.h"
#include "SchemaView.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace syv {
namespace wbem {

typedef std::function<void(const ClassDefinition& cls, const CommittedInstance& instance)> InstanceVisitor;

class CimNamespace {
public:
    explicit CimNamespace(SchemaView schema) : schema_(std::move(schema)) {}
    virtual ~CimNamespace() = default;

    const SchemaView& Schema() const { return schema_; }
    const std::string& Name() const { return schema_.Namespace(); }

    // Query thread. Calls each for every instance of the classes (the
    // schema's own) as it comes; throws CimError with CIM_ERR_FAILED and the
    // reason when they cannot all be had.
    virtual void Enumerate(const std::vector<const ClassDefinition*>& classes, const InstanceVisitor& each) = 0;

private:
    SchemaView schema_;
};

class Namespaces {
public:
    // The namespace also answers to the aliases.
    void Add(std::unique_ptr<CimNamespace> ns, std::vector<std::string> aliases = {});

    // By name or alias, in any letter case; null when none.
    CimNamespace* Find(std::string_view name) const;

    // Every namespace, in the order added.
    std::vector<CimNamespace*> All() const;

private:
    struct Entry {
        std::unique_ptr<CimNamespace> ns;
        std::vector<std::string> aliases;
    };
    std::vector<Entry> entries_;
};

}  // namespace wbem
}  // namespace syv

#endif
