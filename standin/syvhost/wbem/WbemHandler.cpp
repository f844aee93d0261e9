#include "WbemHandler.h"

#include "XmlText.h"
#include "syvcore/ValueTypeName.h"

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>

namespace syv {
namespace wbem {

const char* const kNamespace = "root/ornsg";

namespace {

using NORNSYV20::TCIMReference;
using NORNSYV20::TCIMValue;
using Tree = boost::property_tree::ptree;

// CIM status codes of the answers.
enum : std::uint32_t {
    kErrFailed = 1,
    kErrInvalidNamespace = 3,
    kErrInvalidParameter = 4,
    kErrInvalidClass = 5,
    kErrNotFound = 6,
    kErrNotSupported = 7,
};

// Ends an operation with an ERROR element.
struct CimError {
    std::uint32_t code;
    std::string description;
};

// Ends the request with HTTP 400 and this CIMError header.
struct BadRequest {
    std::string cimError;
};

// Deeper documents are refused unparsed; CIM-XML requests nest a few levels.
const std::size_t kMaxDepth = 64;

// ---- reading the request tree ----

const Tree* Child(const Tree& node, const char* name) {
    const auto found = node.find(name);
    return found == node.not_found() ? nullptr : &found->second;
}

std::string Attribute(const Tree& node, const char* name) {
    const Tree* attributes = Child(node, "<xmlattr>");
    const Tree* value = attributes ? Child(*attributes, name) : nullptr;
    return value ? value->data() : std::string();
}

const Tree& Require(const Tree& node, const char* name) {
    if (const Tree* child = Child(node, name)) return *child;
    throw BadRequest{"request-not-valid"};
}

std::string NamespaceOf(const Tree& localNamespacePath) {
    std::string name;
    for (const auto& part : localNamespacePath) {
        if (part.first != "NAMESPACE") continue;
        if (!name.empty()) name += '/';
        name += Attribute(part.second, "NAME");
    }
    return name;
}

std::string Unescaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Number(const TCIMValue& value) {
    return std::to_string(value.GetKind() == TCIMValue::eUint16 ? value.GetUint16() : static_cast<unsigned int>(value));
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

// ---- the operation ----

struct PropertyFilter {
    std::optional<std::vector<std::string>> propertyList;
    const SchemaClass* onlyOf = nullptr;       // DeepInheritance false: the requested class's properties
    const SchemaClass* onlyLocalTo = nullptr;  // LocalOnly: the properties this class declares itself
    bool classOrigin = false;
};

class Operation {
public:
    Operation(const std::vector<SchemaClass>& classes, const QueryFunction& query, const Tree& call,
              const std::string& host)
        : classes_(classes), query_(query), host_(host) {
        for (const auto& child : call) {
            if (child.first == "IPARAMVALUE") params_.emplace_back(Attribute(child.second, "NAME"), &child.second);
        }
    }

    void Run(const std::string& method, std::string& out) {
        if (NamesEqual(method, "EnumerateClassNames")) {
            for (const SchemaClass* cls : ClassesUnder(OptionalClassName("ClassName"), Bool("DeepInheritance", false))) {
                out += "<CLASSNAME NAME=\"";
                AppendEscaped(out, cls->name);
                out += "\"/>";
            }
        } else if (NamesEqual(method, "EnumerateClasses")) {
            const bool localOnly = Bool("LocalOnly", true);
            const bool qualifiers = Bool("IncludeQualifiers", true);
            const bool origin = Bool("IncludeClassOrigin", false);
            for (const SchemaClass* cls : ClassesUnder(OptionalClassName("ClassName"), Bool("DeepInheritance", false))) {
                WriteClass(out, *cls, localOnly, qualifiers, origin, std::nullopt);
            }
        } else if (NamesEqual(method, "GetClass")) {
            const SchemaClass& cls = SchemaClassNamed(RequiredClassName("ClassName"));
            const bool localOnly = Bool("LocalOnly", true);
            const bool qualifiers = Bool("IncludeQualifiers", true);
            const bool origin = Bool("IncludeClassOrigin", false);
            WriteClass(out, cls, localOnly, qualifiers, origin, PropertyList());
        } else if (NamesEqual(method, "EnumerateInstanceNames")) {
            const QueryReport report = Collect(ServedClassesDerivedFrom(RequiredClassName("ClassName")));
            for (const CommittedInstance& instance : report.instances) WriteInstanceName(out, instance);
        } else if (NamesEqual(method, "EnumerateInstances")) {
            const std::string className = RequiredClassName("ClassName");
            const std::vector<const SchemaClass*> served = ServedClassesDerivedFrom(className);
            PropertyFilter filter = InstanceFilter();
            if (!Bool("DeepInheritance", true)) filter.onlyOf = FindClass(className);
            if (Bool("LocalOnly", true)) filter.onlyLocalTo = FindClass(className);
            const QueryReport report = Collect(served);
            for (const CommittedInstance& instance : report.instances) {
                out += "<VALUE.NAMEDINSTANCE>";
                WriteInstanceName(out, instance);
                WriteInstance(out, instance, filter);
                out += "</VALUE.NAMEDINSTANCE>";
            }
        } else if (NamesEqual(method, "GetInstance")) {
            const auto [cls, path] = InstanceName(RequiredParam("InstanceName"));
            PropertyFilter filter = InstanceFilter();
            if (Bool("LocalOnly", true)) filter.onlyLocalTo = cls;
            const QueryReport report = Collect({cls});
            const CommittedInstance* instance = Find(report, path);
            if (!instance) throw CimError{kErrNotFound, "no instance " + path};
            WriteInstance(out, *instance, filter);
        } else if (NamesEqual(method, "AssociatorNames") || NamesEqual(method, "Associators") ||
                   NamesEqual(method, "ReferenceNames") || NamesEqual(method, "References")) {
            RunAssociation(method, out);
        } else {
            throw CimError{kErrNotSupported, "the operation " + method + " is not supported"};
        }
    }

private:
    // -- parameters --

    const Tree* Param(const char* name) const {
        for (const auto& param : params_) {
            if (NamesEqual(param.first, name)) return param.second;
        }
        return nullptr;
    }

    const Tree& RequiredParam(const char* name) const {
        const Tree* param = Param(name);
        if (!param || param->empty()) throw CimError{kErrInvalidParameter, std::string("the parameter ") + name + " is missing"};
        return *param;
    }

    std::optional<std::string> OptionalClassName(const char* name) const {
        const Tree* param = Param(name);
        const Tree* className = param ? Child(*param, "CLASSNAME") : nullptr;
        if (!className) {
            if (param && !param->empty()) throw CimError{kErrInvalidParameter, std::string(name) + " is not a class name"};
            return std::nullopt;
        }
        return Attribute(*className, "NAME");
    }

    std::string RequiredClassName(const char* name) const {
        std::optional<std::string> className = OptionalClassName(name);
        if (!className) throw CimError{kErrInvalidParameter, std::string("the parameter ") + name + " is missing"};
        return *className;
    }

    bool Bool(const char* name, bool fallback) const {
        const Tree* param = Param(name);
        const Tree* value = param ? Child(*param, "VALUE") : nullptr;
        if (!value) return fallback;
        if (NamesEqual(value->data(), "true")) return true;
        if (NamesEqual(value->data(), "false")) return false;
        throw CimError{kErrInvalidParameter, std::string(name) + " is not TRUE or FALSE"};
    }

    std::optional<std::vector<std::string>> PropertyList() const {
        const Tree* param = Param("PropertyList");
        const Tree* array = param ? Child(*param, "VALUE.ARRAY") : nullptr;
        if (!array) return std::nullopt;
        std::vector<std::string> names;
        for (const auto& value : *array) {
            if (value.first == "VALUE") names.push_back(value.second.data());
        }
        return names;
    }

    PropertyFilter InstanceFilter() const {
        PropertyFilter filter;
        filter.propertyList = PropertyList();
        filter.classOrigin = Bool("IncludeClassOrigin", false);
        Bool("IncludeQualifiers", false);  // instances carry no qualifiers; the value is still checked
        return filter;
    }

    // -- classes --

    const SchemaClass* FindClass(const std::string& name) const {
        for (const SchemaClass& cls : classes_) {
            if (NamesEqual(cls.name, name)) return &cls;
        }
        return nullptr;
    }

    const SchemaClass& SchemaClassNamed(const std::string& name) const {
        if (const SchemaClass* cls = FindClass(name)) return *cls;
        throw CimError{kErrNotFound, "the class " + name + " does not exist in " + kNamespace};
    }

    // The class or one of its superclasses is the ancestor; the schema's
    // classes name superclasses that it does not define, which count too.
    bool DerivesFrom(const SchemaClass& cls, const std::string& ancestor) const {
        std::set<const SchemaClass*> seen;
        for (const SchemaClass* current = &cls; current && seen.insert(current).second;
             current = FindClass(current->superclass)) {
            if (NamesEqual(current->name, ancestor) || NamesEqual(current->superclass, ancestor)) return true;
        }
        return false;
    }

    std::vector<const SchemaClass*> ServedClassesDerivedFrom(const std::string& name) const {
        std::vector<const SchemaClass*> served;
        for (const SchemaClass& cls : classes_) {
            if (DerivesFrom(cls, name)) served.push_back(&cls);
        }
        if (served.empty()) throw CimError{kErrInvalidClass, "the class " + name + " does not exist in " + kNamespace};
        return served;
    }

    // EnumerateClassNames and EnumerateClasses: without a class, the classes
    // whose superclass the namespace lacks; with one, its subclasses.
    std::vector<const SchemaClass*> ClassesUnder(const std::optional<std::string>& name, bool deep) const {
        std::vector<const SchemaClass*> result;
        for (const SchemaClass& cls : classes_) {
            const bool root = !FindClass(cls.superclass);
            if (!name) {
                if (deep || root) result.push_back(&cls);
            } else if (!NamesEqual(cls.name, *name) &&
                       (deep ? DerivesFrom(cls, *name) : NamesEqual(cls.superclass, *name))) {
                result.push_back(&cls);
            }
        }
        if (name && result.empty() && !FindClass(*name)) {
            bool superclass = false;
            for (const SchemaClass& cls : classes_) superclass = superclass || DerivesFrom(cls, *name);
            if (!superclass) throw CimError{kErrInvalidClass, "the class " + *name + " does not exist in " + kNamespace};
        }
        return result;
    }

    // -- instances --

    QueryReport Collect(const std::vector<const SchemaClass*>& classes) const {
        std::vector<std::string> names;
        for (const SchemaClass* cls : classes) names.push_back(cls->name);
        QueryReport report = query_(names);
        if (report.failed) throw CimError{kErrFailed, report.message};
        // Only the classes asked for, whatever else a plug-in commits.
        std::vector<CommittedInstance> kept;
        for (CommittedInstance& instance : report.instances) {
            for (const std::string& name : names) {
                if (name == std::string(instance.className)) {
                    kept.push_back(std::move(instance));
                    break;
                }
            }
        }
        report.instances = std::move(kept);
        return report;
    }

    static const CommittedInstance* Find(const QueryReport& report, const std::string& path) {
        for (const CommittedInstance& instance : report.instances) {
            if (instance.path == path) return &instance;
        }
        return nullptr;
    }

    // The object path syvcore gives the instance that the INSTANCENAME (or
    // an instance path holding one) names; class and key names take the
    // schema's spelling, so a client may spell them in any letter case.
    std::pair<const SchemaClass*, std::string> InstanceName(const Tree& param) const {
        const Tree* name = Child(param, "INSTANCENAME");
        if (!name) throw CimError{kErrInvalidParameter, "an instance name is expected"};
        const SchemaClass* cls = FindClass(Attribute(*name, "CLASSNAME"));
        if (!cls) throw CimError{kErrInvalidClass, "the class " + Attribute(*name, "CLASSNAME") + " does not exist in " + kNamespace};
        return {cls, PathOf(*name, kNamespace)};
    }

    std::string PathOf(const Tree& instanceName, const std::string& ns) const {
        const std::string className = Attribute(instanceName, "CLASSNAME");
        const SchemaClass* cls = FindClass(className);
        std::map<std::string, std::string> keys;
        const auto keyName = [&](const std::string& given) {
            if (cls) {
                for (const SchemaProperty& property : cls->properties) {
                    if (property.isKey && NamesEqual(property.name, given)) return property.name;
                }
            }
            return given;
        };
        const auto onlyKey = [&]() {
            std::string found;
            if (cls) {
                for (const SchemaProperty& property : cls->properties) {
                    if (property.isKey) found = property.name;
                }
            }
            return found;
        };
        for (const auto& child : instanceName) {
            if (child.first == "KEYBINDING") {
                keys[keyName(Attribute(child.second, "NAME"))] = KeyValueText(child.second);
            } else if (child.first == "KEYVALUE" || child.first == "VALUE.REFERENCE") {
                Tree single;
                single.push_back(child);
                keys[onlyKey()] = KeyValueText(single);
            }
        }
        std::string path = ns + ":" + (cls ? cls->name : className);
        const char* separator = ".";
        for (const auto& key : keys) {
            path += separator + key.first + "=" + key.second;
            separator = ",";
        }
        return path;
    }

    std::string KeyValueText(const Tree& binding) const {
        if (const Tree* value = Child(binding, "KEYVALUE")) {
            const std::string type = Attribute(*value, "VALUETYPE");
            if (type == "numeric") {
                const std::string& digits = value->data();
                const bool decimal = !digits.empty() && digits.size() < 19 &&
                                     digits.find_first_not_of("0123456789") == std::string::npos;
                return decimal ? std::to_string(std::stoull(digits)) : digits;
            }
            return type.empty() || type == "string" ? Quoted(value->data()) : value->data();
        }
        if (const Tree* reference = Child(binding, "VALUE.REFERENCE")) {
            if (const Tree* name = Child(*reference, "INSTANCENAME")) return Quoted(PathOf(*name, kNamespace));
            if (const Tree* local = Child(*reference, "LOCALINSTANCEPATH")) {
                return Quoted(PathOf(Require(*local, "INSTANCENAME"), NamespaceOf(Require(*local, "LOCALNAMESPACEPATH"))));
            }
            if (const Tree* full = Child(*reference, "INSTANCEPATH")) {
                const Tree& nsPath = Require(Require(*full, "NAMESPACEPATH"), "LOCALNAMESPACEPATH");
                return Quoted(PathOf(Require(*full, "INSTANCENAME"), NamespaceOf(nsPath)));
            }
        }
        throw CimError{kErrInvalidParameter, "a key binding has no value"};
    }

    // -- associations --

    void RunAssociation(const std::string& method, std::string& out) {
        const Tree& objectName = RequiredParam("ObjectName");
        if (Child(objectName, "CLASSNAME")) {
            throw CimError{kErrNotSupported, method + " of a class is not supported; name an instance"};
        }
        const auto [objectClass, path] = InstanceName(objectName);
        const bool references = NamesEqual(method, "ReferenceNames") || NamesEqual(method, "References");
        const bool names = NamesEqual(method, "ReferenceNames") || NamesEqual(method, "AssociatorNames");
        const std::optional<std::string> assocClass = references ? OptionalClassName("ResultClass") : OptionalClassName("AssocClass");
        const std::optional<std::string> resultClass = references ? std::nullopt : OptionalClassName("ResultClass");
        const std::string role = OptionalString("Role");
        const std::string resultRole = references ? std::string() : OptionalString("ResultRole");
        PropertyFilter filter;
        if (!names) {
            filter.propertyList = PropertyList();
            filter.classOrigin = Bool("IncludeClassOrigin", false);
            Bool("IncludeQualifiers", false);
        }

        // The association classes that can refer to the object.
        std::vector<const SchemaClass*> associations;
        for (const SchemaClass& cls : classes_) {
            if (!cls.isAssociation || (assocClass && !DerivesFrom(cls, *assocClass))) continue;
            for (const SchemaProperty& property : cls.properties) {
                const SchemaClass* target = FindClass(property.referenceClass);
                if (property.type == "reference" && (role.empty() || NamesEqual(property.name, role)) &&
                    (!target || DerivesFrom(*objectClass, target->name) || DerivesFrom(*target, objectClass->name))) {
                    associations.push_back(&cls);
                    break;
                }
            }
        }
        if (associations.empty()) return;
        const QueryReport report = Collect(associations);

        std::vector<const CommittedInstance*> links;
        std::vector<const TCIMReference*> ends;
        std::set<std::string> seen;
        for (const CommittedInstance& link : report.instances) {
            for (const auto& near : link.properties) {
                if (near.second.GetKind() != TCIMValue::eReference || near.second.GetReference().ToObjectPath() != path ||
                    (!role.empty() && !NamesEqual(std::string(near.first), role))) {
                    continue;
                }
                if (references) {
                    if (seen.insert(link.path).second) links.push_back(&link);
                    continue;
                }
                for (const auto& far : link.properties) {
                    if (far.first == near.first || far.second.GetKind() != TCIMValue::eReference) continue;
                    if (!resultRole.empty() && !NamesEqual(std::string(far.first), resultRole)) continue;
                    const TCIMReference& end = far.second.GetReference();
                    const SchemaClass* endClass = FindClass(end.GetClassName());
                    if (resultClass && !(endClass ? DerivesFrom(*endClass, *resultClass) : NamesEqual(end.GetClassName(), *resultClass))) {
                        continue;
                    }
                    if (seen.insert(end.ToObjectPath()).second) ends.push_back(&end);
                }
            }
        }

        if (references) {
            for (const CommittedInstance* link : links) {
                if (names) {
                    out += "<OBJECTPATH>";
                    WriteInstancePath(out, *link);
                    out += "</OBJECTPATH>";
                } else {
                    out += "<VALUE.OBJECTWITHPATH>";
                    WriteInstancePath(out, *link);
                    WriteInstance(out, *link, filter);
                    out += "</VALUE.OBJECTWITHPATH>";
                }
            }
            return;
        }
        if (names) {
            for (const TCIMReference* end : ends) {
                out += "<OBJECTPATH>";
                WriteInstancePath(out, *end);
                out += "</OBJECTPATH>";
            }
            return;
        }
        // The instances at the far ends, from one query of their classes.
        std::vector<const SchemaClass*> endClasses;
        for (const TCIMReference* end : ends) {
            const SchemaClass* cls = FindClass(end->GetClassName());
            if (cls && std::find(endClasses.begin(), endClasses.end(), cls) == endClasses.end()) endClasses.push_back(cls);
        }
        if (endClasses.empty()) return;
        const QueryReport instances = Collect(endClasses);
        for (const TCIMReference* end : ends) {
            if (const CommittedInstance* instance = Find(instances, end->ToObjectPath())) {
                out += "<VALUE.OBJECTWITHPATH>";
                WriteInstancePath(out, *end);
                WriteInstance(out, *instance, filter);
                out += "</VALUE.OBJECTWITHPATH>";
            }
        }
    }

    std::string OptionalString(const char* name) const {
        const Tree* param = Param(name);
        const Tree* value = param ? Child(*param, "VALUE") : nullptr;
        return value ? value->data() : std::string();
    }

    // -- writing --

    void WriteKeyBindings(std::string& out, const std::vector<std::pair<std::string, const TCIMValue*>>& keys) const {
        for (const auto& key : keys) {
            out += "<KEYBINDING NAME=\"";
            AppendEscaped(out, key.first);
            out += "\">";
            switch (key.second->GetKind()) {
            case TCIMValue::eUint16:
            case TCIMValue::eUint32:
                out += "<KEYVALUE VALUETYPE=\"numeric\">";
                out += Number(*key.second);
                out += "</KEYVALUE>";
                break;
            case TCIMValue::eReference:
                out += "<VALUE.REFERENCE>";
                WriteReference(out, key.second->GetReference());
                out += "</VALUE.REFERENCE>";
                break;
            default:
                out += "<KEYVALUE VALUETYPE=\"string\">";
                AppendEscaped(out, key.second->GetKind() == TCIMValue::eString ? key.second->GetString() : "");
                out += "</KEYVALUE>";
            }
            out += "</KEYBINDING>";
        }
    }

    void WriteInstanceNameOf(std::string& out, const std::string& className,
                             const std::vector<std::pair<std::string, const TCIMValue*>>& keys) const {
        out += "<INSTANCENAME CLASSNAME=\"";
        AppendEscaped(out, className);
        out += "\">";
        WriteKeyBindings(out, keys);
        out += "</INSTANCENAME>";
    }

    static std::vector<std::pair<std::string, const TCIMValue*>> KeysOf(const TCIMReference& reference) {
        std::vector<std::pair<std::string, const TCIMValue*>> keys;
        for (const auto& key : reference.GetKeys()) keys.emplace_back(key.first, &key.second);
        return keys;
    }

    std::vector<std::pair<std::string, const TCIMValue*>> KeysOf(const CommittedInstance& instance) const {
        std::map<std::string, const TCIMValue*> keys;
        if (const SchemaClass* cls = FindClass(std::string(instance.className))) {
            for (const auto& property : instance.properties) {
                for (const SchemaProperty& declared : cls->properties) {
                    if (declared.isKey && declared.name == std::string(property.first)) keys[declared.name] = &property.second;
                }
            }
        }
        return {keys.begin(), keys.end()};
    }

    void WriteInstanceName(std::string& out, const CommittedInstance& instance) const {
        WriteInstanceNameOf(out, std::string(instance.className), KeysOf(instance));
    }

    void WriteLocalNamespace(std::string& out, const std::string& ns) const {
        out += "<LOCALNAMESPACEPATH>";
        for (std::size_t start = 0; start <= ns.size();) {
            std::size_t end = ns.find('/', start);
            if (end == std::string::npos) end = ns.size();
            out += "<NAMESPACE NAME=\"";
            AppendEscaped(out, std::string_view(ns).substr(start, end - start));
            out += "\"/>";
            start = end + 1;
        }
        out += "</LOCALNAMESPACEPATH>";
    }

    // A reference value: the local instance path when it names a namespace.
    void WriteReference(std::string& out, const TCIMReference& reference) const {
        if (reference.GetNamespaceName().empty()) {
            WriteInstanceNameOf(out, reference.GetClassName(), KeysOf(reference));
            return;
        }
        out += "<LOCALINSTANCEPATH>";
        WriteLocalNamespace(out, reference.GetNamespaceName());
        WriteInstanceNameOf(out, reference.GetClassName(), KeysOf(reference));
        out += "</LOCALINSTANCEPATH>";
    }

    void WriteNamespacePath(std::string& out, const std::string& ns) const {
        out += "<NAMESPACEPATH><HOST>";
        AppendEscaped(out, host_);
        out += "</HOST>";
        WriteLocalNamespace(out, ns);
        out += "</NAMESPACEPATH>";
    }

    void WriteInstancePath(std::string& out, const TCIMReference& reference) const {
        out += "<INSTANCEPATH>";
        WriteNamespacePath(out, reference.GetNamespaceName().empty() ? kNamespace : reference.GetNamespaceName());
        WriteInstanceNameOf(out, reference.GetClassName(), KeysOf(reference));
        out += "</INSTANCEPATH>";
    }

    void WriteInstancePath(std::string& out, const CommittedInstance& instance) const {
        out += "<INSTANCEPATH>";
        WriteNamespacePath(out, kNamespace);
        WriteInstanceName(out, instance);
        out += "</INSTANCEPATH>";
    }

    static bool Listed(const std::optional<std::vector<std::string>>& list, const std::string& name) {
        if (!list) return true;
        for (const std::string& listed : *list) {
            if (NamesEqual(listed, name)) return true;
        }
        return false;
    }

    static const SchemaProperty* PropertyOf(const SchemaClass* cls, const std::string& name) {
        if (!cls) return nullptr;
        for (const SchemaProperty& property : cls->properties) {
            if (NamesEqual(property.name, name)) return &property;
        }
        return nullptr;
    }

    void WriteValue(std::string& out, const TCIMValue& value) const {
        switch (value.GetKind()) {
        case TCIMValue::eNull: out += "<VALUE.NULL/>"; break;
        case TCIMValue::eString:
            out += "<VALUE>";
            AppendEscaped(out, value.GetString());
            out += "</VALUE>";
            break;
        case TCIMValue::eUint16:
        case TCIMValue::eUint32:
            out += "<VALUE>" + Number(value) + "</VALUE>";
            break;
        case TCIMValue::eReference:
            out += "<VALUE.REFERENCE>";
            WriteReference(out, value.GetReference());
            out += "</VALUE.REFERENCE>";
            break;
        case TCIMValue::eArray:
            out += value.GetElementType() == NORNSYV20::eCIMTypeReference ? "<VALUE.REFARRAY>" : "<VALUE.ARRAY>";
            for (const TCIMValue& element : value.GetElements()) WriteValue(out, element);
            out += value.GetElementType() == NORNSYV20::eCIMTypeReference ? "</VALUE.REFARRAY>" : "</VALUE.ARRAY>";
            break;
        }
    }

    void WriteInstance(std::string& out, const CommittedInstance& instance, const PropertyFilter& filter) const {
        const std::string className(instance.className);
        const SchemaClass* cls = FindClass(className);
        out += "<INSTANCE CLASSNAME=\"";
        AppendEscaped(out, className);
        out += "\">";
        for (const auto& property : instance.properties) {
            const std::string name(property.first);
            const SchemaProperty* declared = PropertyOf(cls, name);
            const SchemaProperty* local = PropertyOf(filter.onlyLocalTo, name);
            if (!Listed(filter.propertyList, name) || (filter.onlyOf && !PropertyOf(filter.onlyOf, name)) ||
                (filter.onlyLocalTo && local && !local->local)) {
                continue;
            }
            const TCIMValue& value = property.second;
            std::string type = value.IsNull() ? (declared ? declared->type : "string") : ValueTypeName(value);
            const bool array = value.GetKind() == TCIMValue::eArray || (value.IsNull() && declared && declared->isArray);
            if (array && type.size() > 2 && type.compare(type.size() - 2, 2, "[]") == 0) type.resize(type.size() - 2);
            const char* element = type == "reference" ? (array ? "PROPERTY.REFARRAY" : "PROPERTY.REFERENCE")
                                                      : (array ? "PROPERTY.ARRAY" : "PROPERTY");
            out += std::string("<") + element + " NAME=\"";
            AppendEscaped(out, name);
            out += "\"";
            if (type == "reference") {
                const std::string referenceClass =
                    declared ? declared->referenceClass
                             : (value.GetKind() == TCIMValue::eReference ? value.GetReference().GetClassName() : "");
                if (!referenceClass.empty()) {
                    out += " REFERENCECLASS=\"";
                    AppendEscaped(out, referenceClass);
                    out += "\"";
                }
            } else {
                out += " TYPE=\"" + type + "\"";
            }
            if (filter.classOrigin && declared) WriteOrigin(out, *declared, className);
            out += ">";
            if (!value.IsNull()) WriteValue(out, value);
            out += std::string("</") + element + ">";
        }
        out += "</INSTANCE>";
    }

    static void WriteOrigin(std::string& out, const SchemaProperty& property, const std::string& className) {
        out += " CLASSORIGIN=\"";
        AppendEscaped(out, property.classOrigin);
        out += "\"";
        if (property.classOrigin != className) out += " PROPAGATED=\"true\"";
    }

    static void WriteTrueQualifier(std::string& out, const char* name) {
        out += std::string("<QUALIFIER NAME=\"") + name + "\" TYPE=\"boolean\"><VALUE>TRUE</VALUE></QUALIFIER>";
    }

    void WriteClass(std::string& out, const SchemaClass& cls, bool localOnly, bool qualifiers, bool origin,
                    const std::optional<std::vector<std::string>>& propertyList) const {
        out += "<CLASS NAME=\"";
        AppendEscaped(out, cls.name);
        out += "\"";
        if (!cls.superclass.empty()) {
            out += " SUPERCLASS=\"";
            AppendEscaped(out, cls.superclass);
            out += "\"";
        }
        out += ">";
        if (qualifiers && cls.isAssociation) WriteTrueQualifier(out, "Association");
        for (const SchemaProperty& property : cls.properties) {
            if ((localOnly && !property.local) || !Listed(propertyList, property.name)) continue;
            const bool reference = property.type == "reference";
            const char* element = reference ? "PROPERTY.REFERENCE" : (property.isArray ? "PROPERTY.ARRAY" : "PROPERTY");
            out += std::string("<") + element + " NAME=\"";
            AppendEscaped(out, property.name);
            out += "\"";
            if (reference) {
                out += " REFERENCECLASS=\"";
                AppendEscaped(out, property.referenceClass);
                out += "\"";
            } else {
                out += " TYPE=\"";
                AppendEscaped(out, property.type);
                out += "\"";
            }
            if (origin) WriteOrigin(out, property, cls.name);
            out += ">";
            if (qualifiers && property.isKey) WriteTrueQualifier(out, "Key");
            out += std::string("</") + element + ">";
        }
        out += "</CLASS>";
    }

    const std::vector<SchemaClass>& classes_;
    const QueryFunction& query_;
    const std::string& host_;
    std::vector<std::pair<std::string, const Tree*>> params_;
};

// "Basic BASE64(user:password)" into its parts; false when it is not that.
bool SplitBasic(const std::string& header, std::string& user, std::string& password) {
    if (header.size() < 6 || !NamesEqual(header.substr(0, 6), "Basic ")) return false;
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string decoded;
    unsigned int bits = 0;
    int count = 0;
    std::size_t i = 6;
    while (i < header.size() && header[i] == ' ') ++i;
    for (; i < header.size() && header[i] != '='; ++i) {
        const std::size_t value = alphabet.find(header[i]);
        if (value == std::string::npos) return false;
        bits = (bits << 6) | static_cast<unsigned int>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            decoded += static_cast<char>((bits >> count) & 0xFFu);
        }
    }
    const std::size_t colon = decoded.find(':');
    if (colon == std::string::npos) return false;
    user = decoded.substr(0, colon);
    password = decoded.substr(colon + 1);
    return true;
}

HttpAnswer XmlAnswer(std::string body) {
    HttpAnswer answer;
    answer.headers = {{"Content-Type", "application/xml; charset=\"utf-8\""}, {"CIMOperation", "MethodResponse"}};
    answer.body = std::move(body);
    return answer;
}

}  // namespace

WbemHandler::WbemHandler(std::vector<SchemaClass> classes, QueryFunction query, PasswordCheck check, LogFunction log)
    : classes_(std::move(classes)), query_(std::move(query)), check_(std::move(check)), log_(std::move(log)) {}

HttpAnswer WbemHandler::Refusal(int status, const std::string& cimError) {
    HttpAnswer answer;
    answer.status = status;
    if (!cimError.empty()) answer.headers.emplace_back("CIMError", cimError);
    return answer;
}

HttpAnswer WbemHandler::Handle(const HttpRequestView& request) const {
    if (check_) {
        std::string user;
        std::string password;
        const bool given = SplitBasic(request.authorization, user, password);
        if (!given || !check_(user, password)) {
            if (log_) {
                log_(2, given ? "authentication failed for the user \"" + user + "\" from " + request.peer
                              : "a request without credentials from " + request.peer + " was refused");
            }
            HttpAnswer answer = Refusal(401, "");
            answer.headers.emplace_back("WWW-Authenticate", std::string("Basic realm=\"") + kNamespace + "\"");
            return answer;
        }
    }
    if (request.method != "POST") {
        HttpAnswer answer = Refusal(405, "");
        answer.headers.emplace_back("Allow", "POST");
        return answer;
    }
    if (request.target != "/cimom") return Refusal(404, "");
    if (!NamesEqual(request.cimOperation, "MethodCall")) return Refusal(400, "unsupported-operation");
    if (ElementDepth(request.body) > kMaxDepth) return Refusal(400, "request-not-well-formed");

    Tree document;
    try {
        std::istringstream stream(request.body);
        boost::property_tree::read_xml(stream, document);
    } catch (const boost::property_tree::xml_parser_error&) {
        return Refusal(400, "request-not-well-formed");
    }

    try {
        const Tree& message = Require(Require(document, "CIM"), "MESSAGE");
        const Tree& simple = Require(message, "SIMPLEREQ");
        const Tree* call = Child(simple, "IMETHODCALL");
        const bool extrinsic = !call && Child(simple, "METHODCALL");
        if (extrinsic) call = Child(simple, "METHODCALL");
        if (!call) throw BadRequest{"request-not-valid"};
        const std::string method = Attribute(*call, "NAME");
        if (!NamesEqual(method, request.cimMethod)) throw BadRequest{"header-mismatch"};

        const char* const responseElement = extrinsic ? "METHODRESPONSE" : "IMETHODRESPONSE";
        std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">"
                           "<MESSAGE ID=\"";
        AppendEscaped(body, Attribute(message, "ID"));
        body += "\" PROTOCOLVERSION=\"1.0\"><SIMPLERSP><";
        body += responseElement;
        body += " NAME=\"";
        AppendEscaped(body, method);
        body += "\">";
        const std::size_t start = body.size();
        try {
            if (extrinsic) throw CimError{kErrNotSupported, "extrinsic methods are not supported"};
            const Tree* nsPath = Child(*call, "LOCALNAMESPACEPATH");
            const std::string ns = nsPath ? NamespaceOf(*nsPath) : std::string();
            if (!request.cimObject.empty() && !NamesEqual(Unescaped(request.cimObject), ns)) {
                throw BadRequest{"header-mismatch"};
            }
            if (!NamesEqual(ns, kNamespace)) throw CimError{kErrInvalidNamespace, "the namespace " + ns + " does not exist"};
            body += "<IRETURNVALUE>";
            Operation(classes_, query_, *call, request.host).Run(method, body);
            body += "</IRETURNVALUE>";
        } catch (const CimError& error) {
            body.resize(start);
            body += "<ERROR CODE=\"" + std::to_string(error.code) + "\" DESCRIPTION=\"";
            AppendEscaped(body, error.description);
            body += "\"/>";
        } catch (const std::exception& error) {
            body.resize(start);
            body += "<ERROR CODE=\"" + std::to_string(kErrFailed) + "\" DESCRIPTION=\"";
            AppendEscaped(body, error.what());
            body += "\"/>";
        }
        body += std::string("</") + responseElement + "></SIMPLERSP></MESSAGE></CIM>\n";
        return XmlAnswer(std::move(body));
    } catch (const BadRequest& bad) {
        return Refusal(400, bad.cimError);
    }
}

}  // namespace wbem
}  // namespace syv
