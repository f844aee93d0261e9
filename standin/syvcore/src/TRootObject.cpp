#include "host/TRootObject.h"

#include "CoreLogger.h"
#include "PluginManager.h"

namespace NORNSYV20 {

boost::shared_ptr<ICIMNamespace> TRootObject::GetPluginManager() { return syv::detail::ThePluginManager(); }

ILogger* TRootObject::GetCoreLogger() { return &syv::detail::TheCoreLogger(); }

}  // namespace NORNSYV20
