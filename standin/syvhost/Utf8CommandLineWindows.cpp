#include "Utf8CommandLine.h"

#include <windows.h>

#include <shellapi.h>

#include <climits>
#include <cwchar>
#include <memory>
#include <stdexcept>

namespace syv {

namespace {

std::string ToUtf8(const wchar_t* wide) {
    const std::size_t length = std::wcslen(wide);
    if (length == 0) {
        return std::string();
    }
    if (length > static_cast<std::size_t>(INT_MAX)) {
        throw std::runtime_error("an argument is too long");
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        throw std::runtime_error("an argument cannot be converted to UTF-8");
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), &text[0], size, nullptr, nullptr);
    return text;
}

}  // namespace

std::vector<std::string> Utf8Arguments(int, char**) {
    int count = 0;
    const std::unique_ptr<LPWSTR, decltype(&LocalFree)> wide(CommandLineToArgvW(GetCommandLineW(), &count),
                                                             &LocalFree);
    if (!wide) {
        throw std::runtime_error("cannot read the command line (Windows error " + std::to_string(GetLastError()) +
                                 ")");
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(ToUtf8(wide.get()[i]));
    }
    return arguments;
}

}  // namespace syv
