#include "host/TCIMReference.h"

#include "host/ICIMNamespace.h"
#include "host/TCIMValue.h"

#include <algorithm>
#include <atomic>
#include <utility>

namespace NORNSYV20 {

namespace {

std::string NamespaceName(const boost::shared_ptr<ICIMNamespace>& ns) { return ns ? ns->GetName() : std::string(); }

// Copies the runs between the characters to escape whole (a character-wise
// copy was a tenth of a query's cost).
void AppendQuoted(std::string& out, const std::string& text) {
    out += '"';
    std::size_t start = 0;
    std::size_t quote = text.find('"');
    std::size_t backslash = text.find('\\');
    while (quote != std::string::npos || backslash != std::string::npos) {
        const std::size_t at = std::min(quote, backslash);
        out.append(text, start, at - start);
        out += '\\';
        out += text[at];
        start = at + 1;
        if (at == quote) {
            quote = text.find('"', start);
        } else {
            backslash = text.find('\\', start);
        }
    }
    out.append(text, start, std::string::npos);
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
        const std::vector<TCIMValue>& elements = value.GetElements();
        for (std::size_t i = 0; i < elements.size(); ++i) {
            if (i > 0) out += ',';
            AppendKeyValue(out, elements[i]);
        }
        out += '}';
        return;
    }
    }
}

}  // namespace

// References never change once made, so copies share one Impl, as values do.
struct TCIMReference::Impl {
    Impl(std::string namespaceName, std::string className, TCIMValueMap keys)
        : namespaceName(std::move(namespaceName)), className(std::move(className)), keys(std::move(keys)) {}

    static Impl* Share(Impl* impl) {
        impl->owners.fetch_add(1, std::memory_order_relaxed);
        return impl;
    }

    static void Release(Impl* impl) {
        if (impl->owners.fetch_sub(1, std::memory_order_acq_rel) == 1) delete impl;
    }

    const std::string namespaceName;
    const std::string className;
    const TCIMValueMap keys;
    std::atomic<long> owners{1};
};

TCIMReference::TCIMReference(boost::shared_ptr<ICIMNamespace> ns, const TCIMValueMap& keys)
    : impl_(new Impl(NamespaceName(ns), std::string(), keys)) {}

TCIMReference::TCIMReference(boost::shared_ptr<ICIMNamespace> ns, const std::string& className,
                             const TCIMValueMap& keys)
    : impl_(new Impl(NamespaceName(ns), className, keys)) {}

TCIMReference::TCIMReference(boost::shared_ptr<ICIMNamespace> ns, const std::string& className, TCIMValueMap&& keys)
    : impl_(new Impl(NamespaceName(ns), className, std::move(keys))) {}

TCIMReference::TCIMReference(const TCIMReference& other) : impl_(Impl::Share(other.impl_)) {}

TCIMReference& TCIMReference::operator=(const TCIMReference& other) {
    Impl* shared = Impl::Share(other.impl_);
    Impl::Release(impl_);
    impl_ = shared;
    return *this;
}

TCIMReference::~TCIMReference() { Impl::Release(impl_); }

const std::string& TCIMReference::GetNamespaceName() const { return impl_->namespaceName; }

const std::string& TCIMReference::GetClassName() const { return impl_->className; }

const TCIMValueMap& TCIMReference::GetKeys() const { return impl_->keys; }

// std::map already orders the keys alphabetically (by byte value).
std::string TCIMReference::ToObjectPath() const {
    std::string path;
    path.reserve(256);  // most paths fit: one allocation instead of a growing series
    if (!impl_->namespaceName.empty()) {
        path += impl_->namespaceName;
        path += ':';
    }
    path += impl_->className;
    char separator = '.';
    for (const auto& key : impl_->keys) {
        path += separator;
        path += key.first;
        path += '=';
        AppendKeyValue(path, key.second);
        separator = ',';
    }
    return path;
}

}  // namespace NORNSYV20
