#include "WbemHandler.h"

#include "XmlText.h"
#include "syvcore/ValueTypeName.h"

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
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

void AppendNumber(std::string& out, const TCIMValue& value) {
    const unsigned int number = value.GetKind() == TCIMValue::eUint16 ? value.GetUint16() : static_cast<unsigned int>(value);
    char digits[16];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, number);
    out.append(digits, end.ptr);
}

typedef std::vector<std::pair<std::string_view, const TCIMValue*>> KeyList;

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

// ---- the answer's body ----

const char* const kTrailerNames = "CIMStatusCode, CIMStatusCodeDescription";

HttpAnswer XmlAnswer(std::string body) {
    HttpAnswer answer;
    answer.headers = {{"Content-Type", "application/xml; charset=\"utf-8\""}, {"CIMOperation", "MethodResponse"}};
    answer.body = std::move(body);
    return answer;
}

// A trailer or header value: printable ASCII, anything else and '%' as %HH.
std::string HeaderText(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '%') {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

// The body of a CIM answer as it is written: held whole until it exceeds
// the head size, then sent in parts, so that a failure early still gets an
// ERROR element and a long answer is never held whole.
class BodyWriter {
public:
    BodyWriter(AnswerSink& sink, std::size_t headBytes) : sink_(sink), headBytes_(headBytes) { text.reserve(16 * 1024); }

    std::string text;  // not yet sent

    bool Started() const { return started_; }

    // A point where the text may be sent: between instances.
    void Checkpoint() {
        if (!started_) {
            if (text.size() <= headBytes_) return;
            sink_.Begin(Head());
            started_ = true;
        } else if (text.size() < kPartBytes) {
            return;
        }
        sink_.Part(text);
        text.clear();
    }

    void Finish() {
        if (!started_) return sink_.Whole(XmlAnswer(std::move(text)));
        sink_.Part(text);
        sink_.End({});
    }

    // Ends a streamed body that failed: what was written, without its end,
    // and the status in the trailer.
    void Fail(std::uint32_t code, const std::string& description) {
        sink_.Part(text);
        sink_.End({{"CIMStatusCode", std::to_string(code)}, {"CIMStatusCodeDescription", HeaderText(description)}});
    }

private:
    static const std::size_t kPartBytes = 32 * 1024;

    static HttpAnswer Head() {
        HttpAnswer head = XmlAnswer(std::string());
        head.headers.emplace_back("Trailer", kTrailerNames);
        return head;
    }

    AnswerSink& sink_;
    std::size_t headBytes_;
    bool started_ = false;
};

// Passes the committed instances of the named classes on, in commit order
// (whatever else a plug-in commits is left out), and keeps how the query
// ended.
template <class Each>
class Forward : public QueryObserver {
public:
    Forward(const std::vector<std::string>& names, Each& each) : names_(names), each_(each) {}

    void Committed(CommittedInstance instance) override {
        for (const std::string& name : names_) {
            if (name == instance.className) return each_(instance);
        }
    }
    void RanTool(const ToolRun&) override {}
    void Logged(const LogEntry&) override {}
    void Ended(const QueryError* error) override {
        if (error) failure = error->message;
    }

    std::optional<std::string> failure;

private:
    const std::vector<std::string>& names_;
    Each& each_;
};

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
              const std::string& host, BodyWriter& body)
        : classes_(classes), query_(query), host_(host), body_(body) {
        for (const auto& child : call) {
            if (child.first == "IPARAMVALUE") params_.emplace_back(Attribute(child.second, "NAME"), &child.second);
        }
    }

    void Run(const std::string& method) {
        std::string& out = body_.text;
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
                body_.Checkpoint();
            }
        } else if (NamesEqual(method, "GetClass")) {
            const SchemaClass& cls = SchemaClassNamed(RequiredClassName("ClassName"));
            const bool localOnly = Bool("LocalOnly", true);
            const bool qualifiers = Bool("IncludeQualifiers", true);
            const bool origin = Bool("IncludeClassOrigin", false);
            WriteClass(out, cls, localOnly, qualifiers, origin, PropertyList());
        } else if (NamesEqual(method, "EnumerateInstanceNames")) {
            Collect(ServedClassesDerivedFrom(RequiredClassName("ClassName")), [&](const CommittedInstance& instance) {
                WriteInstanceName(out, instance);
                body_.Checkpoint();
            });
        } else if (NamesEqual(method, "EnumerateInstances")) {
            const std::string className = RequiredClassName("ClassName");
            const std::vector<const SchemaClass*> served = ServedClassesDerivedFrom(className);
            PropertyFilter filter = InstanceFilter();
            if (!Bool("DeepInheritance", true)) filter.onlyOf = FindClass(className);
            if (Bool("LocalOnly", true)) filter.onlyLocalTo = FindClass(className);
            Collect(served, [&](const CommittedInstance& instance) {
                out += "<VALUE.NAMEDINSTANCE>";
                WriteInstanceName(out, instance);
                WriteInstance(out, instance, filter);
                out += "</VALUE.NAMEDINSTANCE>";
                body_.Checkpoint();
            });
        } else if (NamesEqual(method, "GetInstance")) {
            const auto named = InstanceName(RequiredParam("InstanceName"));
            const SchemaClass* cls = named.first;
            const std::string& path = named.second;  // a lambda below uses it: no structured binding
            PropertyFilter filter = InstanceFilter();
            if (Bool("LocalOnly", true)) filter.onlyLocalTo = cls;
            bool found = false;
            Collect({cls}, [&](const CommittedInstance& instance) {
                if (found || instance.path != path) return;
                found = true;
                WriteInstance(out, instance, filter);
            });
            if (!found) throw CimError{kErrNotFound, "no instance " + path};
        } else if (NamesEqual(method, "AssociatorNames") || NamesEqual(method, "Associators") ||
                   NamesEqual(method, "ReferenceNames") || NamesEqual(method, "References")) {
            RunAssociation(method);
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

    // Runs one query of the classes and calls each(instance) for every
    // instance of them as it is committed; throws CIM_ERR_FAILED with the
    // plug-in's message when the query fails.
    template <class Each>
    void Collect(const std::vector<const SchemaClass*>& classes, Each each) const {
        std::vector<std::string> names;
        names.reserve(classes.size());
        for (const SchemaClass* cls : classes) names.push_back(cls->name);
        Forward<Each> forward(names, each);
        query_(names, forward);
        if (forward.failure) throw CimError{kErrFailed, *forward.failure};
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

    void RunAssociation(const std::string& method) {
        const Tree& objectName = RequiredParam("ObjectName");
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
        }
        if (const Tree* className = Child(objectName, "CLASSNAME")) {
            const SchemaClass* source = FindClass(Attribute(*className, "NAME"));
            if (!source) throw CimError{kErrInvalidParameter, "the class " + Attribute(*className, "NAME") + " does not exist in " + kNamespace};
            return RunClassAssociation(*source, references, names, assocClass, resultClass, role, resultRole, filter);
        }
        if (!names) Bool("IncludeQualifiers", false);  // instances carry no qualifiers; the value is still checked
        const auto named = InstanceName(objectName);
        const SchemaClass* objectClass = named.first;
        const std::string& path = named.second;

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

        // References stream their links as they come; associators first
        // gather the far ends (paths only), then stream those instances.
        std::string& out = body_.text;
        std::vector<TCIMReference> ends;
        std::set<std::string> seen;
        Collect(associations, [&](const CommittedInstance& link) {
            for (const auto& near : link.properties) {
                if (near.second.GetKind() != TCIMValue::eReference || near.second.GetReference().ToObjectPath() != path ||
                    (!role.empty() && !NamesEqual(near.first, role))) {
                    continue;
                }
                if (references) {
                    if (!seen.insert(link.path).second) continue;
                    out += names ? "<OBJECTPATH>" : "<VALUE.OBJECTWITHPATH>";
                    WriteInstancePath(out, link);
                    if (!names) WriteInstance(out, link, filter);
                    out += names ? "</OBJECTPATH>" : "</VALUE.OBJECTWITHPATH>";
                    body_.Checkpoint();
                    continue;
                }
                for (const auto& far : link.properties) {
                    if (far.first == near.first || far.second.GetKind() != TCIMValue::eReference) continue;
                    if (!resultRole.empty() && !NamesEqual(far.first, resultRole)) continue;
                    const TCIMReference& end = far.second.GetReference();
                    const SchemaClass* endClass = FindClass(end.GetClassName());
                    if (resultClass && !(endClass ? DerivesFrom(*endClass, *resultClass) : NamesEqual(end.GetClassName(), *resultClass))) {
                        continue;
                    }
                    if (seen.insert(end.ToObjectPath()).second) ends.push_back(end);
                }
            }
        });
        if (references) return;
        if (names) {
            for (const TCIMReference& end : ends) {
                out += "<OBJECTPATH>";
                WriteInstancePath(out, end);
                out += "</OBJECTPATH>";
                body_.Checkpoint();
            }
            return;
        }
        // The instances at the far ends, from one query of their classes.
        std::vector<const SchemaClass*> endClasses;
        std::map<std::string, const TCIMReference*> endsByPath;
        for (const TCIMReference& end : ends) {
            const SchemaClass* cls = FindClass(end.GetClassName());
            if (!cls) continue;
            endsByPath.emplace(end.ToObjectPath(), &end);
            if (std::find(endClasses.begin(), endClasses.end(), cls) == endClasses.end()) endClasses.push_back(cls);
        }
        if (endClasses.empty()) return;
        Collect(endClasses, [&](const CommittedInstance& instance) {
            const auto end = endsByPath.find(instance.path);
            if (end == endsByPath.end() || !end->second) return;
            out += "<VALUE.OBJECTWITHPATH>";
            WriteInstancePath(out, *end->second);
            WriteInstance(out, instance, filter);
            out += "</VALUE.OBJECTWITHPATH>";
            end->second = nullptr;  // once, as each far end
            body_.Checkpoint();
        });
    }

    // The association operations on a class answer from the schema: the
    // association classes that can refer to it, or the classes at their far
    // ends.
    void RunClassAssociation(const SchemaClass& source, bool references, bool names,
                             const std::optional<std::string>& assocClass, const std::optional<std::string>& resultClass,
                             const std::string& role, const std::string& resultRole, const PropertyFilter& filter) {
        const bool qualifiers = !names && Bool("IncludeQualifiers", false);
        std::vector<const SchemaClass*> found;
        const auto add = [&found](const SchemaClass* cls) {
            if (cls && std::find(found.begin(), found.end(), cls) == found.end()) found.push_back(cls);
        };
        for (const SchemaClass& association : classes_) {
            if (!association.isAssociation || (assocClass && !DerivesFrom(association, *assocClass))) continue;
            for (const SchemaProperty& near : association.properties) {
                const SchemaClass* target = FindClass(near.referenceClass);
                if (near.type != "reference" || (!role.empty() && !NamesEqual(near.name, role)) ||
                    !(DerivesFrom(source, near.referenceClass) || (target && DerivesFrom(*target, source.name)))) {
                    continue;
                }
                if (references) add(&association);
                for (const SchemaProperty& far : association.properties) {
                    if (references || &far == &near || far.type != "reference" ||
                        (!resultRole.empty() && !NamesEqual(far.name, resultRole))) {
                        continue;
                    }
                    const SchemaClass* end = FindClass(far.referenceClass);
                    if (end && (!resultClass || DerivesFrom(*end, *resultClass))) add(end);
                }
            }
        }
        std::string& out = body_.text;
        for (const SchemaClass* cls : found) {
            out += names ? "<OBJECTPATH><CLASSPATH>" : "<VALUE.OBJECTWITHPATH><CLASSPATH>";
            WriteNamespacePath(out, kNamespace);
            out += "<CLASSNAME NAME=\"";
            AppendEscaped(out, cls->name);
            out += "\"/></CLASSPATH>";
            if (!names) WriteClass(out, *cls, false, qualifiers, filter.classOrigin, filter.propertyList);
            out += names ? "</OBJECTPATH>" : "</VALUE.OBJECTWITHPATH>";
        }
    }

    std::string OptionalString(const char* name) const {
        const Tree* param = Param(name);
        const Tree* value = param ? Child(*param, "VALUE") : nullptr;
        return value ? value->data() : std::string();
    }

    // -- writing --

    void WriteKeyBindings(std::string& out, const KeyList& keys) const {
        for (const auto& key : keys) {
            out += "<KEYBINDING NAME=\"";
            AppendEscaped(out, key.first);
            out += "\">";
            switch (key.second->GetKind()) {
            case TCIMValue::eUint16:
            case TCIMValue::eUint32:
                out += "<KEYVALUE VALUETYPE=\"numeric\">";
                AppendNumber(out, *key.second);
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

    void WriteInstanceNameOf(std::string& out, const std::string& className, const KeyList& keys) const {
        out += "<INSTANCENAME CLASSNAME=\"";
        AppendEscaped(out, className);
        out += "\">";
        WriteKeyBindings(out, keys);
        out += "</INSTANCENAME>";
    }

    static KeyList KeysOf(const TCIMReference& reference) {
        KeyList keys;
        for (const auto& key : reference.GetKeys()) keys.emplace_back(key.first, &key.second);
        return keys;
    }

    // The instance's key properties, in name order.
    KeyList KeysOf(const CommittedInstance& instance) const {
        KeyList keys;
        if (const SchemaClass* cls = FindClass(instance.className)) {
            for (const auto& property : instance.properties) {
                for (const SchemaProperty& declared : cls->properties) {
                    if (declared.isKey && declared.name == property.first) {
                        keys.emplace_back(declared.name, &property.second);
                        break;
                    }
                }
            }
        }
        std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        keys.erase(std::unique(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
                   keys.end());
        return keys;
    }

    void WriteInstanceName(std::string& out, const CommittedInstance& instance) const {
        WriteInstanceNameOf(out, instance.className, KeysOf(instance));
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
            out += "<VALUE>";
            AppendNumber(out, value);
            out += "</VALUE>";
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
        const std::string& className = instance.className;
        const SchemaClass* cls = FindClass(className);
        out += "<INSTANCE CLASSNAME=\"";
        AppendEscaped(out, className);
        out += "\">";
        for (const auto& property : instance.properties) {
            const std::string& name = property.first;
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
            out += '<';
            out += element;
            out += " NAME=\"";
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
                out += " TYPE=\"";
                out += type;
                out += '"';
            }
            if (filter.classOrigin && declared) WriteOrigin(out, *declared, className);
            out += ">";
            if (!value.IsNull()) WriteValue(out, value);
            out += "</";
            out += element;
            out += '>';
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
            out += '<';
            out += element;
            out += " NAME=\"";
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
            out += "</";
            out += element;
            out += '>';
        }
        out += "</CLASS>";
    }

    const std::vector<SchemaClass>& classes_;
    const QueryFunction& query_;
    const std::string& host_;
    BodyWriter& body_;
    std::vector<std::pair<std::string, const Tree*>> params_;
};

}  // namespace

HttpRequestView ViewOf(const HttpRequest& request) {
    return {request.method,
            request.target,
            std::string(request.Header("Host")),
            std::string(request.Header("CIMOperation")),
            std::string(request.Header("CIMMethod")),
            std::string(request.Header("CIMObject")),
            std::string(request.Header("Authorization")),
            request.peer,
            request.body};
}

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

WbemHandler::WbemHandler(std::vector<SchemaClass> classes, QueryFunction query, PasswordCheck check, LogFunction log)
    : classes_(std::move(classes)), query_(std::move(query)), check_(std::move(check)), log_(std::move(log)) {}

HttpAnswer WbemHandler::Refusal(int status, const std::string& cimError) {
    HttpAnswer answer;
    answer.status = status;
    if (!cimError.empty()) answer.headers.emplace_back("CIMError", cimError);
    return answer;
}

void WbemHandler::Handle(const HttpRequestView& request, AnswerSink& sink, std::size_t headBytes) const {
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
            return sink.Whole(std::move(answer));
        }
    }
    if (request.method != "POST") {
        HttpAnswer answer = Refusal(405, "");
        answer.headers.emplace_back("Allow", "POST");
        return sink.Whole(std::move(answer));
    }
    if (request.target != "/cimom") return sink.Whole(Refusal(404, ""));
    if (!NamesEqual(request.cimOperation, "MethodCall")) return sink.Whole(Refusal(400, "unsupported-operation"));
    if (ElementDepth(request.body) > kMaxDepth) return sink.Whole(Refusal(400, "request-not-well-formed"));

    Tree document;
    try {
        std::istringstream stream(request.body);
        boost::property_tree::read_xml(stream, document);
    } catch (const boost::property_tree::xml_parser_error&) {
        return sink.Whole(Refusal(400, "request-not-well-formed"));
    }

    const Tree* call = nullptr;
    const Tree* message = nullptr;
    bool extrinsic = false;
    std::string method;
    try {
        message = &Require(Require(document, "CIM"), "MESSAGE");
        const Tree& simple = Require(*message, "SIMPLEREQ");
        call = Child(simple, "IMETHODCALL");
        extrinsic = !call && Child(simple, "METHODCALL");
        if (extrinsic) call = Child(simple, "METHODCALL");
        if (!call) throw BadRequest{"request-not-valid"};
        method = Attribute(*call, "NAME");
        if (!NamesEqual(method, request.cimMethod)) throw BadRequest{"header-mismatch"};
        const Tree* nsPath = extrinsic ? nullptr : Child(*call, "LOCALNAMESPACEPATH");
        const std::string ns = nsPath ? NamespaceOf(*nsPath) : std::string();
        if (!extrinsic && !request.cimObject.empty() && !NamesEqual(Unescaped(request.cimObject), ns)) {
            throw BadRequest{"header-mismatch"};
        }
    } catch (const BadRequest& bad) {
        return sink.Whole(Refusal(400, bad.cimError));
    }

    const char* const responseElement = extrinsic ? "METHODRESPONSE" : "IMETHODRESPONSE";
    BodyWriter body(sink, headBytes);
    std::string& out = body.text;
    out += "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\"><MESSAGE ID=\"";
    AppendEscaped(out, Attribute(*message, "ID"));
    out += "\" PROTOCOLVERSION=\"1.0\"><SIMPLERSP><";
    out += responseElement;
    out += " NAME=\"";
    AppendEscaped(out, method);
    out += "\">";
    const std::size_t start = out.size();
    std::optional<CimError> failure;
    try {
        if (extrinsic) throw CimError{kErrNotSupported, "extrinsic methods are not supported"};
        const Tree* nsPath = Child(*call, "LOCALNAMESPACEPATH");
        const std::string ns = nsPath ? NamespaceOf(*nsPath) : std::string();
        if (!NamesEqual(ns, kNamespace)) throw CimError{kErrInvalidNamespace, "the namespace " + ns + " does not exist"};
        out += "<IRETURNVALUE>";
        Operation(classes_, query_, *call, request.host, body).Run(method);
        out += "</IRETURNVALUE>";
    } catch (const CimError& error) {
        failure = error;
    } catch (const BadRequest& bad) {
        if (!body.Started()) return sink.Whole(Refusal(400, bad.cimError));
        failure = CimError{kErrInvalidParameter, "the request is not valid: " + bad.cimError};
    } catch (const std::exception& error) {
        failure = CimError{kErrFailed, error.what()};
    }
    if (failure && body.Started()) return body.Fail(failure->code, failure->description);
    if (failure) {
        out.resize(start);
        out += "<ERROR CODE=\"" + std::to_string(failure->code) + "\" DESCRIPTION=\"";
        AppendEscaped(out, failure->description);
        out += "\"/>";
    }
    out += "</";
    out += responseElement;
    out += "></SIMPLERSP></MESSAGE></CIM>\n";
    body.Finish();
}

}  // namespace wbem
}  // namespace syv
