#include "CommandLine.h"

#include "Win32Support.h"

namespace syv {
namespace detail {
namespace {

// Quotes one argument so that both CommandLineToArgvW and the C runtime's
// parser give it back verbatim: backslashes are literal except before a
// quote, where each must be doubled and the quote escaped.
void AppendQuoted(std::wstring& line, const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    for (std::size_t i = 0;; ++i) {
        std::size_t backslashes = 0;
        while (i < argument.size() && argument[i] == L'\\') {
            ++i;
            ++backslashes;
        }
        if (i == argument.size()) {
            line.append(backslashes * 2, L'\\');  // the closing quote follows
            break;
        }
        if (argument[i] == L'"') {
            line.append(backslashes * 2 + 1, L'\\');
        } else {
            line.append(backslashes, L'\\');
        }
        line += argument[i];
    }
    line += L'"';
}
}  // namespace

std::wstring CommandLine(const std::wstring& program, const std::vector<std::string>& arguments) {
    // The first word is parsed without escapes: quotes delimit it, and a
    // path cannot hold one.
    std::wstring line = L"\"" + program + L"\"";
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        line += L' ';
        AppendQuoted(line, ToWide(arguments[i], "argument " + std::to_string(i + 1)));
    }
    return line;
}

}  // namespace detail
}  // namespace syv
