#include "host/TCIMValue.h"

#include "CIMTypeNames.h"
#include "syvcore/ValueTypeName.h"
#include "host/TSYVException.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <string_view>
#include <utility>

namespace NORNSYV20 {

namespace {

[[noreturn]] void ThrowWrongKind(const TCIMValue& value, const std::string& asked) {
    throw TSYVException(TSYVStatusCode(TSYVStatusCode::kWrongValueType),
                       "the value holds " + syv::ValueTypeName(value) + ", not " + asked);
}

// An array holds elements of its one element type (or nulls), never arrays:
// a value that says "string[]" must not hand out a number.
void CheckElements(ECIMType elementType, const std::vector<TCIMValue>& elements) {
    const TCIMValue::EKind expected = syv::detail::KindOfType(elementType);
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const TCIMValue::EKind kind = elements[i].GetKind();
        if (kind != TCIMValue::eNull && kind != expected) {
            throw TSYVException(TSYVStatusCode(TSYVStatusCode::kWrongValueType),
                                "element " + std::to_string(i) + " of a " + syv::detail::CIMTypeName(elementType) +
                                    " array holds " + syv::ValueTypeName(elements[i]));
        }
    }
}

}  // namespace

// Values never change once made (Set and assignment replace the Impl), so
// copies share one Impl, counted atomically: a host may hand values to other
// threads. A null value has no Impl at all.
struct TCIMValue::Impl {
    explicit Impl(EKind kind) : kind(kind) {}
    virtual ~Impl() = default;

    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    static Impl* Share(Impl* impl) {
        if (impl) impl->owners.fetch_add(1, std::memory_order_relaxed);
        return impl;
    }

    static void Release(Impl* impl) {
        if (impl && impl->owners.fetch_sub(1, std::memory_order_acq_rel) == 1) delete impl;
    }

    std::atomic<long> owners{1};
    const EKind kind;
};

namespace {

// The characters follow the Impl in one allocation: a value is made for
// every string property set and every line of a tool's output.
struct StringImpl : TCIMValue::Impl {
    static StringImpl* Make(std::string_view text) {
        StringImpl* impl = new (::operator new(sizeof(StringImpl) + text.size())) StringImpl(text.size());
        std::copy(text.begin(), text.end(), reinterpret_cast<char*>(impl + 1));
        return impl;
    }

    // Frees what Make allocated.
    static void operator delete(void* memory) { ::operator delete(memory); }

    std::string_view Text() const { return {reinterpret_cast<const char*>(this + 1), size}; }

    const std::size_t size;

private:
    explicit StringImpl(std::size_t size) : Impl(TCIMValue::eString), size(size) {}
};

struct NumberImpl : TCIMValue::Impl {
    NumberImpl(TCIMValue::EKind kind, std::uint32_t number) : Impl(kind), number(number) {}
    const std::uint32_t number;
};

struct ReferenceImpl : TCIMValue::Impl {
    explicit ReferenceImpl(const TCIMReference& reference) : Impl(TCIMValue::eReference), reference(reference) {}
    const TCIMReference reference;
};

struct ArrayImpl : TCIMValue::Impl {
    ArrayImpl(ECIMType elementType, std::vector<TCIMValue> elements)
        : Impl(TCIMValue::eArray), elementType(elementType), elements(std::move(elements)) {}
    const ECIMType elementType;
    const std::vector<TCIMValue> elements;
};

}  // namespace

TCIMValue::TCIMType::TCIMType(ECIMType type) : type_(type) {}

ECIMType TCIMValue::TCIMType::GetType() const { return type_; }

TCIMValue::TCIMValue() : impl_(nullptr) {}

// A null C string makes a null value rather than undefined behaviour.
TCIMValue::TCIMValue(const char* text) : impl_(text ? StringImpl::Make(text) : nullptr) {}

TCIMValue::TCIMValue(const std::string& text) : impl_(StringImpl::Make(text)) {}

TCIMValue::TCIMValue(std::uint16_t number) : impl_(new NumberImpl(eUint16, number)) {}

TCIMValue::TCIMValue(std::uint32_t number) : impl_(new NumberImpl(eUint32, number)) {}

TCIMValue::TCIMValue(const TCIMReference& reference) : impl_(new ReferenceImpl(reference)) {}

TCIMValue::TCIMValue(const TCIMType& elementType, unsigned int count, const std::vector<TCIMValue>& elements)
    : impl_(nullptr) {
    Set(elementType, count, elements);
}

TCIMValue::TCIMValue(const TCIMValue& other) : impl_(Impl::Share(other.impl_)) {}

TCIMValue::TCIMValue(TCIMValue&& other) noexcept : impl_(other.impl_) { other.impl_ = nullptr; }

TCIMValue& TCIMValue::operator=(const TCIMValue& other) {
    Impl* shared = Impl::Share(other.impl_);
    Impl::Release(impl_);
    impl_ = shared;
    return *this;
}

TCIMValue& TCIMValue::operator=(TCIMValue&& other) noexcept {
    if (this != &other) {
        Impl::Release(impl_);
        impl_ = other.impl_;
        other.impl_ = nullptr;
    }
    return *this;
}

TCIMValue::~TCIMValue() { Impl::Release(impl_); }

// The count is informational only; the array is exactly the elements given.
void TCIMValue::Set(const TCIMType& elementType, unsigned int /*count*/, const std::vector<TCIMValue>& elements) {
    CheckElements(elementType.GetType(), elements);
    Impl* array = new ArrayImpl(elementType.GetType(), elements);
    Impl::Release(impl_);
    impl_ = array;
}

TCIMValue::operator std::string() const {
    if (GetKind() != eString) ThrowWrongKind(*this, "string");
    return std::string(static_cast<const StringImpl*>(impl_)->Text());
}

TCIMValue::operator unsigned int() const {
    if (GetKind() != eUint32) ThrowWrongKind(*this, "uint32");
    return static_cast<const NumberImpl*>(impl_)->number;
}

TCIMValue::EKind TCIMValue::GetKind() const {
    return impl_ ? impl_->kind : eNull;
}

bool TCIMValue::IsNull() const { return impl_ == nullptr; }

std::string_view TCIMValue::GetString() const {
    if (GetKind() != eString) ThrowWrongKind(*this, "string");
    return static_cast<const StringImpl*>(impl_)->Text();
}

std::uint16_t TCIMValue::GetUint16() const {
    if (GetKind() != eUint16) ThrowWrongKind(*this, "uint16");
    return static_cast<std::uint16_t>(static_cast<const NumberImpl*>(impl_)->number);
}

const TCIMReference& TCIMValue::GetReference() const {
    if (GetKind() != eReference) ThrowWrongKind(*this, "reference");
    return static_cast<const ReferenceImpl*>(impl_)->reference;
}

ECIMType TCIMValue::GetElementType() const {
    if (GetKind() != eArray) ThrowWrongKind(*this, "an array");
    return static_cast<const ArrayImpl*>(impl_)->elementType;
}

const std::vector<TCIMValue>& TCIMValue::GetElements() const {
    if (GetKind() != eArray) ThrowWrongKind(*this, "an array");
    return static_cast<const ArrayImpl*>(impl_)->elements;
}

}  // namespace NORNSYV20
