#include "Operations.h"

#include "XmlText.h"

namespace syv {
namespace wbem {

namespace {

bool Never(const CimRequest&) { return false; }
bool Always(const CimRequest&) { return true; }

// The association methods answer classes from the schema when the object
// is a class, instances when it is an instance.
bool ObjectIsInstance(const CimRequest& request) { return !Params(request).NamesClass("ObjectName"); }

const Operation kOperations[] = {
    {"EnumerateClassNames", EnumerateClassNames, Never},
    {"EnumerateClasses", EnumerateClasses, Never},
    {"GetClass", GetClass, Never},
    {"EnumerateInstanceNames", EnumerateInstanceNames, Always},
    {"EnumerateInstances", EnumerateInstances, Always},
    {"GetInstance", GetInstance, Always},
    {"AssociatorNames", AssociatorNames, ObjectIsInstance},
    {"Associators", Associators, ObjectIsInstance},
    {"ReferenceNames", ReferenceNames, ObjectIsInstance},
    {"References", References, ObjectIsInstance},
    {"OpenEnumerateInstances", OpenEnumerateInstances, Always},
    {"OpenEnumerateInstancePaths", OpenEnumerateInstancePaths, Always},
    {"OpenAssociatorInstances", OpenAssociatorInstances, Always},
    {"OpenAssociatorInstancePaths", OpenAssociatorInstancePaths, Always},
    {"OpenReferenceInstances", OpenReferenceInstances, Always},
    {"OpenReferenceInstancePaths", OpenReferenceInstancePaths, Always},
    {"PullInstancesWithPath", PullInstancesWithPath, Never},
    {"PullInstancePaths", PullInstancePaths, Never},
    {"CloseEnumeration", CloseEnumeration, Never},
};

CimError Invalid(const std::string& why) { return CimError{kErrInvalidParameter, why}; }

}  // namespace

const Operation* FindOperation(std::string_view method) {
    for (const Operation& operation : kOperations) {
        if (NamesEqual(operation.name, method)) return &operation;
    }
    return nullptr;
}

const ParamValue* Params::Value(const char* name, ParamValue::Kind kind, const char* what) const {
    const ParamValue* value = request_.Param(name);
    if (!value || value->kind == ParamValue::kNull) return nullptr;
    if (value->kind != kind) throw Invalid(std::string("the parameter ") + name + " is not " + what);
    return value;
}

bool Params::Bool(const char* name, bool fallback) const {
    const ParamValue* value = Value(name, ParamValue::kValue, "TRUE or FALSE");
    if (!value) return fallback;
    if (NamesEqual(value->text, "true")) return true;
    if (NamesEqual(value->text, "false")) return false;
    throw Invalid(std::string("the parameter ") + name + " is not TRUE or FALSE");
}

std::optional<std::uint32_t> Params::Uint32(const char* name) const {
    const ParamValue* value = Value(name, ParamValue::kValue, "a number");
    if (!value) return std::nullopt;
    const std::string& digits = value->text;
    std::uint64_t number = 0;
    bool valid = !digits.empty() && digits.size() <= 10;
    for (const char c : digits) {
        valid = valid && c >= '0' && c <= '9';
        number = number * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (!valid || number > 0xFFFFFFFFu) throw Invalid(std::string("the parameter ") + name + " is not an unsigned 32-bit number");
    return static_cast<std::uint32_t>(number);
}

std::string Params::String(const char* name) const {
    const ParamValue* value = Value(name, ParamValue::kValue, "a text");
    return value ? value->text : std::string();
}

std::optional<std::string> Params::ClassName(const char* name) const {
    const ParamValue* value = Value(name, ParamValue::kClassName, "a class name");
    if (!value) return std::nullopt;
    return value->text;
}

std::string Params::RequiredClassName(const char* name) const {
    std::optional<std::string> className = ClassName(name);
    if (!className) throw Invalid(std::string("the parameter ") + name + " is missing");
    return *className;
}

const NORNSYV20::TCIMReference& Params::InstanceName(const char* name) const {
    const ParamValue* value = Value(name, ParamValue::kInstanceName, "an instance name");
    if (!value) throw Invalid(std::string("the parameter ") + name + " is missing");
    return *value->reference;
}

std::optional<std::vector<std::string>> Params::PropertyList() const {
    const ParamValue* value = Value("PropertyList", ParamValue::kArray, "an array of property names");
    if (!value) return std::nullopt;
    return value->texts;
}

bool Params::NamesClass(const char* name) const {
    const ParamValue* value = request_.Param(name);
    return value && value->kind == ParamValue::kClassName;
}

void WriteInstance(OperationContext& context, Shape shape, const SchemaView& schema, const ClassDefinition& cls,
                   const CommittedInstance& instance, const PropertyFilter& filter) {
    CimXmlWriter& xml = context.xml;
    switch (shape) {
    case Shape::kName: xml.InstanceName(cls, schema.KeysOf(cls, instance)); break;
    case Shape::kNamedInstance: xml.NamedInstance(schema, cls, instance, filter); break;
    case Shape::kObjectPath: xml.InstanceObjectPath(schema, cls, instance); break;
    case Shape::kObjectWithPath: xml.InstanceWithPath("VALUE.OBJECTWITHPATH", schema, cls, instance, filter); break;
    case Shape::kInstancePath: xml.InstancePath(schema.Namespace(), cls, schema.KeysOf(cls, instance)); break;
    case Shape::kInstanceWithPath: xml.InstanceWithPath("VALUE.INSTANCEWITHPATH", schema, cls, instance, filter); break;
    }
    context.objects.Checkpoint();
}

void WriteReference(OperationContext& context, Shape shape, const NORNSYV20::TCIMReference& reference) {
    if (shape == Shape::kInstancePath) {
        context.xml.ReferencePath(reference);
    } else {
        context.xml.ReferenceObjectPath(reference);
    }
    context.objects.Checkpoint();
}

const ClassDefinition& RequireClass(const OperationContext& context, const std::string& name) {
    if (const ClassDefinition* cls = context.target.Schema().FindClass(name)) return *cls;
    throw CimError{kErrInvalidClass, "the class " + name + " does not exist in " + context.target.Name()};
}

}  // namespace wbem
}  // namespace syv
