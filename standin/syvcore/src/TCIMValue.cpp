#include "host/TCIMValue.h"

#include "CIMTypeNames.h"
#include "syvcore/ValueTypeName.h"
#include "host/TSYVException.h"

#include <atomic>
#include <utility>
#include <variant>

namespace NORNSYV20 {

namespace {

struct ArrayData {
    ECIMType elementType;
    std::vector<TCIMValue> elements;
};

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

// The alternatives are in the order of EKind after eNull; a null value has
// no Impl at all.
static_assert(TCIMValue::eString == 1 && TCIMValue::eUint16 == 2 && TCIMValue::eUint32 == 3 &&
                  TCIMValue::eReference == 4 && TCIMValue::eArray == 5,
              "GetKind maps the variant's index to EKind");
// Values never change once made (Set and assignment replace the Impl), so
// copies share one Impl: properties are copied at every commit and lookup,
// and deep copies of their strings dominated a query's cost.
struct TCIMValue::Impl {
    explicit Impl(std::variant<std::string, std::uint16_t, std::uint32_t, TCIMReference, ArrayData> value)
        : data(std::move(value)) {}

    static Impl* Share(Impl* impl) {
        if (impl) impl->owners.fetch_add(1, std::memory_order_relaxed);
        return impl;
    }

    static void Release(Impl* impl) {
        if (impl && impl->owners.fetch_sub(1, std::memory_order_acq_rel) == 1) delete impl;
    }

    const std::variant<std::string, std::uint16_t, std::uint32_t, TCIMReference, ArrayData> data;
    std::atomic<long> owners{1};
};

TCIMValue::TCIMType::TCIMType(ECIMType type) : type_(type) {}

ECIMType TCIMValue::TCIMType::GetType() const { return type_; }

TCIMValue::TCIMValue() : impl_(nullptr) {}

// A null C string makes a null value rather than undefined behaviour.
TCIMValue::TCIMValue(const char* text) : impl_(text ? new Impl(std::string(text)) : nullptr) {}

TCIMValue::TCIMValue(const std::string& text) : impl_(new Impl(text)) {}

TCIMValue::TCIMValue(std::string&& text) : impl_(new Impl(std::move(text))) {}

TCIMValue::TCIMValue(std::uint16_t number) : impl_(new Impl(number)) {}

TCIMValue::TCIMValue(std::uint32_t number) : impl_(new Impl(number)) {}

TCIMValue::TCIMValue(const TCIMReference& reference) : impl_(new Impl(reference)) {}

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
    Impl* array = new Impl(ArrayData{elementType.GetType(), elements});
    Impl::Release(impl_);
    impl_ = array;
}

TCIMValue::operator std::string() const {
    if (GetKind() != eString) ThrowWrongKind(*this, "string");
    return std::get<std::string>(impl_->data);
}

TCIMValue::operator unsigned int() const {
    if (GetKind() != eUint32) ThrowWrongKind(*this, "uint32");
    return std::get<std::uint32_t>(impl_->data);
}

TCIMValue::EKind TCIMValue::GetKind() const {
    return impl_ ? static_cast<EKind>(impl_->data.index() + 1) : eNull;
}

bool TCIMValue::IsNull() const { return impl_ == nullptr; }

const std::string& TCIMValue::GetString() const {
    if (GetKind() != eString) ThrowWrongKind(*this, "string");
    return std::get<std::string>(impl_->data);
}

std::uint16_t TCIMValue::GetUint16() const {
    if (GetKind() != eUint16) ThrowWrongKind(*this, "uint16");
    return std::get<std::uint16_t>(impl_->data);
}

const TCIMReference& TCIMValue::GetReference() const {
    if (GetKind() != eReference) ThrowWrongKind(*this, "reference");
    return std::get<TCIMReference>(impl_->data);
}

ECIMType TCIMValue::GetElementType() const {
    if (GetKind() != eArray) ThrowWrongKind(*this, "an array");
    return std::get<ArrayData>(impl_->data).elementType;
}

const std::vector<TCIMValue>& TCIMValue::GetElements() const {
    if (GetKind() != eArray) ThrowWrongKind(*this, "an array");
    return std::get<ArrayData>(impl_->data).elements;
}

}  // namespace NORNSYV20
