// The namespace that queries run in. Its classes are those of the schema
// loaded last; a class object keeps the schema it was made from, so that
// loading another schema never invalidates objects handed out before.
#ifndef SYVCORE_QUERYNAMESPACE_H
#define SYVCORE_QUERYNAMESPACE_H

#include "syvcore/Schema.h"
#include "host/ICIMNamespace.h"

#include <boost/enable_shared_from_this.hpp>
#include <boost/shared_ptr.hpp>

#include <string>
#include <utility>

namespace syv {
namespace detail {

class QueryNamespace : public NORNSYV20::ICIMNamespace, public boost::enable_shared_from_this<QueryNamespace> {
public:
    QueryNamespace();

    // Never throws: a name the schema does not know (letter case counts)
    // gives an undefined class, which keeps its name.
    boost::shared_ptr<NORNSYV20::ICIMClass> GetClass(const std::string& className,
                                                     NORNSYV20::TCIMValueMap context) override;
    const std::string& GetName() const override;

    void SetSchema(boost::shared_ptr<const Schema> schema) { schema_ = std::move(schema); }
    const boost::shared_ptr<const Schema>& GetSchema() const { return schema_; }

private:
    boost::shared_ptr<const Schema> schema_;
};

// The process-wide namespace, "root/ornsg".
const boost::shared_ptr<QueryNamespace>& TheQueryNamespace();

}  // namespace detail
}  // namespace syv

#endif
