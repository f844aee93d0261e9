// Where syvhost finds what it loads: the one rule for the build tree, the
// Windows ZIP and an installed tree.
#ifndef SYVHOST_HOSTLAYOUT_H
#define SYVHOST_HOSTLAYOUT_H

#include <string>

namespace syv {

struct HostLayout {
    std::string plugin;  // the plug-in library
    std::string schema;  // the folder of the class schema's MOF files
    std::string tools;   // the tools folder when --tools is not given
};

// A plug-in beside syvhost (the build tree, the unpacked ZIP) means everything
// is beside it: the schema in its schema/ subfolder, the tools in its own
// folder. Otherwise syvhost runs from an installed tree and finds the plug-in,
// and the tools, in the plug-in's own library folder and the schema in the
// shared data folder, both relative to its own folder (/usr/bin ->
// /usr/lib/velkor-collector, /usr/share/velkor-collector/schema); the example
// tools installed with the package are never a default.
HostLayout FindHostLayout(const std::string& programFolder);

}  // namespace syv

#endif
