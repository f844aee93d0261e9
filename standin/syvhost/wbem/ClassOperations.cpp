// The class operations, answered from the schema alone.
#include "Operations.h"

#include "XmlText.h"

namespace syv {
namespace wbem {

namespace {

// Without a class, the classes whose superclass the namespace lacks (all
// with DeepInheritance); with one, its subclasses (all descendants with
// DeepInheritance).
std::vector<const ClassDefinition*> ClassesUnder(const OperationContext& context) {
    const Params params(context.request);
    const std::optional<std::string> name = params.ClassName("ClassName");
    const bool deep = params.Bool("DeepInheritance", false);
    const SchemaView& schema = context.target.Schema();
    if (name && !schema.Knows(*name)) {
        throw CimError{kErrInvalidClass, "the class " + *name + " does not exist in " + context.target.Name()};
    }
    std::vector<const ClassDefinition*> result;
    for (const ClassDefinition* cls : schema.Classes()) {
        if (!name) {
            if (deep || !cls->parent) result.push_back(cls);
        } else if (!NamesEqual(cls->name, *name) &&
                   (deep ? schema.DerivesFrom(*cls, *name) : NamesEqual(cls->superclass, *name))) {
            result.push_back(cls);
        }
    }
    return result;
}

PropertyFilter ClassFilter(const Params& params) {
    PropertyFilter filter;
    filter.localOnly = params.Bool("LocalOnly", true);
    filter.qualifiers = params.Bool("IncludeQualifiers", true);
    filter.classOrigin = params.Bool("IncludeClassOrigin", false);
    return filter;
}

}  // namespace

void EnumerateClassNames(OperationContext& context) {
    for (const ClassDefinition* cls : ClassesUnder(context)) context.xml.ClassName(cls->name);
}

void EnumerateClasses(OperationContext& context) {
    const PropertyFilter filter = ClassFilter(Params(context.request));
    for (const ClassDefinition* cls : ClassesUnder(context)) {
        context.xml.Class(*cls, filter);
        context.objects.Checkpoint();
    }
}

void GetClass(OperationContext& context) {
    const Params params(context.request);
    const std::string name = params.RequiredClassName("ClassName");
    const ClassDefinition* cls = context.target.Schema().FindClass(name);
    if (!cls) throw CimError{kErrNotFound, "the class " + name + " does not exist in " + context.target.Name()};
    PropertyFilter filter = ClassFilter(params);
    filter.propertyList = params.PropertyList();
    context.xml.Class(*cls, filter);
}

}  // namespace wbem
}  // namespace syv
