#include "CIMClass.h"

#include "CIMInstance.h"
#include "PluginManager.h"
#include "QueryFrame.h"
#include "host/IPluginBasicQueryCallbacks.h"
#include "host/TSYVException.h"

#include <boost/make_shared.hpp>

#include <vector>

namespace syv {
namespace detail {

using NORNSYV20::TSYVException;
using NORNSYV20::TSYVStatusCode;

CIMClass::CIMClass(std::string name, boost::shared_ptr<NORNSYV20::ICIMNamespace> ns,
                   boost::shared_ptr<const Schema> schema, const ClassDefinition* definition)
    : name_(std::move(name)), ns_(std::move(ns)), schema_(std::move(schema)), definition_(definition) {}

const std::string& CIMClass::GetName(NORNSYV20::TCIMValueMap /*context*/) { return name_; }

void CIMClass::RequireDefinition() const {
    if (!definition_) {
        throw TSYVException(TSYVStatusCode(TSYVStatusCode::kUnknownClass), name_ + " in namespace " + ns_->GetName());
    }
}

boost::shared_ptr<NORNSYV20::ICIMInstance> CIMClass::CreateInstance(NORNSYV20::TCIMValueMap /*context*/) {
    RequireDefinition();
    return boost::make_shared<CIMInstance>(ns_, schema_, definition_);
}

void CIMClass::EnumerateInstances(NORNSYV20::TCIMInstanceCallback callback, bool deep,
                                  NORNSYV20::TCIMValueMap /*context*/) {
    RequireDefinition();
    if (callback.empty()) {
        throw TSYVException(TSYVStatusCode(TSYVStatusCode::kFailed), "enumeration of " + name_ + " without a callback");
    }
    NORNSYV20::IPluginBasicQueryCallbacks& provider = QueryInterfaceOfFirstPlugin();

    std::vector<boost::shared_ptr<CIMInstance>> committed;
    {
        QueryFrame nested(nullptr);
        const std::vector<boost::shared_ptr<NORNSYV20::ICIMClass>> requested{shared_from_this()};
        provider.QueryInstances(ns_, requested);
        committed.swap(nested.Committed());
    }

    for (const boost::shared_ptr<CIMInstance>& instance : committed) {
        const std::string& className = instance->GetClassName();
        const bool wanted = className == name_ || (deep && schema_->DerivesFrom(className, name_));
        if (wanted && !callback(instance)) return;
    }
}

}  // namespace detail
}  // namespace syv
