// The names of the host's class-lookup context.
#ifndef NORNSYV20_TCIMSCHEMAHELPER_H
#define NORNSYV20_TCIMSCHEMAHELPER_H

#include "SyvExport.h"

#include <string>

namespace NORNSYV20 {

class SYV_API TCIMSchemaHelper {
public:
    // Key of a context entry that names where a class lookup comes from.
    static const std::string kContextName;
    // Context value of a lookup made by a plug-in's provider.
    static const std::string kPluginNSPName;
};

}  // namespace NORNSYV20

#endif
