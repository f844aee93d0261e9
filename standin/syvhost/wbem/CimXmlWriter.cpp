#include "CimXmlWriter.h"

#include "XmlText.h"
#include "syvcore/ValueTypeName.h"

#include <charconv>

namespace syv {
namespace wbem {

namespace {

using NORNSYV20::TCIMReference;
using NORNSYV20::TCIMValue;

bool Listed(const std::optional<std::vector<std::string>>& list, const std::string& name) {
    if (!list) return true;
    for (const std::string& listed : *list) {
        if (NamesEqual(listed, name)) return true;
    }
    return false;
}

}  // namespace

void CimXmlWriter::Escaped(std::string_view text) { AppendEscaped(out_, text); }

void CimXmlWriter::BeginResponse(std::string_view messageId, std::string_view method, bool extrinsic) {
    out_ += "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\"><MESSAGE ID=\"";
    Escaped(messageId);
    out_ += "\" PROTOCOLVERSION=\"1.0\"><SIMPLERSP><";
    out_ += extrinsic ? "METHODRESPONSE" : "IMETHODRESPONSE";
    out_ += " NAME=\"";
    Escaped(method);
    out_ += "\">";
}

void CimXmlWriter::EndResponse(bool extrinsic) {
    out_ += extrinsic ? "</METHODRESPONSE>" : "</IMETHODRESPONSE>";
    out_ += "</SIMPLERSP></MESSAGE></CIM>\n";
}

void CimXmlWriter::Error(std::uint32_t code, std::string_view description) {
    out_ += "<ERROR CODE=\"" + std::to_string(code) + "\" DESCRIPTION=\"";
    Escaped(description);
    out_ += "\"/>";
}

void CimXmlWriter::ClassName(std::string_view name) {
    out_ += "<CLASSNAME NAME=\"";
    Escaped(name);
    out_ += "\"/>";
}

void CimXmlWriter::Origin(const ClassDefinition::Member& member, const std::string& className) {
    out_ += " CLASSORIGIN=\"";
    Escaped(member.origin->name);
    out_ += "\"";
    if (member.origin->name != className) out_ += " PROPAGATED=\"true\"";
}

void CimXmlWriter::Class(const ClassDefinition& cls, const PropertyFilter& filter) {
    static const char kTrue[] = "\" TYPE=\"boolean\"><VALUE>TRUE</VALUE></QUALIFIER>";
    out_ += "<CLASS NAME=\"";
    Escaped(cls.name);
    out_ += "\"";
    if (!cls.superclass.empty()) {
        out_ += " SUPERCLASS=\"";
        Escaped(cls.superclass);
        out_ += "\"";
    }
    out_ += ">";
    if (filter.qualifiers && cls.isAssociation) out_ += std::string("<QUALIFIER NAME=\"Association") + kTrue;
    for (const ClassDefinition::Member& member : cls.members) {
        const PropertyDefinition& property = *member.declared;
        if ((filter.localOnly && !member.local) || !Listed(filter.propertyList, property.name)) continue;
        const bool reference = property.type == NORNSYV20::eCIMTypeReference;
        const char* element = reference ? "PROPERTY.REFERENCE" : (property.isArray ? "PROPERTY.ARRAY" : "PROPERTY");
        out_ += '<';
        out_ += element;
        out_ += " NAME=\"";
        Escaped(property.name);
        out_ += reference ? "\" REFERENCECLASS=\"" : "\" TYPE=\"";
        Escaped(reference ? property.referenceClass : TypeName(property.type));
        out_ += "\"";
        if (filter.classOrigin) Origin(member, cls.name);
        out_ += ">";
        if (filter.qualifiers && member.isKey) out_ += std::string("<QUALIFIER NAME=\"Key") + kTrue;
        out_ += "</";
        out_ += element;
        out_ += '>';
    }
    out_ += "</CLASS>";
}

void CimXmlWriter::ClassWithPath(const std::string& ns, const ClassDefinition& cls, const PropertyFilter& filter) {
    out_ += "<VALUE.OBJECTWITHPATH><CLASSPATH>";
    NamespacePath(ns);
    ClassName(cls.name);
    out_ += "</CLASSPATH>";
    Class(cls, filter);
    out_ += "</VALUE.OBJECTWITHPATH>";
}

void CimXmlWriter::ClassObjectPath(const std::string& ns, const ClassDefinition& cls) {
    out_ += "<OBJECTPATH><CLASSPATH>";
    NamespacePath(ns);
    ClassName(cls.name);
    out_ += "</CLASSPATH></OBJECTPATH>";
}

void CimXmlWriter::Number(const TCIMValue& value) {
    const unsigned int number = value.GetKind() == TCIMValue::eUint16 ? value.GetUint16() : static_cast<unsigned int>(value);
    char digits[16];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, number);
    out_.append(digits, end.ptr);
}

void CimXmlWriter::KeyBinding(std::string_view name, const TCIMValue& value) {
    out_ += "<KEYBINDING NAME=\"";
    Escaped(name);
    out_ += "\">";
    switch (value.GetKind()) {
    case TCIMValue::eUint16:
    case TCIMValue::eUint32:
        out_ += "<KEYVALUE VALUETYPE=\"numeric\">";
        Number(value);
        out_ += "</KEYVALUE>";
        break;
    case TCIMValue::eReference:
        out_ += "<VALUE.REFERENCE>";
        Reference(value.GetReference());
        out_ += "</VALUE.REFERENCE>";
        break;
    default:
        out_ += "<KEYVALUE VALUETYPE=\"string\">";
        Escaped(value.GetKind() == TCIMValue::eString ? value.GetString() : std::string_view());
        out_ += "</KEYVALUE>";
    }
    out_ += "</KEYBINDING>";
}

void CimXmlWriter::InstanceName(const ClassDefinition& cls, const KeyValues& keys) {
    out_ += "<INSTANCENAME CLASSNAME=\"";
    Escaped(cls.name);
    out_ += "\">";
    for (const auto& key : keys) KeyBinding(key.first->name, *key.second);
    out_ += "</INSTANCENAME>";
}

void CimXmlWriter::ReferenceName(const TCIMReference& reference) {
    out_ += "<INSTANCENAME CLASSNAME=\"";
    Escaped(reference.GetClassName());
    out_ += "\">";
    for (const auto& key : reference.GetKeys()) KeyBinding(key.first, key.second);
    out_ += "</INSTANCENAME>";
}

// A reference value: the local instance path when it names a namespace.
void CimXmlWriter::Reference(const TCIMReference& reference) {
    if (reference.GetNamespaceName().empty()) return ReferenceName(reference);
    out_ += "<LOCALINSTANCEPATH>";
    LocalNamespacePath(reference.GetNamespaceName());
    ReferenceName(reference);
    out_ += "</LOCALINSTANCEPATH>";
}

void CimXmlWriter::LocalNamespacePath(const std::string& ns) {
    out_ += "<LOCALNAMESPACEPATH>";
    for (std::size_t start = 0; start <= ns.size();) {
        std::size_t end = ns.find('/', start);
        if (end == std::string::npos) end = ns.size();
        out_ += "<NAMESPACE NAME=\"";
        Escaped(std::string_view(ns).substr(start, end - start));
        out_ += "\"/>";
        start = end + 1;
    }
    out_ += "</LOCALNAMESPACEPATH>";
}

void CimXmlWriter::NamespacePath(const std::string& ns) {
    out_ += "<NAMESPACEPATH><HOST>";
    Escaped(host_);
    out_ += "</HOST>";
    LocalNamespacePath(ns);
    out_ += "</NAMESPACEPATH>";
}

void CimXmlWriter::InstancePath(const std::string& ns, const ClassDefinition& cls, const KeyValues& keys) {
    out_ += "<INSTANCEPATH>";
    NamespacePath(ns);
    InstanceName(cls, keys);
    out_ += "</INSTANCEPATH>";
}

void CimXmlWriter::Value(const TCIMValue& value) {
    switch (value.GetKind()) {
    case TCIMValue::eNull: out_ += "<VALUE.NULL/>"; break;
    case TCIMValue::eString:
        out_ += "<VALUE>";
        Escaped(value.GetString());
        out_ += "</VALUE>";
        break;
    case TCIMValue::eUint16:
    case TCIMValue::eUint32:
        out_ += "<VALUE>";
        Number(value);
        out_ += "</VALUE>";
        break;
    case TCIMValue::eReference:
        out_ += "<VALUE.REFERENCE>";
        Reference(value.GetReference());
        out_ += "</VALUE.REFERENCE>";
        break;
    case TCIMValue::eArray: {
        const bool references = value.GetElementType() == NORNSYV20::eCIMTypeReference;
        out_ += references ? "<VALUE.REFARRAY>" : "<VALUE.ARRAY>";
        for (const TCIMValue& element : value.GetElements()) Value(element);
        out_ += references ? "</VALUE.REFARRAY>" : "</VALUE.ARRAY>";
        break;
    }
    }
}

void CimXmlWriter::Instance(const ClassDefinition& cls, const CommittedInstance& instance, const PropertyFilter& filter) {
    out_ += "<INSTANCE CLASSNAME=\"";
    Escaped(instance.className);
    out_ += "\">";
    for (const auto& property : instance.properties) {
        const std::string& name = property.first;
        const ClassDefinition::Member* member = cls.FindMember(name);
        if (!Listed(filter.propertyList, name) || (filter.onlyOf && !SchemaView::FindMember(*filter.onlyOf, name))) continue;
        const PropertyDefinition* declared = member ? member->declared : nullptr;
        const TCIMValue& value = property.second;
        std::string type = value.IsNull() ? (declared ? TypeName(declared->type) : "string") : ValueTypeName(value);
        const bool array = value.GetKind() == TCIMValue::eArray || (value.IsNull() && declared && declared->isArray);
        if (array && type.size() > 2 && type.compare(type.size() - 2, 2, "[]") == 0) type.resize(type.size() - 2);
        const bool reference = type == "reference";
        const char* element = reference ? (array ? "PROPERTY.REFARRAY" : "PROPERTY.REFERENCE")
                                        : (array ? "PROPERTY.ARRAY" : "PROPERTY");
        out_ += '<';
        out_ += element;
        out_ += " NAME=\"";
        Escaped(name);
        out_ += "\"";
        const std::string referenceClass = !reference ? std::string()
                                           : declared ? declared->referenceClass
                                           : value.GetKind() == TCIMValue::eReference ? value.GetReference().GetClassName()
                                                                                        : std::string();
        if (!reference || !referenceClass.empty()) {
            out_ += reference ? " REFERENCECLASS=\"" : " TYPE=\"";
            Escaped(reference ? referenceClass : type);
            out_ += '"';
        }
        if (filter.classOrigin && member) Origin(*member, cls.name);
        out_ += ">";
        if (!value.IsNull()) Value(value);
        out_ += "</";
        out_ += element;
        out_ += '>';
    }
    out_ += "</INSTANCE>";
}

void CimXmlWriter::NamedInstance(const SchemaView& view, const ClassDefinition& cls, const CommittedInstance& instance,
                                 const PropertyFilter& filter) {
    out_ += "<VALUE.NAMEDINSTANCE>";
    InstanceName(cls, view.KeysOf(cls, instance));
    Instance(cls, instance, filter);
    out_ += "</VALUE.NAMEDINSTANCE>";
}

void CimXmlWriter::InstanceWithPath(const char* element, const SchemaView& view, const ClassDefinition& cls,
                                    const CommittedInstance& instance, const PropertyFilter& filter) {
    out_ += '<';
    out_ += element;
    out_ += '>';
    InstancePath(view.Namespace(), cls, view.KeysOf(cls, instance));
    Instance(cls, instance, filter);
    out_ += "</";
    out_ += element;
    out_ += '>';
}

void CimXmlWriter::InstanceObjectPath(const SchemaView& view, const ClassDefinition& cls, const CommittedInstance& instance) {
    out_ += "<OBJECTPATH>";
    InstancePath(view.Namespace(), cls, view.KeysOf(cls, instance));
    out_ += "</OBJECTPATH>";
}

void CimXmlWriter::ReferencePath(const TCIMReference& reference) {
    out_ += "<INSTANCEPATH>";
    NamespacePath(reference.GetNamespaceName());
    ReferenceName(reference);
    out_ += "</INSTANCEPATH>";
}

void CimXmlWriter::ReferenceObjectPath(const TCIMReference& reference) {
    out_ += "<OBJECTPATH>";
    ReferencePath(reference);
    out_ += "</OBJECTPATH>";
}

void CimXmlWriter::OutputParameter(std::string_view name, std::string_view type, const std::optional<std::string>& value) {
    out_ += "<PARAMVALUE NAME=\"";
    Escaped(name);
    out_ += "\" PARAMTYPE=\"";
    Escaped(type);
    out_ += "\">";
    if (value) {
        out_ += "<VALUE>";
        Escaped(*value);
        out_ += "</VALUE>";
    } else {
        out_ += "<VALUE.NULL/>";
    }
    out_ += "</PARAMVALUE>";
}

}  // namespace wbem
}  // namespace syv
