#include "host/TCIMReference.h"

#include "ReferenceImpl.h"

#include "host/ICIMNamespace.h"
#include "host/TCIMValue.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

namespace NORNSYV20 {

namespace {

std::string NamespaceName(const boost::shared_ptr<ICIMNamespace>& ns) { return ns ? ns->GetName() : std::string(); }

// Paths are written into a buffer sized for the longest form and cut to what
// was written, which costs a third less than appending piece by piece.

// The most characters a key value can print as: every character escaped.
std::size_t MaxPrintedSize(const TCIMValue& value) {
    switch (value.GetKind()) {
    case TCIMValue::eNull: return 4;
    case TCIMValue::eString: return 2 * value.GetString().size() + 2;
    case TCIMValue::eUint16:
    case TCIMValue::eUint32: return std::numeric_limits<std::uint32_t>::digits10 + 1;
    case TCIMValue::eReference: return 2 * value.GetReference().ToObjectPath().size() + 2;
    case TCIMValue::eArray: {
        std::size_t size = 2;
        for (const TCIMValue& element : value.GetElements()) size += MaxPrintedSize(element) + 1;
        return size;
    }
    }
    return 0;
}

char* WriteText(char* out, std::string_view text) { return std::copy(text.begin(), text.end(), out); }

// The first of c in [from, end), or end.
const char* Find(const char* from, const char* end, char c) {
    const void* found = std::memchr(from, c, static_cast<std::size_t>(end - from));
    return found ? static_cast<const char*>(found) : end;
}

// Quoted, with \ and " escaped by a backslash. The runs between them are
// copied whole: the characters to escape are rare, and a test of every
// character cost several times the copy.
char* WriteQuoted(char* out, std::string_view text) {
    *out++ = '"';
    const char* at = text.data();
    const char* const end = at + text.size();
    const char* quote = Find(at, end, '"');
    const char* backslash = Find(at, end, '\\');
    while (quote != end || backslash != end) {
        const char* special = std::min(quote, backslash);
        out = std::copy(at, special, out);
        *out++ = '\\';
        *out++ = *special;
        at = special + 1;
        if (special == quote) {
            quote = Find(at, end, '"');
        } else {
            backslash = Find(at, end, '\\');
        }
    }
    out = std::copy(at, end, out);
    *out++ = '"';
    return out;
}

char* WriteNumber(char* out, std::uint32_t number) {
    return std::to_chars(out, out + std::numeric_limits<std::uint32_t>::digits10 + 1, number).ptr;
}

// Key values are scalars in practice; a null prints as NULL and an array as
// its elements in braces, so that every value has a printable form.
char* WriteKeyValue(char* out, const TCIMValue& value) {
    switch (value.GetKind()) {
    case TCIMValue::eNull: return WriteText(out, "NULL");
    case TCIMValue::eString: return WriteQuoted(out, value.GetString());
    case TCIMValue::eUint16: return WriteNumber(out, value.GetUint16());
    case TCIMValue::eUint32: return WriteNumber(out, static_cast<unsigned int>(value));
    case TCIMValue::eReference: return WriteQuoted(out, value.GetReference().ToObjectPath());
    case TCIMValue::eArray: {
        *out++ = '{';
        const std::vector<TCIMValue>& elements = value.GetElements();
        for (std::size_t i = 0; i < elements.size(); ++i) {
            if (i > 0) *out++ = ',';
            out = WriteKeyValue(out, elements[i]);
        }
        *out++ = '}';
        return out;
    }
    }
    return out;
}

}  // namespace

TCIMReference::Impl::Impl(std::string namespaceName, std::string className, TCIMValueMap keyMapGiven)
    : namespaceName(std::move(namespaceName)), ownedClassName(std::move(className)), className(&ownedClassName) {
    auto given = std::make_unique<const TCIMValueMap>(std::move(keyMapGiven));
    keys.reserve(given->size());
    for (const auto& key : *given) keys.emplace_back(&key.first, key.second);  // std::map is in name order
    MakePath();
    keyMap.store(given.release(), std::memory_order_relaxed);  // owned once nothing can throw any more
}

TCIMReference::Impl::Impl(std::string namespaceName, const std::string& className, Keys&& orderedKeys,
                          boost::shared_ptr<const void> nameOwner)
    : namespaceName(std::move(namespaceName)),
      className(&className),
      keys(std::move(orderedKeys)),
      nameOwner(std::move(nameOwner)) {
    MakePath();
}

TCIMReference::Impl::~Impl() { delete keyMap.load(std::memory_order_acquire); }

const TCIMValueMap& TCIMReference::Impl::KeyMap() const {
    const TCIMValueMap* made = keyMap.load(std::memory_order_acquire);
    if (made) return *made;
    auto fresh = std::make_unique<TCIMValueMap>();
    for (const Key& key : keys) fresh->emplace(*key.first, key.second);
    // Another thread may have made it meanwhile; then its map stays.
    if (keyMap.compare_exchange_strong(made, fresh.get(), std::memory_order_acq_rel)) return *fresh.release();
    return *made;
}

void TCIMReference::Impl::MakePath() { path = WriteObjectPath(namespaceName, *className, keys); }

std::string WriteObjectPath(const std::string& namespaceName, const std::string& className,
                            const TCIMReference::Impl::Keys& keys) {
    std::size_t longest = namespaceName.size() + 1 + className.size();
    for (const auto& key : keys) longest += key.first->size() + 2 + MaxPrintedSize(key.second);
    std::string path(longest, '\0');
    char* out = &path[0];
    if (!namespaceName.empty()) {
        out = WriteText(out, namespaceName);
        *out++ = ':';
    }
    out = WriteText(out, className);
    char separator = '.';
    for (const auto& key : keys) {
        *out++ = separator;
        out = WriteText(out, *key.first);
        *out++ = '=';
        out = WriteKeyValue(out, key.second);
        separator = ',';
    }
    path.resize(static_cast<std::size_t>(out - path.data()));
    return path;
}

namespace {

TCIMReference::Impl* Share(TCIMReference::Impl* impl) {
    impl->owners.fetch_add(1, std::memory_order_relaxed);
    return impl;
}

// As for values: a sole owner skips the atomic decrement.
void Release(TCIMReference::Impl* impl) {
    if (impl->owners.load(std::memory_order_acquire) == 1 ||
        impl->owners.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        delete impl;
    }
}

}  // namespace

TCIMReference::TCIMReference(Impl* impl) : impl_(impl) {}

TCIMReference::TCIMReference(boost::shared_ptr<ICIMNamespace> ns, const TCIMValueMap& keys)
    : impl_(new Impl(NamespaceName(ns), std::string(), keys)) {}

TCIMReference::TCIMReference(boost::shared_ptr<ICIMNamespace> ns, const std::string& className,
                             const TCIMValueMap& keys)
    : impl_(new Impl(NamespaceName(ns), className, keys)) {}

TCIMReference::TCIMReference(boost::shared_ptr<ICIMNamespace> ns, const std::string& className, TCIMValueMap&& keys)
    : impl_(new Impl(NamespaceName(ns), className, std::move(keys))) {}

TCIMReference::TCIMReference(const TCIMReference& other) : impl_(Share(other.impl_)) {}

TCIMReference& TCIMReference::operator=(const TCIMReference& other) {
    Impl* shared = Share(other.impl_);
    Release(impl_);
    impl_ = shared;
    return *this;
}

TCIMReference::~TCIMReference() { Release(impl_); }

const std::string& TCIMReference::GetNamespaceName() const { return impl_->namespaceName; }

const std::string& TCIMReference::GetClassName() const { return *impl_->className; }

const TCIMValueMap& TCIMReference::GetKeys() const { return impl_->KeyMap(); }

const std::string& TCIMReference::ToObjectPath() const { return impl_->path; }

}  // namespace NORNSYV20
