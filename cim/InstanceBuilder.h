// Controller, firmware element and BIOS element instances: one per adapter
// record, properties set in a fixed order, each committed once.
#ifndef VELKOR_CIM_INSTANCEBUILDER_H
#define VELKOR_CIM_INSTANCEBUILDER_H

#include "cim/AdapterKind.h"
#include "discovery/AdapterRecord.h"
#include "host/ICIMClass.h"
#include "host/ICIMInstance.h"
#include "host/TCIMValue.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velkor {

// Creates an instance of the served class for adapter number N and sets its
// key and naming properties; the builder passes the versions its branch
// reads (empty texts for controllers).
using CreateAdapterInstanceFn =
    std::function<void(boost::shared_ptr<NORNSYV20::ICIMClass> servedClass,
                       boost::shared_ptr<NORNSYV20::ICIMInstance>& instance, std::uint32_t adapterNumber,
                       const std::string& version, const std::string& driverFirmwareVersion)>;

// Commits one instance of the served class per record when the class is the
// kind's controller, firmware or BIOS element class; does nothing else for
// any other class or an empty list.
void BuildAdapterInstances(const AdapterKind& kind, const std::vector<AdapterRecord>& adapters,
                           const boost::shared_ptr<NORNSYV20::ICIMClass>& servedClass,
                           const CreateAdapterInstanceFn& create);

// The creation helpers' work once the instance exists: by the class name,
// the firmware element's, the BIOS element's or the controller's key and
// naming properties, in their fixed order.
void SetAdapterInstanceKeys(const AdapterKind& kind, const std::string& className,
                            NORNSYV20::ICIMInstance& instance, std::uint32_t adapterNumber,
                            const std::string& version, const std::string& driverFirmwareVersion);

// ComposeName's text as a CIM text value.
NORNSYV20::TCIMValue ComposeNameValue(const std::string& prefix, std::uint32_t adapterNumber,
                                      const std::string& suffix = "");

}  // namespace velkor

#endif
