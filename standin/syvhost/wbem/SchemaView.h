// One namespace's classes as a CIM client addresses them: syvcore's schema
// looked up by name in any letter case, and object paths matched against
// instances by their keys. The class rules (inheritance, members, keys) stay
// syvcore's; this adds only what CIM-XML clients need on top.
#ifndef SYVHOST_WBEM_SCHEMAVIEW_H
#define SYVHOST_WBEM_SCHEMAVIEW_H

#include "syvcore/Schema.h"
#include "syvcore/StandinHost.h"

#include <boost/shared_ptr.hpp>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace syv {
namespace wbem {

// A key of an instance: its schema declaration and its value.
typedef std::vector<std::pair<const PropertyDefinition*, const NORNSYV20::TCIMValue*>> KeyValues;

class SchemaView {
public:
    SchemaView(std::string namespaceName, boost::shared_ptr<const Schema> schema);

    const std::string& Namespace() const { return namespace_; }

    // ASCII case-insensitive; null when the schema lacks the class.
    const ClassDefinition* FindClass(std::string_view name) const;

    // The schema's classes in name order.
    const std::vector<const ClassDefinition*>& Classes() const { return classes_; }

    // True when the class is the ancestor or derives from it; the ancestor
    // may be a superclass that the schema names without defining.
    bool DerivesFrom(const ClassDefinition& cls, std::string_view ancestor) const;

    // The schema's classes that are the named class or derive from it.
    std::vector<const ClassDefinition*> ClassesDerivedFrom(std::string_view name) const;

    // True when the name is a class of the schema or a superclass it names.
    bool Knows(std::string_view name) const;

    // The member of the class of that name, in any letter case; null when
    // the class has none.
    static const ClassDefinition::Member* FindMember(const ClassDefinition& cls, std::string_view name);

    // The reference as this namespace spells it: the namespace's own name,
    // the class's and keys' spelling, an unnamed single key named after the
    // class's only key. Names the schema lacks stay as given.
    NORNSYV20::TCIMReference Canonical(const NORNSYV20::TCIMReference& reference) const;

    // The instance's key properties, in name order; absent ones left out.
    KeyValues KeysOf(const ClassDefinition& cls, const CommittedInstance& instance) const;

    // True when the reference names the instance: the same class (any
    // letter case) and equal values of every key. A key the reference leaves
    // unnamed (one KEYVALUE) is the class's only key.
    bool Names(const NORNSYV20::TCIMReference& reference, const ClassDefinition& cls,
               const CommittedInstance& instance) const;

private:
    std::string CanonicalName(std::string_view name) const;

    std::string namespace_;
    boost::shared_ptr<const Schema> schema_;
    std::vector<const ClassDefinition*> classes_;
    std::map<std::string, std::string> canonicalNames_;  // lower case to the schema's spelling
};

// Values equal as CIM compares them: strings byte for byte, integers by
// value whatever their width, references by namespace and class (any letter
// case) and keys, arrays element by element.
bool SameValue(const NORNSYV20::TCIMValue& a, const NORNSYV20::TCIMValue& b);
bool SameReference(const NORNSYV20::TCIMReference& a, const NORNSYV20::TCIMReference& b);

}  // namespace wbem
}  // namespace syv

#endif
