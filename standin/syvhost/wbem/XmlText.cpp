#include "XmlText.h"

#include "syvcore/ReportText.h"

#include <algorithm>

namespace syv {
namespace wbem {

namespace {

const char* const kReplacement = "\xEF\xBF\xBD";

// The length of the UTF-8 sequence at text[i] that XML 1.0 can carry, or 0
// (U+FFFE and U+FFFF are UTF-8 but no XML characters).
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const std::string_view rest = text.substr(i);
    const std::size_t length = Utf8SequenceLength(rest);
    const bool notXml = length == 3 && rest.substr(0, 2) == "\xEF\xBF" && (rest[2] == '\xBE' || rest[2] == '\xBF');
    return notXml ? 0 : length;
}

// Appends shown text (always UTF-8) escaped; the few characters XML 1.0
// cannot carry at all become U+FFFD.
void AppendShownEscaped(std::string& out, std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = Utf8Length(text, i);
            if (length == 0) {
                out += kReplacement;
                ++i;
            } else {
                out.append(text.data() + i, length);
                i += length;
            }
            continue;
        }
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        case '\r': out += "&#13;"; break;
        case '\t': out += "&#9;"; break;
        case '\n': out += "&#10;"; break;
        default:
            if (c < 0x20) {
                out += kReplacement;
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
}

}  // namespace

void AppendEscaped(std::string& out, std::string_view text) {
    ShowText(text, [&out](std::string_view piece) { AppendShownEscaped(out, piece); });
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
