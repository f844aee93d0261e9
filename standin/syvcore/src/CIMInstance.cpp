#include "CIMInstance.h"

#include "CIMProperty.h"
#include "CIMTypeNames.h"
#include "syvcore/ValueTypeName.h"
#include "QueryFrame.h"
#include "ReferenceImpl.h"
#include "host/ILogger.h"
#include "host/TRootObject.h"
#include "host/TSYVException.h"
#include "syvcore/ReportText.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <utility>

namespace syv {
namespace detail {

using NORNSYV20::TCIMValue;
using NORNSYV20::TSYVException;
using NORNSYV20::TSYVStatusCode;

namespace {

bool IsUtf8(const TCIMValue& value) {
    switch (value.GetKind()) {
        case TCIMValue::eString: return syv::IsUtf8(value.GetString());
        case TCIMValue::eReference: return syv::IsUtf8(value.GetReference().ToObjectPath());
        case TCIMValue::eArray:
            return std::all_of(value.GetElements().begin(), value.GetElements().end(),
                               [](const TCIMValue& element) { return IsUtf8(element); });
        default: return true;
    }
}

// Whether every text of the record is UTF-8. The names are the schema's
// identifiers, and the path holds nothing else but key values, which are
// among the properties.
bool IsUtf8(const CommittedInstance& instance) {
    return std::all_of(instance.properties.begin(), instance.properties.end(),
                       [](const auto& property) { return IsUtf8(property.second); });
}

}  // namespace

CIMInstance::CIMInstance(boost::shared_ptr<NORNSYV20::ICIMNamespace> ns, boost::shared_ptr<const Schema> schema,
                         const ClassDefinition* definition)
    : ns_(std::move(ns)), schema_(std::move(schema)), definition_(definition) {
    properties_.reserve(definition_->members.size());
}

void CIMInstance::Commit(NORNSYV20::TCIMValueMap /*context*/) {
    if (committed_) {
        throw TSYVException(TSYVStatusCode(TSYVStatusCode::kAlreadyCommitted), "an instance of " + GetClassName());
    }
    QueryFrame* query = InnermostQuery();
    if (!query) {
        throw TSYVException(TSYVStatusCode(TSYVStatusCode::kNoQueryRunning),
                            "cannot commit an instance of " + GetClassName());
    }
    if (QueryObserver* observer = query->Observer()) {
        CommittedInstance committed{GetClassName(), MakeReference().ToObjectPath(), {}};
        committed.properties.reserve(properties_.size());
        for (const Property& property : properties_) {
            committed.properties.emplace_back(property.declared->name, property.value);
        }
        if (!query->NotUtf8Noticed() && !IsUtf8(committed)) {
            query->NotUtf8Noticed() = true;
            if (NORNSYV20::ILogger* logger = NORNSYV20::TRootObject::GetCoreLogger()) logger->Log(2, kNotUtf8Notice);
        }
        observer->Committed(std::move(committed));
    } else {
        query->Committed().push_back(shared_from_this());
    }
    committed_ = true;
}

NORNSYV20::TCIMReference CIMInstance::GetReference(NORNSYV20::TCIMValueMap /*context*/) { return MakeReference(); }

// The key properties that hold a value, in name order; a key never set is
// left out rather than guessed. The schema owns the names.
std::vector<NORNSYV20::ReferenceKey> CIMInstance::KeysSet() const {
    std::vector<NORNSYV20::ReferenceKey> keys;
    keys.reserve(definition_->keys.size());
    for (const PropertyDefinition* key : definition_->keys) {
        const auto set = std::find_if(properties_.begin(), properties_.end(),
                                      [key](const Property& property) { return property.declared == key; });
        if (set != properties_.end() && !set->value.IsNull()) keys.push_back({&key->name, set->value});
    }
    return keys;
}

std::string CIMInstance::NamespaceName() const { return ns_ ? ns_->GetName() : std::string(); }

const NORNSYV20::TCIMReference& CIMInstance::MakeReference() const {
    if (!reference_) {
        reference_.emplace(new NORNSYV20::TCIMReference::Impl(NamespaceName(), definition_->name, KeysSet(), schema_));
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
    const ClassDefinition::Member* member = definition_->FindMember(name);
    if (!member) {
        throw TSYVException(TSYVStatusCode(TSYVStatusCode::kUnknownProperty),
                            "class " + GetClassName() + " has no property " + name);
    }
    CheckType(*member, value);
    if (member->isKey) reference_.reset();
    for (Property& property : properties_) {
        if (property.declared == member->declared) {
            property.value = value;
            return;
        }
    }
    properties_.push_back(Property{member->declared, value});
}

// A null value fits any property; otherwise scalar properties take the value
// kind of their type and array properties an array of their element type.
void CIMInstance::CheckType(const ClassDefinition::Member& member, const TCIMValue& value) const {
    const TCIMValue::EKind kind = value.GetKind();
    if (kind == TCIMValue::eNull) return;
    const PropertyDefinition& declared = *member.declared;
    if (kind != member.kind || (kind == TCIMValue::eArray && value.GetElementType() != declared.type)) {
        const std::string type = CIMTypeName(declared.type) + (declared.isArray ? "[]" : "");
        throw TSYVException(TSYVStatusCode(TSYVStatusCode::kWrongValueType),
                            "property " + GetClassName() + "." + declared.name + " is " + type + ", the value holds " +
                                syv::ValueTypeName(value));
    }
}

}  // namespace detail
}  // namespace syv
