// What a registered plug-in says about itself, as the reports show it.
#ifndef SYVHOST_PLUGINIDENTITY_H
#define SYVHOST_PLUGINIDENTITY_H

#include <cstdint>
#include <string>

namespace syv {

struct PluginIdentity {
    std::string name;
    std::string version;
    std::string revision;
    std::uint32_t flags = 0;
};

}  // namespace syv

#endif
