#include "XmlText.h"

#include "syvcore/ReportText.h"

#include <algorithm>

namespace syv {
namespace wbem {

namespace {

// What XML 1.0 cannot carry at text[i]: a control character other than tab,
// LF and CR (1), U+FFFE or U+FFFF (3); 0 when it can.
std::size_t NotXmlLength(std::string_view text, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20) return c == '\t' || c == '\n' || c == '\r' ? 0 : 1;
    const bool nonCharacter = c == 0xEF && i + 2 < text.size() && text[i + 1] == '\xBF' &&
                              (text[i + 2] == '\xBE' || text[i + 2] == '\xBF');
    return nonCharacter ? 3 : 0;
}

// The markup escape of c, or null when c stands for itself.
const char* MarkupEscape(char c) {
    switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\'': return "&apos;";
    case '\r': return "&#13;";
    case '\t': return "&#9;";
    case '\n': return "&#10;";
    default: return nullptr;
    }
}

// Appends shown text with markup escaped, each run without special
// characters in one append.
void AppendMarkupEscaped(std::string& out, std::string_view text) {
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char* escape = MarkupEscape(text[i]);
        if (!escape) continue;
        out.append(text.data() + plain, i - plain);
        out += escape;
        plain = i + 1;
    }
    out.append(text.data() + plain, text.size() - plain);
}

}  // namespace

void AppendEscaped(std::string& out, std::string_view text) {
    ShowText(text, [&out](std::string_view piece) { AppendMarkupEscaped(out, piece); }, NotXmlLength);
}

std::size_t ElementDepth(std::string_view document) {
    std::size_t depth = 0;
    std::size_t deepest = 0;
    for (std::size_t i = document.find('<'); i != std::string_view::npos; i = document.find('<', i + 1)) {
        if (i + 1 >= document.size()) break;
        const char next = document[i + 1];
        if (next == '?' || next == '!') continue;  // declarations, comments, CDATA
        if (next == '/') {
            depth -= depth > 0 ? 1 : 0;
            continue;
        }
        // The tag ends at the first '>' outside quoted attribute values, which
        // may hold '>' and "/>" themselves.
        char quote = 0;
        std::size_t end = i + 1;
        for (; end < document.size() && (quote || document[end] != '>'); ++end) {
            const char c = document[end];
            if (quote) {
                quote = c == quote ? 0 : quote;
            } else if (c == '"' || c == '\'') {
                quote = c;
            }
        }
        if (end >= document.size()) break;
        if (document[end - 1] != '/') deepest = std::max(deepest, ++depth);
        i = end;
    }
    return deepest;
}

bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace wbem
}  // namespace syv
