// Loading a plug-in library the way the real host does: through the
// platform's library loader, whose notifications run the plug-in's attach
// routine.
#ifndef SYVHOST_PLUGINLIBRARY_H
#define SYVHOST_PLUGINLIBRARY_H

#include <string>

namespace syv {

class PluginLibrary {
public:
    // Loads the library. Throws std::runtime_error with the loader's own
    // message when it cannot be loaded (on Windows also when its attach
    // routine reports failure).
    explicit PluginLibrary(const std::string& path);
    // Unloads the library unless Unload() did already.
    ~PluginLibrary();

    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    void Unload();
    bool IsLoaded() const { return handle_ != nullptr; }

    // Whether the library exports a symbol of that name.
    bool Exports(const std::string& symbol) const;

private:
    void* handle_;
};

// The running program's file, and its folder, without a trailing separator.
std::string ProgramPath();
std::string ProgramFolder();

}  // namespace syv

#endif
