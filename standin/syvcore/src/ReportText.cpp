#include "syvcore/ReportText.h"

#include <algorithm>

namespace syv {

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

const char* const kNotUtf8Notice =
    "a value held bytes that are not UTF-8; the reports show each such byte as \\xHH and double every backslash "
    "of that value";

// The ranges of the second byte exclude overlong forms (E0, F0), surrogates
// (ED) and code points past U+10FFFF (F4).
std::size_t Utf8SequenceLength(std::string_view text) {
    const unsigned char first = static_cast<unsigned char>(text[0]);
    if (first < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        if (first == 0xE0) low = 0xA0;
        if (first == 0xED) high = 0x9F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        if (first == 0xF0) low = 0x90;
        if (first == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    const unsigned char second = static_cast<unsigned char>(text[1]);
    if (second < low || second > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (!IsContinuation(static_cast<unsigned char>(text[i]))) return 0;
    }
    return length;
}

// ASCII bytes, nearly all of any report, are passed over without decoding.
bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = Utf8SequenceLength(text.substr(i));
        if (length == 0) return false;
        i += length;
    }
    return true;
}

bool ShownAsItIs(std::string_view text) { return text.find("\\x") == std::string_view::npos && IsUtf8(text); }

std::string ShownText(std::string_view text) {
    std::string shown;
    ShowText(text, [&shown](std::string_view piece) { shown.append(piece); });
    return shown;
}

// A message as it may reach a terminal: control characters (C0, DEL and the
// C1 range, which some terminals obey in either encoding) and bytes that are
// not UTF-8 as \xNN, so that a tool's text cannot move the cursor, retitle
// or clear the terminal. Tabs stay. Line ends (LF or CR LF) stay line ends,
// the lines after the first indented so that none can pass for a message of
// its own; a final line end is dropped, as one follows every message.
std::string TerminalText(std::string_view message) {
    static const char kDigits[] = "0123456789abcdef";
    static const char kContinuation[] = "\n        ";  // under the text after "[log N] "
    std::size_t end = message.size();
    if (end > 0 && message[end - 1] == '\n') {
        end -= end > 1 && message[end - 2] == '\r' ? 2 : 1;
    }
    std::string text;
    text.reserve(end);
    for (std::size_t at = 0; at < end;) {
        const unsigned char c = static_cast<unsigned char>(message[at]);
        if (c == '\n' || (c == '\r' && at + 1 < end && message[at + 1] == '\n')) {
            text += kContinuation;
            at += c == '\n' ? 1 : 2;
            continue;
        }
        const std::size_t length = Utf8SequenceLength(std::string_view(message).substr(at, end - at));
        const bool control = c < 0x20 ? c != '\t'
                                      : c == 0x7F || (length == 2 && c == 0xC2 &&
                                                      static_cast<unsigned char>(message[at + 1]) < 0xA0);
        if (length != 0 && !control) {
            text.append(message, at, length);
            at += length;
            continue;
        }
        for (const std::size_t stop = at + std::max<std::size_t>(length, 1); at < stop; ++at) {
            const unsigned char byte = static_cast<unsigned char>(message[at]);
            text += "\\x";
            text += kDigits[byte >> 4];
            text += kDigits[byte & 15];
        }
    }
    return text;
}

}  // namespace syv
