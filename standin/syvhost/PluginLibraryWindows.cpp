#include "PluginLibrary.h"

#include "WindowsText.h"

#include <windows.h>

#include <stdexcept>
#include <vector>

namespace syv {

namespace {

std::string LastErrorText() { return WindowsErrorText(GetLastError()); }

}  // namespace

PluginLibrary::PluginLibrary(const std::string& path)
    : handle_(reinterpret_cast<void*>(LoadLibraryW(WideText(path).c_str()))) {
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

std::string ProgramPath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            throw std::runtime_error("cannot find the running program's path: " + LastErrorText());
        }
        if (length < buffer.size()) return Utf8Text(std::wstring(buffer.data(), length));
        buffer.resize(buffer.size() * 2);
    }
}

std::string ProgramFolder() {
    const std::string path = ProgramPath();
    return path.substr(0, path.find_last_of("\\/"));
}

}  // namespace syv
