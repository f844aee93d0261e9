// An instance of a class that the schema defines. Properties are checked
// against the class's declarations and kept in the order first set.
#ifndef SYVCORE_CIMINSTANCE_H
#define SYVCORE_CIMINSTANCE_H

#include "ReferenceImpl.h"
#include "syvcore/Schema.h"
#include "host/ICIMInstance.h"
#include "host/ICIMNamespace.h"

#include <boost/enable_shared_from_this.hpp>
#include <boost/shared_ptr.hpp>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace syv {
namespace detail {

class CIMInstance : public NORNSYV20::ICIMInstance, public boost::enable_shared_from_this<CIMInstance> {
public:
    // definition, the instance's class, belongs to schema, which the instance
    // keeps alive.
    CIMInstance(boost::shared_ptr<NORNSYV20::ICIMNamespace> ns, boost::shared_ptr<const Schema> schema,
                const ClassDefinition* definition);

    void Commit(NORNSYV20::TCIMValueMap context) override;
    NORNSYV20::TCIMReference GetReference(NORNSYV20::TCIMValueMap context) override;
    boost::shared_ptr<NORNSYV20::ICIMProperty> GetProperty(const std::string& name,
                                                           NORNSYV20::TCIMValueMap context) override;
    void SetProperty(const std::string& name, const NORNSYV20::TCIMValue& value,
                     NORNSYV20::TCIMValueMap context) override;

    const std::string& GetClassName() const { return definition_->name; }

private:
    // A property set, with its declaration (owned by the schema).
    struct Property {
        const PropertyDefinition* declared;
        NORNSYV20::TCIMValue value;
    };

    const NORNSYV20::TCIMReference& MakeReference() const;
    std::vector<NORNSYV20::ReferenceKey> KeysSet() const;
    std::string NamespaceName() const;
    void CheckType(const ClassDefinition::Member& member, const NORNSYV20::TCIMValue& value) const;

    boost::shared_ptr<NORNSYV20::ICIMNamespace> ns_;
    boost::shared_ptr<const Schema> schema_;
    const ClassDefinition* definition_;
    std::vector<Property> properties_;
    // Made on first use and dropped when a key changes.
    mutable std::optional<NORNSYV20::TCIMReference> reference_;
    bool committed_ = false;
};

}  // namespace detail
}  // namespace syv

#endif
