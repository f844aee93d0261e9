// Text for CIM-XML documents: escaping for element content and attribute
// values, and a bound on element nesting checked before a document is parsed.
#ifndef SYVHOST_WBEM_XMLTEXT_H
#define SYVHOST_WBEM_XMLTEXT_H

#include <cstddef>
#include <string>
#include <string_view>

namespace syv {
namespace wbem {

// Appends text escaped for XML 1.0 content or a quoted attribute value, as
// the reports show it (syvcore/ReportText.h: bytes that are not UTF-8 as
// \xHH, backslashes then doubled). Control characters and U+FFFE/U+FFFF,
// which XML 1.0 cannot carry, are shown the same way, byte by byte, so that
// distinct values stay distinct; CR, LF and tab are kept as character
// references, so that a parser's line-end normalisation does not change the
// value.
void AppendEscaped(std::string& out, std::string_view text);

// The deepest element nesting of the document, counted from its tags alone
// (linear, no parse). The tree parser recurses per level, so deeper input is
// refused before it gets there.
std::size_t ElementDepth(std::string_view document);

// ASCII case-insensitive equality, as CIM compares names.
bool NamesEqual(std::string_view a, std::string_view b);

}  // namespace wbem
}  // namespace syv

#endif
