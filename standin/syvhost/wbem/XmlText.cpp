#include "XmlText.h"

#include "syvcore/ReportText.h"

#include <algorithm>

namespace syv {
namespace wbem {

namespace {

const char* const kReplacement = "\xEF\xBF\xBD";

// The length of the valid UTF-8 sequence at text[i], or 0 when it is not one
// (overlong forms, surrogates and code points past U+10FFFF included).
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned int min = 0;
    unsigned int code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, code = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() - i < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0u) != 0x80u) return 0;
        code = (code << 6) | (byte(i + k) & 0x3Fu);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE || code == 0xFFFF) {
        return 0;
    }
    return length;
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
