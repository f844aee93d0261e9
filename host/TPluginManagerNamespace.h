// The host's plug-in manager, which plug-ins register with.
#ifndef NORNSYV20_TPLUGINMANAGERNAMESPACE_H
#define NORNSYV20_TPLUGINMANAGERNAMESPACE_H

#include "ICIMNamespace.h"
#include "SyvExport.h"

namespace NORNSYV20 {

class IPluginCallbacks;
class TPluginManagerProvider;

// The plug-in manager, reached as a namespace through
// TRootObject::GetPluginManager().
class SYV_API TPluginManagerNamespace : public ICIMNamespace {
public:
    ~TPluginManagerNamespace() override;

    // Keeps the pointer; from then on the host owns the plug-in object. The
    // result is the host's record of the plug-in. Throws TSYVException when
    // the plug-in cannot be registered.
    virtual TPluginManagerProvider* RegisterPlugin(IPluginCallbacks* plugin) = 0;
};

}  // namespace NORNSYV20

#endif
