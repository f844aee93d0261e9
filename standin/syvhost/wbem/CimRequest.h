// A CIM-XML request as the server understands it: one method call in a
// namespace with its parameters, object paths as syvcore references, and the
// CIM status codes its answers carry.
#ifndef SYVHOST_WBEM_CIMREQUEST_H
#define SYVHOST_WBEM_CIMREQUEST_H

#include "host/TCIMReference.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace syv {
namespace wbem {

// The CIM status codes of DSP0200 that this server answers.
enum CimStatus : std::uint32_t {
    kErrFailed = 1,
    kErrInvalidNamespace = 3,
    kErrInvalidParameter = 4,
    kErrInvalidClass = 5,
    kErrNotFound = 6,
    kErrNotSupported = 7,
    kErrInvalidEnumerationContext = 21,
    kErrInvalidOperationTimeout = 22,
    kErrFilteredEnumerationNotSupported = 25,
    kErrContinuationOnErrorNotSupported = 26,
    kErrServerLimitsExceeded = 27,
    kErrServerIsShuttingDown = 28,
};

// Ends an operation with an ERROR element.
struct CimError {
    std::uint32_t code;
    std::string description;
};

// A request refused as a whole, before any operation: the HTTP status and
// the value of its CIMError header.
struct Refusal {
    int status;
    std::string cimError;
    std::string why;  // for the log
};

// One parameter's value, as the request wrote it.
struct ParamValue {
    enum Kind {
        kNull,          // no value, or VALUE.NULL
        kValue,         // VALUE: text
        kArray,         // VALUE.ARRAY: texts
        kClassName,     // CLASSNAME: text is the name
        kInstanceName,  // INSTANCENAME, or an instance path: reference
        kOther,         // any other element, which no operation here takes
    };
    Kind kind = kNull;
    std::string text;
    std::vector<std::string> texts;
    std::optional<NORNSYV20::TCIMReference> reference;
};

struct CimRequest {
    std::string messageId;
    std::string method;  // as the request spells it
    bool extrinsic = false;  // a METHODCALL, which this server does not support
    std::string namespaceName;  // "root/ornsg"; empty for an extrinsic call
    std::vector<std::pair<std::string, ParamValue>> params;
    // A parameter that names no valid value (a key no class can hold):
    // answered instead of running the operation.
    std::optional<CimError> invalidParameter;

    // The parameter of that name (ASCII case-insensitive); null when absent.
    const ParamValue* Param(std::string_view name) const;
};

}  // namespace wbem
}  // namespace syv

#endif
