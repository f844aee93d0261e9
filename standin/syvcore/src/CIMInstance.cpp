#include "CIMInstance.h"

#include "CIMProperty.h"
#include "CIMTypeNames.h"
#include "syvcore/ValueTypeName.h"
#include "QueryFrame.h"
#include "host/TSYVException.h"

#include <boost/make_shared.hpp>

#include <utility>

namespace syv {
namespace detail {

using NORNSYV20::TCIMValue;
using NORNSYV20::TSYVException;
using NORNSYV20::TSYVStatusCode;

namespace {

// Enough for the served classes' properties: one allocation per instance
// instead of a growing series.
const std::size_t kTypicalPropertyCount = 12;

}  // namespace

CIMInstance::CIMInstance(std::string className, boost::shared_ptr<NORNSYV20::ICIMNamespace> ns,
                         boost::shared_ptr<const Schema> schema, const ClassDefinition* definition)
    : className_(std::move(className)), ns_(std::move(ns)), schema_(std::move(schema)), definition_(definition) {
    properties_.reserve(kTypicalPropertyCount);
}

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
        CommittedInstance committed{className_, MakeReference().ToObjectPath(), {}};
        committed.properties.reserve(properties_.size());
        for (const Property& property : properties_) {
            committed.properties.emplace_back(property.declared->name, property.value);
        }
        report->instances.push_back(std::move(committed));
    } else {
        query->Committed().push_back(shared_from_this());
    }
    committed_ = true;
}

NORNSYV20::TCIMReference CIMInstance::GetReference(NORNSYV20::TCIMValueMap /*context*/) { return MakeReference(); }

// The key properties that hold a value; a key never set is left out rather
// than guessed.
const NORNSYV20::TCIMReference& CIMInstance::MakeReference() const {
    if (!reference_) {
        NORNSYV20::TCIMValueMap keys;
        for (const Property& property : properties_) {
            if (property.isKey && !property.value.IsNull()) {
                keys.emplace(property.declared->name, property.value);
            }
        }
        reference_.emplace(ns_, className_, std::move(keys));
    }
    return *reference_;
}

boost::shared_ptr<NORNSYV20::ICIMProperty> CIMInstance::GetProperty(const std::string& name,
                                                                    NORNSYV20::TCIMValueMap /*context*/) {
    for (const Property& property : properties_) {
        if (property.declared->name == name) return boost::make_shared<CIMProperty>(property.value);
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
    for (Property& property : properties_) {
        if (property.declared == declared) {
            property.value = value;
            if (property.isKey) reference_.reset();
            return;
        }
    }
    properties_.push_back(Property{declared, schema_->IsKey(*definition_, name), value});
    if (properties_.back().isKey) reference_.reset();
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
