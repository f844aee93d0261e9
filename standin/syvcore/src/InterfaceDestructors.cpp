// The interfaces' destructors are defined here, out of line, so that they are
// the key functions: the vtables and type information of the host interfaces
// then live in syvcore alone, and a dynamic cast or a catch in a plug-in sees
// the same types as the host.
#include "host/ICIMClass.h"
#include "host/ICIMInstance.h"
#include "host/ICIMNamespace.h"
#include "host/ICIMProperty.h"
#include "host/ILogger.h"
#include "host/IPluginBasicQueryCallbacks.h"
#include "host/IPluginCallbacks.h"
#include "host/TPluginManagerNamespace.h"

namespace NORNSYV20 {

ICIMClass::~ICIMClass() = default;
ICIMInstance::~ICIMInstance() = default;
ICIMNamespace::~ICIMNamespace() = default;
ICIMProperty::~ICIMProperty() = default;
ILogger::~ILogger() = default;
IPluginBasicQueryCallbacks::~IPluginBasicQueryCallbacks() = default;
IPluginCallbacks::~IPluginCallbacks() = default;
TPluginManagerNamespace::~TPluginManagerNamespace() = default;

}  // namespace NORNSYV20
