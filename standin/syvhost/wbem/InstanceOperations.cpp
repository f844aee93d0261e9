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

bool NamesOnly(Shape shape) { return shape == Shape::kName || shape == Shape::kInstancePath || shape == Shape::kObjectPath; }

}  // namespace

// LocalOnly, deprecated for instances and read differently by the versions
// of DSP0200, is checked but ignored: an instance shows all its properties,
// as most servers answer.
PropertyFilter InstanceFilter(const Params& params, bool classicParameters) {
    PropertyFilter filter;
    filter.propertyList = params.PropertyList();
    filter.classOrigin = params.Bool("IncludeClassOrigin", false);
    if (classicParameters) {
        params.Bool("IncludeQualifiers", false);  // instances carry none
        params.Bool("LocalOnly", false);
    }
    return filter;
}

void WriteInstancesOf(OperationContext& context, Shape shape) {
    const Params params(context.request);
    const std::string name = params.RequiredClassName("ClassName");
    const std::vector<const ClassDefinition*> classes = ServedClasses(context, name);
    PropertyFilter filter;
    if (!NamesOnly(shape)) {
        filter = InstanceFilter(params, shape == Shape::kNamedInstance);
        if (!params.Bool("DeepInheritance", true)) filter.onlyOf = context.target.Schema().FindClass(name);
    }
    const SchemaView& schema = context.target.Schema();
    context.target.Enumerate(classes, [&](const ClassDefinition& cls, const CommittedInstance& instance) {
        WriteInstance(context, shape, schema, cls, instance, filter);
    });
}

void EnumerateInstanceNames(OperationContext& context) { WriteInstancesOf(context, Shape::kName); }
void EnumerateInstances(OperationContext& context) { WriteInstancesOf(context, Shape::kNamedInstance); }

void GetInstance(OperationContext& context) {
    const Params params(context.request);
    const NORNSYV20::TCIMReference& name = params.InstanceName("InstanceName");
    const ClassDefinition& cls = RequireClass(context, name.GetClassName());
    const PropertyFilter filter = InstanceFilter(params, true);
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
