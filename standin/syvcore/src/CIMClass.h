// A class as the namespace hands it out: named exactly as it was asked for,
// defined when the schema knows the name and undefined otherwise (an
// undefined class still has its name, so that a plug-in can refuse it).
#ifndef SYVCORE_CIMCLASS_H
#define SYVCORE_CIMCLASS_H

#include "syvcore/Schema.h"
#include "host/ICIMClass.h"
#include "host/ICIMNamespace.h"

#include <boost/enable_shared_from_this.hpp>
#include <boost/shared_ptr.hpp>

#include <string>

namespace syv {
namespace detail {

class CIMClass : public NORNSYV20::ICIMClass, public boost::enable_shared_from_this<CIMClass> {
public:
    // definition: null for a class the schema does not define; otherwise it
    // belongs to schema, which the class keeps alive.
    CIMClass(std::string name, boost::shared_ptr<NORNSYV20::ICIMNamespace> ns, boost::shared_ptr<const Schema> schema,
             const ClassDefinition* definition);

    const std::string& GetName(NORNSYV20::TCIMValueMap context) override;
    boost::shared_ptr<NORNSYV20::ICIMInstance> CreateInstance(NORNSYV20::TCIMValueMap context) override;

    // Asks the registered plug-in, through a nested query for this class
    // alone, and delivers what it commits there, in commit order: instances
    // of this class, and of its subclasses when deep is set.
    void EnumerateInstances(NORNSYV20::TCIMInstanceCallback callback, bool deep,
                            NORNSYV20::TCIMValueMap context) override;

private:
    void RequireDefinition() const;

    std::string name_;
    boost::shared_ptr<NORNSYV20::ICIMNamespace> ns_;
    boost::shared_ptr<const Schema> schema_;
    const ClassDefinition* definition_;
};

}  // namespace detail
}  // namespace syv

#endif
