// The host's process-wide services: plug-in manager and core logger.
#ifndef NORNSYV20_TROOTOBJECT_H
#define NORNSYV20_TROOTOBJECT_H

#include "SyvExport.h"

#include <boost/shared_ptr.hpp>

namespace NORNSYV20 {

class ICIMNamespace;
class ILogger;

// The host's process-wide services.
class SYV_API TRootObject {
public:
    // A namespace whose object is a TPluginManagerNamespace.
    static boost::shared_ptr<ICIMNamespace> GetPluginManager();

    // The core logger; not owned by the caller.
    static ILogger* GetCoreLogger();
};

}  // namespace NORNSYV20

#endif
