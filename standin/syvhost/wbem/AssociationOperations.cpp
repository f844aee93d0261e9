// The association operations: on an instance, the links (association
// instances) that refer to it and the instances at their far ends, from the
// namespaces' instances; on a class, the association classes that can refer
// to it and the classes at their far ends, from the schema.
#include "Operations.h"

#include "XmlText.h"

#include <algorithm>

namespace syv {
namespace wbem {

namespace {

using NORNSYV20::TCIMReference;
using NORNSYV20::TCIMValue;

struct Filters {
    std::optional<std::string> assocClass;   // ResultClass of the reference methods
    std::optional<std::string> resultClass;  // associator methods only
    std::string role;
    std::string resultRole;  // associator methods only
    PropertyFilter properties;
};

bool NamesOnly(Shape shape) { return shape == Shape::kObjectPath || shape == Shape::kInstancePath; }

// classic: the methods that take IncludeQualifiers (not the pull methods).
Filters FiltersOf(const Params& params, bool references, Shape shape, bool classic) {
    Filters filters;
    filters.assocClass = params.ClassName(references ? "ResultClass" : "AssocClass");
    if (!references) {
        filters.resultClass = params.ClassName("ResultClass");
        filters.resultRole = params.String("ResultRole");
    }
    filters.role = params.String("Role");
    if (!NamesOnly(shape)) {
        filters.properties = InstanceFilter(params, false);
        filters.properties.qualifiers = classic && params.Bool("IncludeQualifiers", false);  // of classes
    }
    return filters;
}

bool IsReferenceProperty(const ClassDefinition::Member& member) {
    return member.declared->type == NORNSYV20::eCIMTypeReference;
}

// The object's class can stand where the association's reference points:
// it derives from the referenced class, or that class derives from it.
bool CanRefer(const SchemaView& associationSchema, const std::string& referenceClass, const SchemaView& objectSchema,
              const ClassDefinition& object) {
    if (objectSchema.DerivesFrom(object, referenceClass)) return true;
    const ClassDefinition* target = associationSchema.FindClass(referenceClass);
    return target && associationSchema.DerivesFrom(*target, object.name);
}

// The association classes of the namespace that can refer to the object
// through a reference that passes the filters.
std::vector<const ClassDefinition*> AssociationsOf(const SchemaView& schema, const SchemaView& objectSchema,
                                                    const ClassDefinition& object, const Filters& filters) {
    std::vector<const ClassDefinition*> associations;
    for (const ClassDefinition* cls : schema.Classes()) {
        if (!cls->isAssociation || (filters.assocClass && !schema.DerivesFrom(*cls, *filters.assocClass))) continue;
        for (const ClassDefinition::Member& near : cls->members) {
            if (IsReferenceProperty(near) && (filters.role.empty() || NamesEqual(near.declared->name, filters.role)) &&
                CanRefer(schema, near.declared->referenceClass, objectSchema, object)) {
                associations.push_back(cls);
                break;
            }
        }
    }
    return associations;
}

// A far end of a link: the namespace its instance lives in, and its class.
struct FarEnd {
    TCIMReference reference;
    CimNamespace* ns;
    const ClassDefinition* cls;
};

void RunOnInstance(OperationContext& context, bool references, Shape shape, const TCIMReference& given,
                   const Filters& filters) {
    CimNamespace* objectNs = context.namespaces.Find(given.GetNamespaceName());
    const ClassDefinition* objectClass = objectNs ? objectNs->Schema().FindClass(given.GetClassName()) : nullptr;
    if (!objectClass) {
        throw CimError{kErrInvalidParameter, "the class " + given.GetClassName() + " does not exist in " +
                                                 given.GetNamespaceName()};
    }
    const TCIMReference object = objectNs->Schema().Canonical(given);
    const SchemaView& schema = context.target.Schema();
    const std::vector<const ClassDefinition*> associations =
        AssociationsOf(schema, objectNs->Schema(), *objectClass, filters);
    if (associations.empty()) return;

    // References stream their links as they come; associators first gather
    // the far ends, then stream those instances.
    std::vector<FarEnd> ends;
    context.target.Enumerate(associations, [&](const ClassDefinition& cls, const CommittedInstance& link) {
        for (const auto& near : link.properties) {
            if (near.second.GetKind() != TCIMValue::eReference || !SameReference(near.second.GetReference(), object) ||
                (!filters.role.empty() && !NamesEqual(near.first, filters.role))) {
                continue;
            }
            if (references) {
                WriteInstance(context, shape, schema, cls, link, filters.properties);
                return;  // a link once, however many of its references name the object
            }
            for (const auto& far : link.properties) {
                if (far.first == near.first || far.second.GetKind() != TCIMValue::eReference) continue;
                if (!filters.resultRole.empty() && !NamesEqual(far.first, filters.resultRole)) continue;
                const TCIMReference& end = far.second.GetReference();
                CimNamespace* endNs = context.namespaces.Find(end.GetNamespaceName());
                const ClassDefinition* endClass = endNs ? endNs->Schema().FindClass(end.GetClassName()) : nullptr;
                if (filters.resultClass && !(endClass && endNs->Schema().DerivesFrom(*endClass, *filters.resultClass))) continue;
                const bool seen = std::any_of(ends.begin(), ends.end(),
                                              [&end](const FarEnd& known) { return SameReference(known.reference, end); });
                if (!seen) ends.push_back({end, endNs, endClass});
            }
        }
    });
    if (references) return;
    if (NamesOnly(shape)) {
        for (const FarEnd& end : ends) WriteReference(context, shape, end.reference);
        return;
    }
    // The far ends' instances, from one enumeration of their classes per
    // namespace; each end once.
    for (CimNamespace* ns : context.namespaces.All()) {
        std::vector<const ClassDefinition*> classes;
        for (const FarEnd& end : ends) {
            if (end.ns == ns && end.cls && std::find(classes.begin(), classes.end(), end.cls) == classes.end()) {
                classes.push_back(end.cls);
            }
        }
        if (classes.empty()) continue;
        std::vector<bool> written(ends.size(), false);
        ns->Enumerate(classes, [&](const ClassDefinition& cls, const CommittedInstance& instance) {
            for (std::size_t i = 0; i < ends.size(); ++i) {
                if (written[i] || ends[i].ns != ns || !ns->Schema().Names(ends[i].reference, cls, instance)) continue;
                written[i] = true;
                WriteInstance(context, shape, ns->Schema(), cls, instance, filters.properties);
                return;
            }
        });
    }
}

void RunOnClass(OperationContext& context, bool references, bool names, const std::string& className,
                const Filters& filters) {
    const SchemaView& schema = context.target.Schema();
    const ClassDefinition* source = schema.FindClass(className);
    if (!source) throw CimError{kErrInvalidParameter, "the class " + className + " does not exist in " + context.target.Name()};
    std::vector<const ClassDefinition*> found;
    const auto add = [&found](const ClassDefinition* cls) {
        if (cls && std::find(found.begin(), found.end(), cls) == found.end()) found.push_back(cls);
    };
    for (const ClassDefinition* association : AssociationsOf(schema, schema, *source, filters)) {
        for (const ClassDefinition::Member& near : association->members) {
            if (!IsReferenceProperty(near) || (!filters.role.empty() && !NamesEqual(near.declared->name, filters.role)) ||
                !CanRefer(schema, near.declared->referenceClass, schema, *source)) {
                continue;
            }
            if (references) add(association);
            for (const ClassDefinition::Member& far : association->members) {
                if (references || &far == &near || !IsReferenceProperty(far) ||
                    (!filters.resultRole.empty() && !NamesEqual(far.declared->name, filters.resultRole))) {
                    continue;
                }
                const ClassDefinition* end = schema.FindClass(far.declared->referenceClass);
                if (end && (!filters.resultClass || schema.DerivesFrom(*end, *filters.resultClass))) add(end);
            }
        }
    }
    for (const ClassDefinition* cls : found) {
        if (names) {
            context.xml.ClassObjectPath(context.target.Name(), *cls);
        } else {
            context.xml.ClassWithPath(context.target.Name(), *cls, filters.properties);
        }
    }
}

}  // namespace

void WriteAssociated(OperationContext& context, bool references, Shape shape, const char* objectParameter) {
    const Params params(context.request);
    const bool classic = shape == Shape::kObjectPath || shape == Shape::kObjectWithPath;
    const Filters filters = FiltersOf(params, references, shape, classic);
    if (classic && params.NamesClass(objectParameter)) {
        return RunOnClass(context, references, NamesOnly(shape), *params.ClassName(objectParameter), filters);
    }
    RunOnInstance(context, references, shape, params.InstanceName(objectParameter), filters);
}

void AssociatorNames(OperationContext& context) { WriteAssociated(context, false, Shape::kObjectPath, "ObjectName"); }
void Associators(OperationContext& context) { WriteAssociated(context, false, Shape::kObjectWithPath, "ObjectName"); }
void ReferenceNames(OperationContext& context) { WriteAssociated(context, true, Shape::kObjectPath, "ObjectName"); }
void References(OperationContext& context) { WriteAssociated(context, true, Shape::kObjectWithPath, "ObjectName"); }

}  // namespace wbem
}  // namespace syv
