#include "CIMTypeNames.h"

#include "syvcore/ValueTypeName.h"

namespace syv {

using NORNSYV20::ECIMType;
using NORNSYV20::TCIMValue;

namespace detail {

std::string CIMTypeName(ECIMType type) {
    switch (type) {
    case NORNSYV20::eCIMTypeNull: return "null";
    case NORNSYV20::eCIMTypeUint8: return "uint8";
    case NORNSYV20::eCIMTypeSint8: return "sint8";
    case NORNSYV20::eCIMTypeUint16: return "uint16";
    case NORNSYV20::eCIMTypeSint16: return "sint16";
    case NORNSYV20::eCIMTypeUint32: return "uint32";
    case NORNSYV20::eCIMTypeSint32: return "sint32";
    case NORNSYV20::eCIMTypeUint64: return "uint64";
    case NORNSYV20::eCIMTypeSint64: return "sint64";
    case NORNSYV20::eCIMTypeReal32: return "real32";
    case NORNSYV20::eCIMTypeReal64: return "real64";
    case NORNSYV20::eCIMTypeBoolean: return "boolean";
    case NORNSYV20::eCIMTypeChar16: return "char16";
    case NORNSYV20::eCIMTypeString: return "string";
    case NORNSYV20::eCIMTypeDateTime: return "datetime";
    case NORNSYV20::eCIMTypeReference: return "reference";
    }
    return "type " + std::to_string(static_cast<unsigned long>(type));
}

TCIMValue::EKind KindOfType(ECIMType type) {
    switch (type) {
    case NORNSYV20::eCIMTypeString: return TCIMValue::eString;
    case NORNSYV20::eCIMTypeUint16: return TCIMValue::eUint16;
    case NORNSYV20::eCIMTypeUint32: return TCIMValue::eUint32;
    case NORNSYV20::eCIMTypeReference: return TCIMValue::eReference;
    default: return TCIMValue::eNull;
    }
}

}  // namespace detail

std::string ValueTypeName(const NORNSYV20::TCIMValue& value) {
    switch (value.GetKind()) {
    case TCIMValue::eNull: return "null";
    case TCIMValue::eString: return "string";
    case TCIMValue::eUint16: return "uint16";
    case TCIMValue::eUint32: return "uint32";
    case TCIMValue::eReference: return "reference";
    case TCIMValue::eArray: return detail::CIMTypeName(value.GetElementType()) + "[]";
    }
    return "?";
}

std::string TypeName(NORNSYV20::ECIMType type) { return detail::CIMTypeName(type); }

}  // namespace syv
