// How reports show text that may hold any byte: always valid UTF-8, and two
// different texts never show the same.
#ifndef SYVCORE_REPORTTEXT_H
#define SYVCORE_REPORTTEXT_H

#include "host/SyvExport.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace syv {

// The length of the UTF-8 sequence that starts text (1 to 4), or 0 when its
// first byte starts none (overlong forms, surrogates and code points past
// U+10FFFF included). text is not empty.
SYV_API std::size_t Utf8SequenceLength(std::string_view text);

SYV_API bool IsUtf8(std::string_view text);

// Text that is valid UTF-8 and holds no backslash followed by "x" is shown as
// it is. Any other text is shown with each byte that starts no UTF-8 sequence
// as \xHH (two upper-case hexadecimal digits) and each backslash doubled, so
// that the shown text of such a text always holds "\x" and can be read back.
SYV_API bool ShownAsItIs(std::string_view text);

// What the query's log says, once per query, when a value held such bytes.
SYV_API extern const char* const kNotUtf8Notice;

// Calls emit(std::string_view) with the pieces of the shown text, in order,
// for a format that cannot carry some valid UTF-8 sequences: notCarried(text,
// i) gives, for any i, the length of such a sequence at text[i] (0 when none
// starts there), and its bytes are shown as \xHH like bytes that are not
// UTF-8, so that the text is not shown as it is. Allocates nothing.
template <class Emit, class NotCarried>
void ShowText(std::string_view text, Emit&& emit, NotCarried&& notCarried) {
    bool asItIs = ShownAsItIs(text);
    for (std::size_t i = 0; asItIs && i < text.size(); ++i) asItIs = notCarried(text, i) == 0;
    if (asItIs) {
        emit(text);
        return;
    }
    static const char kHex[] = "0123456789ABCDEF";
    std::size_t plain = 0;  // start of the bytes not yet emitted
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t hidden = notCarried(text, i);
        const std::size_t length = hidden != 0 ? 0 : Utf8SequenceLength(text.substr(i));
        if (length != 0 && text[i] != '\\') {
            i += length;
            continue;
        }
        emit(text.substr(plain, i - plain));
        if (length != 0) {
            emit(std::string_view("\\\\", 2));
            ++i;
        } else {
            for (const std::size_t end = i + (hidden != 0 ? hidden : 1); i < end; ++i) {
                const unsigned char byte = static_cast<unsigned char>(text[i]);
                const char escaped[4] = {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
                emit(std::string_view(escaped, 4));
            }
        }
        plain = i;
    }
    emit(text.substr(plain));
}

// The same for a format that carries all of UTF-8.
template <class Emit>
void ShowText(std::string_view text, Emit&& emit) {
    ShowText(text, emit, [](std::string_view, std::size_t) -> std::size_t { return 0; });
}

// The shown text as a string.
SYV_API std::string ShownText(std::string_view text);

// A message as it may reach a terminal: control characters (C0, DEL and the
// C1 range) and bytes that are not UTF-8 as \xNN, so that no text can move
// the cursor, retitle or clear the terminal; tabs stay, and the lines after
// the first are indented, so that none can pass for a message of its own.
SYV_API std::string TerminalText(std::string_view message);

}  // namespace syv

#endif
