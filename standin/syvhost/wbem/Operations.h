// The intrinsic methods: one function per method, found in a table. Each
// reads its typed parameters, walks the target namespace's schema and
// instances, and writes the content of its IRETURNVALUE.
#ifndef SYVHOST_WBEM_OPERATIONS_H
#define SYVHOST_WBEM_OPERATIONS_H

#include "AnswerBody.h"
#include "CimNamespace.h"
#include "CimRequest.h"
#include "CimXmlWriter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace syv {
namespace wbem {

class Enumerations;

struct OperationContext {
    const CimRequest& request;
    CimNamespace& target;
    const Namespaces& namespaces;
    CimXmlWriter& xml;  // the return value
    ObjectOutput& objects;
    std::string output;  // output parameters, written after the return value
    Enumerations* enumerations = nullptr;  // the open enumerations of the pull operations
    std::string user;  // who asked, for the enumerations they open
};

// How an instance appears in an answer: INSTANCENAME, VALUE.NAMEDINSTANCE,
// OBJECTPATH, VALUE.OBJECTWITHPATH, INSTANCEPATH, VALUE.INSTANCEWITHPATH.
enum class Shape { kName, kNamedInstance, kObjectPath, kObjectWithPath, kInstancePath, kInstanceWithPath };

// Writes the instance in that shape, then tells the output.
void WriteInstance(OperationContext& context, Shape shape, const SchemaView& schema, const ClassDefinition& cls,
                   const CommittedInstance& instance, const PropertyFilter& filter);
// Writes the path of the instance a reference names (OBJECTPATH or
// INSTANCEPATH), then tells the output.
void WriteReference(OperationContext& context, Shape shape, const NORNSYV20::TCIMReference& reference);

// The walks behind the instance and association methods, in any shape:
// the instances of a class (names only for kName and kInstancePath), and
// the far ends or links of an instance (names only for kObjectPath and
// kInstancePath; links for references).
void WriteInstancesOf(OperationContext& context, Shape shape);
void WriteAssociated(OperationContext& context, bool references, Shape shape, const char* objectParameter);

struct Operation {
    const char* name;
    void (*run)(OperationContext& context);
    // True when this request needs instances, which only the query thread
    // may collect; false when the schema alone (or state of the server's
    // own) answers it.
    bool (*needsInstances)(const CimRequest& request);
};

// The method of that name (ASCII case-insensitive); null when it is not
// supported.
const Operation* FindOperation(std::string_view method);

// The typed reading of a request's parameters; a value of the wrong kind is
// CIM_ERR_INVALID_PARAMETER.
class Params {
public:
    explicit Params(const CimRequest& request) : request_(request) {}

    bool Bool(const char* name, bool fallback) const;
    std::optional<std::uint32_t> Uint32(const char* name) const;
    std::string String(const char* name) const;  // empty when absent or null
    std::optional<std::string> ClassName(const char* name) const;
    std::string RequiredClassName(const char* name) const;
    const NORNSYV20::TCIMReference& InstanceName(const char* name) const;
    std::optional<std::vector<std::string>> PropertyList() const;
    // True when the parameter names a class (CLASSNAME) rather than an instance.
    bool NamesClass(const char* name) const;

private:
    const ParamValue* Value(const char* name, ParamValue::Kind kind, const char* what) const;

    const CimRequest& request_;
};

// The properties an instance answer shows; classicParameters: the method
// takes IncludeQualifiers and LocalOnly (not the pull methods).
PropertyFilter InstanceFilter(const Params& params, bool classicParameters);

// The class in the context's namespace; CIM_ERR_INVALID_CLASS when it has
// no such class (nor names it as a superclass, when allowed).
const ClassDefinition& RequireClass(const OperationContext& context, const std::string& name);

// The operations, by group.
void EnumerateClassNames(OperationContext& context);
void EnumerateClasses(OperationContext& context);
void GetClass(OperationContext& context);
void EnumerateInstanceNames(OperationContext& context);
void EnumerateInstances(OperationContext& context);
void GetInstance(OperationContext& context);
void AssociatorNames(OperationContext& context);
void Associators(OperationContext& context);
void ReferenceNames(OperationContext& context);
void References(OperationContext& context);
void OpenEnumerateInstances(OperationContext& context);
void OpenEnumerateInstancePaths(OperationContext& context);
void OpenAssociatorInstances(OperationContext& context);
void OpenAssociatorInstancePaths(OperationContext& context);
void OpenReferenceInstances(OperationContext& context);
void OpenReferenceInstancePaths(OperationContext& context);
void PullInstancesWithPath(OperationContext& context);
void PullInstancePaths(OperationContext& context);
void CloseEnumeration(OperationContext& context);

}  // namespace wbem
}  // namespace syv

#endif
