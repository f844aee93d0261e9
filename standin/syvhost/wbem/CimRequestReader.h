// Reads a CIM-XML request body into a typed request. Every byte may be
// hostile: the XML is read by a streaming, non-recursive parser (expat) that
// expands no entity, refuses a DOCTYPE, and stops at the limits below, so a
// request costs time and memory linear in its size, bounded by the limits.
#ifndef SYVHOST_WBEM_CIMREQUESTREADER_H
#define SYVHOST_WBEM_CIMREQUESTREADER_H

#include "CimRequest.h"

#include <cstddef>
#include <string_view>
#include <variant>

namespace syv {
namespace wbem {

struct ReaderLimits {
    std::size_t maxDepth = 32;        // element nesting; a request nests about 12
    std::size_t maxElements = 20000;  // in the whole document
    std::size_t maxAttributes = 16;   // on one element
    std::size_t maxNameBytes = 256;   // of an element or attribute name
    std::size_t maxTextBytes = 256 * 1024;  // of an attribute value or one element's text
};

// The request, or why it is refused as a whole: 400 with CIMError
// "request-not-well-formed" for what is not well-formed XML or passes a
// limit, "request-not-valid" for XML that is not a CIM request, and 501 for
// versions this server does not speak ("unsupported-cim-version",
// "unsupported-dtd-version", "unsupported-protocol-version") or several
// requests in one message ("multiple-requests-unsupported").
std::variant<CimRequest, Refusal> ReadCimRequest(std::string_view body, const ReaderLimits& limits = ReaderLimits());

// True for a CIM protocol version this server speaks ("1.0" to "1.x").
bool SupportedProtocolVersion(std::string_view version);

}  // namespace wbem
}  // namespace syv

#endif
