// Controller, firmware element and BIOS element instances: one per adapter
// record, properties set in a fixed order, each committed once.
#ifndef VELKOR_CIM_INSTANCEBUILDER_H
#define VELKOR_CIM_INSTANCEBUILDER_H

#include "cim/AdapterKind.h"
#include "discovery/AdapterRecord.h"
#include "host/ICIMClass.h"

#include <boost/shared_ptr.hpp>

#include <vector>

namespace velkor {

// When servedClass is the kind's controller, firmware element or BIOS element
// class, creates one instance of it per record, adapter number N = position
// + 1, sets its properties in their fixed order and commits it. Does nothing
// for any other class.
void BuildAdapterInstances(const AdapterKind& kind, const std::vector<AdapterRecord>& adapters,
                           const boost::shared_ptr<NORNSYV20::ICIMClass>& servedClass);

}  // namespace velkor

#endif
