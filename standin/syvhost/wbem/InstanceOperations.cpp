// The instance operations, answered from the namespace's instances as they
// are collected.
#include "Operations.h"

namespace syv {
namespace wbem {

namespace {

// The classes whose instances an enumeration of the named class answers.
std::vector<const ClassDefinition*> ServedClasses(const OperationContext& context, const std::string& name) {
    std::vector<const ClassDefinition*> classes = context.target.Schema().ClassesDerivedFrom(name);
    if (classes.empty()) throw CimError{kErrInvalidClass, "the class " + name + " does not exist in " + context.target.Name()};
    return classes;
}

// Instances carry no qualifiers; the parameter is still checked.
PropertyFilter InstanceFilter(const Params& params) {
    PropertyFilter filter;
    filter.propertyList = params.PropertyList();
    filter.classOrigin = params.Bool("IncludeClassOrigin", false);
    params.Bool("IncludeQualifiers", false);
    return filter;
}

}  // namespace

void EnumerateInstanceNames(OperationContext& context) {
    const SchemaView& schema = context.target.Schema();
    context.target.Enumerate(ServedClasses(context, Params(context.request).RequiredClassName("ClassName")),
                             [&](const ClassDefinition& cls, const CommittedInstance& instance) {
                                 context.xml.InstanceName(cls, schema.KeysOf(cls, instance));
                                 context.body.Checkpoint();
                             });
}

void EnumerateInstances(OperationContext& context) {
    const Params params(context.request);
    const std::string name = params.RequiredClassName("ClassName");
    const std::vector<const ClassDefinition*> classes = ServedClasses(context, name);
    PropertyFilter filter = InstanceFilter(params);
    const ClassDefinition* requested = context.target.Schema().FindClass(name);
    if (!params.Bool("DeepInheritance", true)) filter.onlyOf = requested;
    if (params.Bool("LocalOnly", true)) filter.onlyLocalTo = requested;
    const SchemaView& schema = context.target.Schema();
    context.target.Enumerate(classes, [&](const ClassDefinition& cls, const CommittedInstance& instance) {
        context.xml.NamedInstance(schema, cls, instance, filter);
        context.body.Checkpoint();
    });
}

void GetInstance(OperationContext& context) {
    const Params params(context.request);
    const NORNSYV20::TCIMReference& name = params.InstanceName("InstanceName");
    const ClassDefinition& cls = RequireClass(context, name.GetClassName());
    PropertyFilter filter = InstanceFilter(params);
    if (params.Bool("LocalOnly", true)) filter.onlyLocalTo = &cls;
    const SchemaView& schema = context.target.Schema();
    bool found = false;
    context.target.Enumerate({&cls}, [&](const ClassDefinition& of, const CommittedInstance& instance) {
        if (found || !schema.Names(name, of, instance)) return;
        found = true;
        context.xml.Instance(of, instance, filter);
    });
    if (!found) throw CimError{kErrNotFound, "no instance " + name.ToObjectPath()};
}

}  // namespace wbem
}  // namespace syv
