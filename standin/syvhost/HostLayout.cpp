#include "HostLayout.h"

#include "Platform.h"

#include <filesystem>
#include <system_error>

namespace syv {

HostLayout FindHostLayout(const std::string& programFolder) {
    HostLayout layout;
    const std::string beside = programFolder + "/" + kPluginFileName;
    std::error_code error;
    if (std::filesystem::exists(beside, error)) {
        layout.plugin = beside;
        layout.schema = programFolder + "/schema";
        layout.tools = programFolder;
        return layout;
    }
    // The install rules' folders, relative to the programs' folder.
    const std::filesystem::path folder(programFolder);
    const std::string pluginFolder = (folder / VELKOR_PLUGIN_DIR_FROM_BIN).lexically_normal().string();
    layout.plugin = pluginFolder + "/" + kPluginFileName;
    layout.schema = (folder / VELKOR_SCHEMA_DIR_FROM_BIN).lexically_normal().string();
    layout.tools = pluginFolder;
    return layout;
}

}  // namespace syv
