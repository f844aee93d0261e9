// CIM values: text, numbers, references and arrays of them.
#ifndef NORNSYV20_TCIMVALUE_H
#define NORNSYV20_TCIMVALUE_H

#include "SyvExport.h"
#include "TCIMReference.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace NORNSYV20 {

// CIM data types, numbered as the host framework numbers them.
enum ECIMType : std::uint32_t {
    eCIMTypeNull = 0,
    eCIMTypeUint8 = 1,
    eCIMTypeSint8 = 2,
    eCIMTypeUint16 = 3,
    eCIMTypeSint16 = 4,
    eCIMTypeUint32 = 5,
    eCIMTypeSint32 = 6,
    eCIMTypeUint64 = 7,
    eCIMTypeSint64 = 8,
    eCIMTypeReal32 = 9,
    eCIMTypeReal64 = 10,
    eCIMTypeBoolean = 11,
    eCIMTypeChar16 = 12,
    eCIMTypeString = 13,
    eCIMTypeDateTime = 14,
    eCIMTypeReference = 15,
};

// One CIM value: null, a string, an unsigned 16- or 32-bit integer, a
// reference, or an array (element type and elements).
class SYV_API TCIMValue {
public:
    class SYV_API TCIMType {
    public:
        explicit TCIMType(ECIMType type);
        ECIMType GetType() const;

    private:
        ECIMType type_;
    };

    enum EKind { eNull, eString, eUint16, eUint32, eReference, eArray };

    TCIMValue();
    TCIMValue(const char* text);
    TCIMValue(const std::string& text);
    TCIMValue(std::uint16_t number);
    TCIMValue(std::uint32_t number);
    TCIMValue(const TCIMReference& reference);
    // An array of the given element type. The count is informational: the
    // array holds exactly the elements given.
    TCIMValue(const TCIMType& elementType, unsigned int count, const std::vector<TCIMValue>& elements);
    TCIMValue(const TCIMValue& other);
    TCIMValue(TCIMValue&& other) noexcept;
    TCIMValue& operator=(const TCIMValue& other);
    TCIMValue& operator=(TCIMValue&& other) noexcept;
    ~TCIMValue();

    // Makes this value the array described, as the array constructor does.
    void Set(const TCIMType& elementType, unsigned int count, const std::vector<TCIMValue>& elements);

    // Conversions throw TSYVException (status 3) unless the value holds a
    // string, respectively an unsigned 32-bit integer.
    operator std::string() const;
    operator unsigned int() const;

    // Inspection, for hosts. The accessors throw TSYVException (status 3)
    // when the value holds another kind.
    EKind GetKind() const;
    bool IsNull() const;
    // The characters, valid as long as a copy of this value lives.
    std::string_view GetString() const;
    std::uint16_t GetUint16() const;
    const TCIMReference& GetReference() const;
    ECIMType GetElementType() const;
    const std::vector<TCIMValue>& GetElements() const;

    // The host core's own representation, of which each kind of value has its
    // own form.
    struct Impl;

private:
    Impl* impl_;
};

}  // namespace NORNSYV20

#endif
