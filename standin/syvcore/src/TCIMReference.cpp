#include "host/TCIMReference.h"

#include "host/ICIMNamespace.h"
#include "host/TCIMValue.h"

namespace NORNSYV20 {

namespace {

std::string NamespaceName(const boost::shared_ptr<ICIMNamespace>& ns) { return ns ? ns->GetName() : std::string(); }

std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

// Key values are scalars in practice; a null prints as NULL and an array as
// its elements in braces, so that every value has a printable form.
std::string FormatKeyValue(const TCIMValue& value) {
    switch (value.GetKind()) {
    case TCIMValue::eNull: return "NULL";
    case TCIMValue::eString: return Quote(static_cast<std::string>(value));
    case TCIMValue::eUint16: return std::to_string(value.GetUint16());
    case TCIMValue::eUint32: return std::to_string(static_cast<unsigned int>(value));
    case TCIMValue::eReference: return Quote(value.GetReference().ToObjectPath());
    case TCIMValue::eArray: {
        std::string text = "{";
        const std::vector<TCIMValue>& elements = value.GetElements();
        for (std::size_t i = 0; i < elements.size(); ++i) {
            if (i > 0) text += ',';
            text += FormatKeyValue(elements[i]);
        }
        return text + "}";
    }
    }
    return std::string();
}

}  // namespace

struct TCIMReference::Impl {
    std::string namespaceName;
    std::string className;
    TCIMValueMap keys;
};

TCIMReference::TCIMReference(boost::shared_ptr<ICIMNamespace> ns, const TCIMValueMap& keys)
    : impl_(new Impl{NamespaceName(ns), std::string(), keys}) {}

TCIMReference::TCIMReference(boost::shared_ptr<ICIMNamespace> ns, const std::string& className,
                             const TCIMValueMap& keys)
    : impl_(new Impl{NamespaceName(ns), className, keys}) {}

TCIMReference::TCIMReference(const TCIMReference& other) : impl_(new Impl(*other.impl_)) {}

TCIMReference& TCIMReference::operator=(const TCIMReference& other) {
    if (this != &other) {
        Impl* copy = new Impl(*other.impl_);
        delete impl_;
        impl_ = copy;
    }
    return *this;
}

TCIMReference::~TCIMReference() { delete impl_; }

const std::string& TCIMReference::GetNamespaceName() const { return impl_->namespaceName; }

const std::string& TCIMReference::GetClassName() const { return impl_->className; }

const TCIMValueMap& TCIMReference::GetKeys() const { return impl_->keys; }

// std::map already orders the keys alphabetically (by byte value).
std::string TCIMReference::ToObjectPath() const {
    std::string path;
    if (!impl_->namespaceName.empty()) path = impl_->namespaceName + ":";
    path += impl_->className;
    const char* separator = ".";
    for (const auto& key : impl_->keys) {
        path += separator;
        path += key.first + "=" + FormatKeyValue(key.second);
        separator = ",";
    }
    return path;
}

}  // namespace NORNSYV20
