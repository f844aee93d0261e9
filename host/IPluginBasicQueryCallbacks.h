// The query interface a plug-in implements.
#ifndef NORNSYV20_IPLUGINBASICQUERYCALLBACKS_H
#define NORNSYV20_IPLUGINBASICQUERYCALLBACKS_H

#include "SyvExport.h"

#include <boost/shared_ptr.hpp>

#include <vector>

namespace NORNSYV20 {

class ICIMClass;
class ICIMNamespace;

// Queries: the host reaches this interface from the registered
// IPluginCallbacks pointer by dynamic cast.
class SYV_API IPluginBasicQueryCallbacks {
public:
    virtual ~IPluginBasicQueryCallbacks();

    // Commits the instances of the requested classes into the running query.
    virtual void QueryInstances(boost::shared_ptr<ICIMNamespace> ns,
                                const std::vector<boost::shared_ptr<ICIMClass>>& requestedClasses) = 0;
};

}  // namespace NORNSYV20

#endif
