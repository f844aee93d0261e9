#include "PluginLibrary.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <stdexcept>

namespace syv {

PluginLibrary::PluginLibrary(const std::string& path) : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr) {
        const char* error = dlerror();
        throw std::runtime_error(error != nullptr ? error : "cannot load " + path);
    }
}

PluginLibrary::~PluginLibrary() { Unload(); }

void PluginLibrary::Unload() {
    if (handle_ != nullptr) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

bool PluginLibrary::Exports(const std::string& symbol) const {
    return handle_ != nullptr && dlsym(handle_, symbol.c_str()) != nullptr;
}

std::string ProgramPath() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) {
        throw std::runtime_error("cannot find the running program's path");
    }
    return std::string(buffer, static_cast<size_t>(length));
}

std::string ProgramFolder() {
    const std::string path = ProgramPath();
    return path.substr(0, path.find_last_of('/'));
}

}  // namespace syv
