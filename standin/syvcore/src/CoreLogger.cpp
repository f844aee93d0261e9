#include "CoreLogger.h"

#include "QueryFrame.h"
#include "syvcore/ReportText.h"

#include <algorithm>
#include <iostream>

namespace syv {
namespace detail {
namespace {

// A message as it may reach a terminal: control characters (C0, DEL and the
// C1 range, which some terminals obey in either encoding) and bytes that are
// not UTF-8 as \xNN, so that a tool's text cannot move the cursor, retitle
// or clear the terminal. Tabs stay. Line ends (LF or CR LF) stay line ends,
// the lines after the first indented so that none can pass for a message of
// its own; a final line end is dropped, as one follows every message.
std::string TerminalText(const std::string& message) {
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

}  // namespace

void CoreLogger::Log(int level, const std::string& message) {
    if (QueryFrame* query = ReportingQuery()) query->Observer()->Logged(LogEntry{level, message});
    if (level_ > 0 && level <= level_) std::cerr << "[log " << level << "] " << TerminalText(message) << std::endl;
}

CoreLogger& TheCoreLogger() {
    static CoreLogger logger;
    return logger;
}

}  // namespace detail
}  // namespace syv
