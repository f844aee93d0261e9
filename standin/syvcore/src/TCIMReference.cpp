#include "host/TCIMReference.h"

#include "ReferenceImpl.h"

#include "host/ICIMNamespace.h"
#include "host/TCIMValue.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

namespace NORNSYV20 {

namespace {

std::string NamespaceName(const boost::shared_ptr<ICIMNamespace>& ns) { return ns ? ns->GetName() : std::string(); }

bool NeedsEscape(char c) { return c == '"' || c == '\\'; }

// Quoted, with \ and " escaped by a backslash; the runs between them are
// appended whole.
void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    auto at = text.begin();
    for (auto special = std::find_if(at, text.end(), NeedsEscape); special != text.end();
         special = std::find_if(at, text.end(), NeedsEscape)) {
        out.append(at, special);
        out += '\\';
        out += *special;
        at = special + 1;
    }
    out.append(at, text.end());
    out += '"';
}

// Key values are scalars in practice; a null prints as NULL and an array as
// its elements in braces, so that every value has a printable form.
void AppendKeyValue(std::string& out, const TCIMValue& value) {
    switch (value.GetKind()) {
    case TCIMValue::eNull: out += "NULL"; return;
    case TCIMValue::eString: AppendQuoted(out, value.GetString()); return;
    case TCIMValue::eUint16: out += std::to_string(value.GetUint16()); return;
    case TCIMValue::eUint32: out += std::to_string(static_cast<unsigned int>(value)); return;
    case TCIMValue::eReference: AppendQuoted(out, value.GetReference().ToObjectPath()); return;
    case TCIMValue::eArray: {
        out += '{';
        const char* separator = "";
        for (const TCIMValue& element : value.GetElements()) {
            out += separator;
            AppendKeyValue(out, element);
            separator = ",";
        }
        out += '}';
        return;
    }
    }
}

// The length of a key value's text before escaping, for a path's first
// allocation; arrays, rare as keys, are left to grow the path.
std::size_t UnescapedSize(const TCIMValue& value) {
    switch (value.GetKind()) {
    case TCIMValue::eString: return value.GetString().size() + 2;
    case TCIMValue::eReference: return value.GetReference().ToObjectPath().size() + 2;
    default: return 10;
    }
}

void Release(TCIMReference::Impl* impl) {
    if (impl->owners.fetch_sub(1, std::memory_order_acq_rel) == 1) delete impl;
}

}  // namespace

TCIMReference::Impl::Impl(std::string namespaceName, std::string className, TCIMValueMap keys)
    : namespaceName(std::move(namespaceName)),
      ownClassName(std::move(className)),
      className(&ownClassName),
      keyMap_(std::move(keys)) {
    std::call_once(keyMapMade_, [] {});  // given whole
    this->keys.reserve(keyMap_.size());
    for (const auto& key : keyMap_) this->keys.push_back({&key.first, key.second});  // std::map is in name order
    path = WriteObjectPath(this->namespaceName, ownClassName, this->keys);
}

TCIMReference::Impl::Impl(std::string namespaceName, const std::string& className, std::vector<ReferenceKey> keys,
                          boost::shared_ptr<const void> nameOwner)
    : namespaceName(std::move(namespaceName)),
      className(&className),
      nameOwner(std::move(nameOwner)),
      keys(std::move(keys)),
      path(WriteObjectPath(this->namespaceName, className, this->keys)) {}

const TCIMValueMap& TCIMReference::Impl::KeyMap() const {
    std::call_once(keyMapMade_, [this] {
        for (const ReferenceKey& key : keys) keyMap_.emplace_hint(keyMap_.end(), *key.name, key.value);
    });
    return keyMap_;
}

std::string WriteObjectPath(const std::string& namespaceName, const std::string& className,
                            const std::vector<ReferenceKey>& keys) {
    std::size_t size = namespaceName.size() + 1 + className.size();
    for (const ReferenceKey& key : keys) size += 2 + key.name->size() + UnescapedSize(key.value);
    std::string path;
    path.reserve(size);
    if (!namespaceName.empty()) {
        path += namespaceName;
        path += ':';
    }
    path += className;
    char separator = '.';
    for (const ReferenceKey& key : keys) {
        path += separator;
        path += *key.name;
        path += '=';
        AppendKeyValue(path, key.value);
        separator = ',';
    }
    return path;
}

TCIMReference::TCIMReference(Impl* impl) : impl_(impl) {}

TCIMReference::TCIMReference(boost::shared_ptr<ICIMNamespace> ns, const TCIMValueMap& keys)
    : impl_(new Impl(NamespaceName(ns), std::string(), keys)) {}

TCIMReference::TCIMReference(boost::shared_ptr<ICIMNamespace> ns, const std::string& className,
                             const TCIMValueMap& keys)
    : impl_(new Impl(NamespaceName(ns), className, keys)) {}

TCIMReference::TCIMReference(boost::shared_ptr<ICIMNamespace> ns, const std::string& className, TCIMValueMap&& keys)
    : impl_(new Impl(NamespaceName(ns), className, std::move(keys))) {}

TCIMReference::TCIMReference(const TCIMReference& other) : impl_(other.impl_) {
    impl_->owners.fetch_add(1, std::memory_order_relaxed);
}

TCIMReference& TCIMReference::operator=(const TCIMReference& other) {
    other.impl_->owners.fetch_add(1, std::memory_order_relaxed);
    Release(impl_);
    impl_ = other.impl_;
    return *this;
}

TCIMReference::~TCIMReference() { Release(impl_); }

const std::string& TCIMReference::GetNamespaceName() const { return impl_->namespaceName; }

const std::string& TCIMReference::GetClassName() const { return *impl_->className; }

const TCIMValueMap& TCIMReference::GetKeys() const { return impl_->KeyMap(); }

const std::string& TCIMReference::ToObjectPath() const { return impl_->path; }

}  // namespace NORNSYV20
