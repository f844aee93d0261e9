// Everything a plug-in sees of the host framework.
#ifndef NORNSYV20_HOST_H
#define NORNSYV20_HOST_H

#include "ICIMClass.h"
#include "ICIMInstance.h"
#include "ICIMNamespace.h"
#include "ICIMProperty.h"
#include "ILogger.h"
#include "IPluginBasicQueryCallbacks.h"
#include "IPluginCallbacks.h"
#include "TAddToVectorCallback.h"
#include "TCIMReference.h"
#include "TCIMSchemaHelper.h"
#include "TCIMValue.h"
#include "TOSSpecific.h"
#include "TPluginManagerNamespace.h"
#include "TRootObject.h"
#include "TSYVException.h"
#include "TSYVStatusCode.h"

#endif
