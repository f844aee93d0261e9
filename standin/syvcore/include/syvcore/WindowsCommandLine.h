// A Windows command line that parses back into the exact arguments: how
// syvcore starts the tools on Windows, and how a program that registers
// another to be started later (syvhost's service) writes its command line.
// Text only, so it builds everywhere.
#ifndef SYVCORE_WINDOWSCOMMANDLINE_H
#define SYVCORE_WINDOWSCOMMANDLINE_H

#include <string>
#include <vector>

namespace syv {

// Appends argument so that both CommandLineToArgvW and the C runtime's
// parser give it back verbatim: backslashes are literal except before a
// quote, where each must be doubled and the quote escaped.
inline void AppendWindowsArgument(std::wstring& line, const std::wstring& argument) {
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

// The program, then each argument. The first word is parsed without escapes:
// quotes delimit it, and a path cannot hold one.
inline std::wstring WindowsCommandLine(const std::wstring& program, const std::vector<std::wstring>& arguments) {
    std::wstring line = L"\"" + program + L"\"";
    for (const std::wstring& argument : arguments) {
        line += L' ';
        AppendWindowsArgument(line, argument);
    }
    return line;
}

}  // namespace syv

#endif
