#include "CIMInstance.h"

#include "CIMProperty.h"
#include "CIMTypeNames.h"
#include "syvcore/ValueTypeName.h"
#include "QueryFrame.h"
#include "host/TSYVException.h"

#include <boost/make_shared.hpp>

namespace syv {
namespace detail {

using NORNSYV20::TCIMValue;
using NORNSYV20::TSYVException;
using NORNSYV20::TSYVStatusCode;

CIMInstance::CIMInstance(std::string className, boost::shared_ptr<NORNSYV20::ICIMNamespace> ns,
                         boost::shared_ptr<const Schema> schema, const ClassDefinition* definition)
    : className_(std::move(className)), ns_(std::move(ns)), schema_(std::move(schema)), definition_(definition) {}

void CIMInstance::Commit(NORNSYV20::TCIMValueMap /*context*/) {
    if (committed_) {
        throw TSYVException(TSYVStatusCode(TSYVStatusCode::kAlreadyCommitted), "an instance of " + className_);
    }
    QueryFrame* query = InnermostQuery();
    if (!query) {
        throw TSYVException(TSYVStatusCode(TSYVStatusCode::kNoQueryRunning),
                            "cannot commit an instance of " + className_);
    }
    if (QueryReport* report = query->Report()) {
        report->instances.push_back(CommittedInstance{className_, MakeReference().ToObjectPath(), properties_});
    } else {
        query->Committed().push_back(shared_from_this());
    }
    committed_ = true;
}

NORNSYV20::TCIMReference CIMInstance::GetReference(NORNSYV20::TCIMValueMap /*context*/) { return MakeReference(); }

// The key properties that hold a value; a key never set is left out rather
// than guessed.
NORNSYV20::TCIMReference CIMInstance::MakeReference() const {
    NORNSYV20::TCIMValueMap keys;
    for (const auto& property : properties_) {
        if (!property.second.IsNull() && schema_->IsKey(*definition_, property.first)) {
            keys.emplace(property.first, property.second);
        }
    }
    return NORNSYV20::TCIMReference(ns_, className_, keys);
}

boost::shared_ptr<NORNSYV20::ICIMProperty> CIMInstance::GetProperty(const std::string& name,
                                                                    NORNSYV20::TCIMValueMap /*context*/) {
    for (const auto& property : properties_) {
        if (property.first == name) return boost::make_shared<CIMProperty>(property.second);
    }
    return boost::shared_ptr<NORNSYV20::ICIMProperty>();
}

void CIMInstance::SetProperty(const std::string& name, const TCIMValue& value, NORNSYV20::TCIMValueMap /*context*/) {
    const PropertyDefinition* declared = schema_->FindProperty(*definition_, name);
    if (!declared) {
        throw TSYVException(TSYVStatusCode(TSYVStatusCode::kUnknownProperty),
                            "class " + className_ + " has no property " + name);
    }
    CheckType(*declared, value);
    for (auto& property : properties_) {
        if (property.first == name) {
            property.second = value;
            return;
        }
    }
    properties_.emplace_back(name, value);
}

// A null value fits any property; otherwise scalar properties take the value
// kind of their type and array properties an array of their element type.
void CIMInstance::CheckType(const PropertyDefinition& declared, const TCIMValue& value) const {
    if (value.IsNull()) return;
    bool fits = false;
    if (declared.isArray) {
        fits = value.GetKind() == TCIMValue::eArray && value.GetElementType() == declared.type;
    } else {
        const TCIMValue::EKind kind = KindOfType(declared.type);
        fits = kind != TCIMValue::eNull && value.GetKind() == kind;
    }
    if (!fits) {
        const std::string type = CIMTypeName(declared.type) + (declared.isArray ? "[]" : "");
        throw TSYVException(TSYVStatusCode(TSYVStatusCode::kWrongValueType),
                            "property " + className_ + "." + declared.name + " is " + type + ", the value holds " +
                                syv::ValueTypeName(value));
    }
}

}  // namespace detail
}  // namespace syv
