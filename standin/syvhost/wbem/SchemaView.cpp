#include "SchemaView.h"

#include "XmlText.h"

#include <algorithm>

namespace syv {
namespace wbem {

namespace {

using NORNSYV20::TCIMReference;
using NORNSYV20::TCIMValue;

std::string Lower(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

}  // namespace

SchemaView::SchemaView(std::string namespaceName, boost::shared_ptr<const Schema> schema)
    : namespace_(std::move(namespaceName)), schema_(std::move(schema)) {
    for (const std::string& name : schema_->ClassNames()) {
        const ClassDefinition* cls = schema_->FindClass(name);
        classes_.push_back(cls);
        canonicalNames_.emplace(Lower(name), name);
    }
    for (const ClassDefinition* cls : classes_) {
        if (!cls->superclass.empty()) canonicalNames_.emplace(Lower(cls->superclass), cls->superclass);
    }
}

std::string SchemaView::CanonicalName(std::string_view name) const {
    const auto found = canonicalNames_.find(Lower(name));
    return found == canonicalNames_.end() ? std::string(name) : found->second;
}

const ClassDefinition* SchemaView::FindClass(std::string_view name) const { return schema_->FindClass(CanonicalName(name)); }

bool SchemaView::Knows(std::string_view name) const { return canonicalNames_.count(Lower(name)) != 0; }

bool SchemaView::DerivesFrom(const ClassDefinition& cls, std::string_view ancestor) const {
    return schema_->DerivesFrom(cls.name, CanonicalName(ancestor));
}

std::vector<const ClassDefinition*> SchemaView::ClassesDerivedFrom(std::string_view name) const {
    std::vector<const ClassDefinition*> derived;
    const std::string ancestor = CanonicalName(name);
    for (const ClassDefinition* cls : classes_) {
        if (schema_->DerivesFrom(cls->name, ancestor)) derived.push_back(cls);
    }
    return derived;
}

const ClassDefinition::Member* SchemaView::FindMember(const ClassDefinition& cls, std::string_view name) {
    for (const ClassDefinition::Member& member : cls.members) {
        if (NamesEqual(member.declared->name, name)) return &member;
    }
    return nullptr;
}

TCIMReference SchemaView::Canonical(const TCIMReference& reference) const {
    const ClassDefinition* cls = FindClass(reference.GetClassName());
    NORNSYV20::TCIMValueMap keys;
    for (const auto& key : reference.GetKeys()) {
        std::string name = key.first;
        if (cls && name.empty() && cls->keys.size() == 1) name = cls->keys.front()->name;
        const ClassDefinition::Member* member = cls ? FindMember(*cls, name) : nullptr;
        keys.emplace(member ? member->declared->name : name, key.second);
    }
    return StandinHost::MakeReference(namespace_, cls ? cls->name : reference.GetClassName(), std::move(keys));
}

KeyValues SchemaView::KeysOf(const ClassDefinition& cls, const CommittedInstance& instance) const {
    KeyValues keys;
    for (const PropertyDefinition* key : cls.keys) {
        for (const auto& property : instance.properties) {
            if (property.first == key->name) {
                keys.emplace_back(key, &property.second);
                break;
            }
        }
    }
    return keys;
}

bool SchemaView::Names(const TCIMReference& reference, const ClassDefinition& cls, const CommittedInstance& instance) const {
    if (!NamesEqual(reference.GetClassName(), cls.name) || instance.className != cls.name) return false;
    const NORNSYV20::TCIMValueMap& given = reference.GetKeys();
    const KeyValues keys = KeysOf(cls, instance);
    if (given.size() != keys.size()) return false;
    if (given.size() == 1 && given.begin()->first.empty()) return SameValue(given.begin()->second, *keys.front().second);
    for (const auto& key : keys) {
        const auto match = std::find_if(given.begin(), given.end(), [&key](const auto& entry) {
            return NamesEqual(entry.first, key.first->name);
        });
        if (match == given.end() || !SameValue(match->second, *key.second)) return false;
    }
    return true;
}

bool SameValue(const TCIMValue& a, const TCIMValue& b) {
    const auto number = [](const TCIMValue& value) -> std::optional<unsigned int> {
        if (value.GetKind() == TCIMValue::eUint16) return value.GetUint16();
        if (value.GetKind() == TCIMValue::eUint32) return static_cast<unsigned int>(value);
        return std::nullopt;
    };
    if (number(a) || number(b)) return number(a) == number(b);
    if (a.GetKind() != b.GetKind()) return false;
    switch (a.GetKind()) {
    case TCIMValue::eNull: return true;
    case TCIMValue::eString: return a.GetString() == b.GetString();
    case TCIMValue::eReference: return SameReference(a.GetReference(), b.GetReference());
    case TCIMValue::eArray: {
        const std::vector<TCIMValue>& x = a.GetElements();
        const std::vector<TCIMValue>& y = b.GetElements();
        return x.size() == y.size() && std::equal(x.begin(), x.end(), y.begin(), SameValue);
    }
    default: return false;
    }
}

bool SameReference(const TCIMReference& a, const TCIMReference& b) {
    if (!NamesEqual(a.GetNamespaceName(), b.GetNamespaceName()) || !NamesEqual(a.GetClassName(), b.GetClassName())) {
        return false;
    }
    const NORNSYV20::TCIMValueMap& x = a.GetKeys();
    const NORNSYV20::TCIMValueMap& y = b.GetKeys();
    if (x.size() != y.size()) return false;
    for (const auto& key : x) {
        const auto match = std::find_if(y.begin(), y.end(), [&key](const auto& entry) { return NamesEqual(entry.first, key.first); });
        if (match == y.end() || !SameValue(key.second, match->second)) return false;
    }
    return true;
}

}  // namespace wbem
}  // namespace syv
