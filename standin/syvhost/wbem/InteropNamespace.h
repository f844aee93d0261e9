// root/interop: the server's description of itself, the way standard WBEM
// clients discover a server (DSP1033): its object manager, the namespaces it
// serves, its CIM-XML endpoint, and the profiles it implements with their
// central instances, the adapter controllers among them.
#ifndef SYVHOST_WBEM_INTEROPNAMESPACE_H
#define SYVHOST_WBEM_INTEROPNAMESPACE_H

#include "CimNamespace.h"

#include <string>
#include <vector>

namespace syv {
namespace wbem {

// What the description says of this server.
struct ServerIdentity {
    std::string systemName;  // the machine's host name
    std::string version;     // the project's version, "1.0"
    bool authenticates = false;  // HTTP Basic on every request
    // The namespaces served, this one included.
    std::vector<std::string> namespaces;
    // The namespace and classes of the collector profile's central instances.
    std::string collectedNamespace;
    std::vector<std::string> centralClasses;
};

extern const char* const kInteropNamespace;  // "root/interop"

class InteropNamespace : public CimNamespace {
public:
    // collected: the namespace that holds the central instances.
    InteropNamespace(SchemaView schema, ServerIdentity identity, CimNamespace& collected);

    void Enumerate(const std::vector<const ClassDefinition*>& classes, const InstanceVisitor& each) override;

private:
    void ConformingElements(const ClassDefinition& cls, const InstanceVisitor& each);

    ServerIdentity identity_;
    CimNamespace& collected_;
    std::vector<CommittedInstance> instances_;  // all but the links to central instances elsewhere
    NORNSYV20::TCIMReference collectorProfile_;
};

}  // namespace wbem
}  // namespace syv

#endif
