#include "QueryNamespace.h"

#include "CIMClass.h"

#include <boost/make_shared.hpp>

namespace syv {
namespace detail {

QueryNamespace::QueryNamespace() : schema_(boost::make_shared<const Schema>()) {}

boost::shared_ptr<NORNSYV20::ICIMClass> QueryNamespace::GetClass(const std::string& className,
                                                                 NORNSYV20::TCIMValueMap /*context*/) {
    return boost::make_shared<CIMClass>(className, shared_from_this(), schema_, schema_->FindClass(className));
}

const std::string& QueryNamespace::GetName() const {
    static const std::string name = "root/ornsg";
    return name;
}

const boost::shared_ptr<QueryNamespace>& TheQueryNamespace() {
    static const boost::shared_ptr<QueryNamespace> ns = boost::make_shared<QueryNamespace>();
    return ns;
}

}  // namespace detail
}  // namespace syv
