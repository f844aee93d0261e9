#include "host/TCIMSchemaHelper.h"

namespace NORNSYV20 {

const std::string TCIMSchemaHelper::kContextName = "__ContextName";
const std::string TCIMSchemaHelper::kPluginNSPName = "PluginNSP";

}  // namespace NORNSYV20
