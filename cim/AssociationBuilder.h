// Controller-to-firmware and controller-to-BIOS associations, built from the
// instances the host's enumeration returns, paired through the inventory's
// element-name list.
#ifndef VELKOR_CIM_ASSOCIATIONBUILDER_H
#define VELKOR_CIM_ASSOCIATIONBUILDER_H

#include "cim/AdapterKind.h"
#include "discovery/AdapterRecord.h"
#include "host/ICIMClass.h"
#include "host/ICIMNamespace.h"

#include <boost/shared_ptr.hpp>

#include <string>
#include <vector>

namespace velkor {

// Commits one association of className per controller-element pair that the
// name list pairs: the element's "Name" found first in the list under the
// controller's "ControllerNum". The instance is created from the last
// requested class bearing className. Does nothing, and calls no host
// operation, when className is not one of the kind's association classes.
void BuildAdapterAssociations(const AdapterKind& kind, const std::vector<ElementName>& names,
                              const std::vector<boost::shared_ptr<NORNSYV20::ICIMClass>>& requestedClasses,
                              const boost::shared_ptr<NORNSYV20::ICIMNamespace>& ns, const std::string& className);

}  // namespace velkor

#endif
