#include "PluginLibrary.h"

#include <windows.h>

#include <stdexcept>
#include <vector>

namespace syv {

namespace {

std::wstring Widen(const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::string Narrow(const std::wstring& wide) {
    if (wide.empty()) {
        return std::string();
    }
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &text[0], length, nullptr, nullptr);
    return text;
}

std::string LastErrorText() {
    const DWORD code = GetLastError();
    wchar_t* message = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
        reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::string text = length > 0 ? Narrow(std::wstring(message, length)) : "error " + std::to_string(code);
    LocalFree(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

PluginLibrary::PluginLibrary(const std::string& path)
    : handle_(reinterpret_cast<void*>(LoadLibraryW(Widen(path).c_str()))) {
    if (handle_ == nullptr) {
        throw std::runtime_error(path + ": " + LastErrorText());
    }
}

PluginLibrary::~PluginLibrary() { Unload(); }

void PluginLibrary::Unload() {
    if (handle_ != nullptr) {
        FreeLibrary(reinterpret_cast<HMODULE>(handle_));
        handle_ = nullptr;
    }
}

bool PluginLibrary::Exports(const std::string& symbol) const {
    return handle_ != nullptr && GetProcAddress(reinterpret_cast<HMODULE>(handle_), symbol.c_str()) != nullptr;
}

std::string ProgramFolder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            throw std::runtime_error("cannot find the running program's path: " + LastErrorText());
        }
        if (length < buffer.size()) {
            const std::string path = Narrow(std::wstring(buffer.data(), length));
            return path.substr(0, path.find_last_of("\\/"));
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace syv
