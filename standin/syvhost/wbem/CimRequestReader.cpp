#include "CimRequestReader.h"

#include "XmlText.h"
#include "host/TCIMValue.h"
#include "syvcore/StandinHost.h"

#include <expat.h>

#include <limits>
#include <memory>
#include <utility>

namespace syv {
namespace wbem {

namespace {

using NORNSYV20::TCIMReference;
using NORNSYV20::TCIMValue;

// The document as a tree of at most maxDepth levels, so that walking and
// freeing it recurses no deeper than that.
struct Element {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text;
    std::vector<Element> children;

    const std::string* Attribute(std::string_view attribute) const {
        for (const auto& entry : attributes) {
            if (entry.first == attribute) return &entry.second;
        }
        return nullptr;
    }
    const Element* Child(std::string_view child) const {
        for (const Element& element : children) {
            if (element.name == child) return &element;
        }
        return nullptr;
    }
};

Refusal NotWellFormed(std::string why) { return Refusal{400, "request-not-well-formed", std::move(why)}; }
Refusal NotValid(std::string why) { return Refusal{400, "request-not-valid", std::move(why)}; }

// Builds the tree from expat's events, refusing what passes a limit.
class TreeBuilder {
public:
    TreeBuilder(XML_Parser parser, const ReaderLimits& limits) : parser_(parser), limits_(limits) {
        XML_SetUserData(parser, this);
        XML_SetElementHandler(parser, &TreeBuilder::OnStart, &TreeBuilder::OnEnd);
        XML_SetCharacterDataHandler(parser, &TreeBuilder::OnText);
        XML_SetStartDoctypeDeclHandler(parser, &TreeBuilder::OnDoctype);
        XML_SetEntityDeclHandler(parser, &TreeBuilder::OnEntity);
        XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
    }

    Element root;
    std::optional<Refusal> refusal;

private:
    void Stop(std::string why) {
        if (!refusal) refusal = NotWellFormed(std::move(why));
        XML_StopParser(parser_, XML_FALSE);
    }

    static void OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
        auto* self = static_cast<TreeBuilder*>(data);
        if (self->refusal) return;
        if (self->open_.size() >= self->limits_.maxDepth) return self->Stop("elements nest too deep");
        if (++self->elements_ > self->limits_.maxElements) return self->Stop("too many elements");
        Element* element = &self->root;
        if (!self->open_.empty()) {
            self->open_.back()->children.emplace_back();
            element = &self->open_.back()->children.back();
        } else if (self->rootSeen_) {
            return self->Stop("a second document element");
        }
        self->rootSeen_ = true;
        element->name = name;
        if (element->name.size() > self->limits_.maxNameBytes) return self->Stop("an element name is too long");
        for (std::size_t i = 0; attributes[i]; i += 2) {
            if (element->attributes.size() >= self->limits_.maxAttributes) return self->Stop("too many attributes");
            std::string attribute(attributes[i]);
            std::string value(attributes[i + 1]);
            if (attribute.size() > self->limits_.maxNameBytes) return self->Stop("an attribute name is too long");
            if (value.size() > self->limits_.maxTextBytes) return self->Stop("an attribute value is too long");
            element->attributes.emplace_back(std::move(attribute), std::move(value));
        }
        self->open_.push_back(element);
    }

    static void OnEnd(void* data, const XML_Char*) {
        auto* self = static_cast<TreeBuilder*>(data);
        if (!self->refusal && !self->open_.empty()) self->open_.pop_back();
    }

    static void OnText(void* data, const XML_Char* text, int length) {
        auto* self = static_cast<TreeBuilder*>(data);
        if (self->refusal || self->open_.empty()) return;
        std::string& content = self->open_.back()->text;
        if (content.size() + static_cast<std::size_t>(length) > self->limits_.maxTextBytes) {
            return self->Stop("an element's text is too long");
        }
        content.append(text, static_cast<std::size_t>(length));
    }

    static void OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        static_cast<TreeBuilder*>(data)->Stop("a document type declaration is not accepted");
    }

    static void OnEntity(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*, const XML_Char*,
                         const XML_Char*, const XML_Char*) {
        static_cast<TreeBuilder*>(data)->Stop("an entity declaration is not accepted");
    }

    XML_Parser parser_;
    const ReaderLimits& limits_;
    std::vector<Element*> open_;
    std::size_t elements_ = 0;
    bool rootSeen_ = false;
};

Element ParseXml(std::string_view body, const ReaderLimits& limits) {
    const std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate(nullptr), XML_ParserFree);
    if (!parser) throw std::bad_alloc();
    TreeBuilder builder(parser.get(), limits);
    // expat takes an int length; bodies are far smaller, but never trust it.
    if (body.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) throw NotWellFormed("too long");
    const XML_Status status = XML_Parse(parser.get(), body.data(), static_cast<int>(body.size()), XML_TRUE);
    if (builder.refusal) throw *builder.refusal;
    if (status != XML_STATUS_OK) {
        throw NotWellFormed(std::string(XML_ErrorString(XML_GetErrorCode(parser.get()))) + " at line " +
                            std::to_string(XML_GetCurrentLineNumber(parser.get())));
    }
    return std::move(builder.root);
}

const Element& Require(const Element& element, std::string_view child) {
    if (const Element* found = element.Child(child)) return *found;
    throw NotValid(element.name + " has no " + std::string(child));
}

const std::string& RequireAttribute(const Element& element, std::string_view attribute) {
    if (const std::string* value = element.Attribute(attribute)) return *value;
    throw NotValid(element.name + " has no " + std::string(attribute) + " attribute");
}

// "MAJOR.MINOR" with the given major version.
bool VersionOf(std::string_view version, char major) {
    if (version.size() < 3 || version[0] != major || version[1] != '.') return false;
    for (std::size_t i = 2; i < version.size(); ++i) {
        if (version[i] < '0' || version[i] > '9') return false;
    }
    return true;
}

void CheckVersion(const Element& element, const char* attribute, char major, const char* cimError) {
    const std::string& version = RequireAttribute(element, attribute);
    if (!VersionOf(version, major)) {
        throw Refusal{501, cimError, std::string(attribute) + " " + version + " is not supported"};
    }
}

std::string NamespaceOf(const Element& localNamespacePath) {
    std::string name;
    for (const Element& part : localNamespacePath.children) {
        if (part.name != "NAMESPACE") throw NotValid("LOCALNAMESPACEPATH holds " + part.name);
        if (!name.empty()) name += '/';
        name += RequireAttribute(part, "NAME");
    }
    if (name.empty()) throw NotValid("LOCALNAMESPACEPATH names no namespace");
    return name;
}

// A key value that no key of a class can hold is answered as an invalid
// parameter, not a malformed request.
struct BadKey {
    std::string why;
};

TCIMReference ReferenceOf(const Element& instanceName, const std::string& ns);

TCIMValue KeyValueOf(const Element& holder, const std::string& ns) {
    if (const Element* value = holder.Child("KEYVALUE")) {
        const std::string* type = value->Attribute("VALUETYPE");
        if (!type || *type == "string") return TCIMValue(value->text);
        if (*type == "numeric") {
            std::uint64_t number = 0;
            const std::string& digits = value->text;
            bool valid = !digits.empty() && digits.size() <= 10;
            for (const char c : digits) {
                valid = valid && c >= '0' && c <= '9';
                number = number * 10 + static_cast<std::uint64_t>(c - '0');
            }
            if (valid && number <= std::numeric_limits<std::uint32_t>::max()) {
                return TCIMValue(static_cast<std::uint32_t>(number));
            }
            throw BadKey{"the numeric key value \"" + digits + "\" is not an unsigned 32-bit number"};
        }
        throw BadKey{"no key of this server's classes holds a " + *type + " value"};
    }
    if (const Element* reference = holder.Child("VALUE.REFERENCE")) {
        if (const Element* name = reference->Child("INSTANCENAME")) return TCIMValue(ReferenceOf(*name, ns));
        if (const Element* local = reference->Child("LOCALINSTANCEPATH")) {
            return TCIMValue(
                ReferenceOf(Require(*local, "INSTANCENAME"), NamespaceOf(Require(*local, "LOCALNAMESPACEPATH"))));
        }
        if (const Element* path = reference->Child("INSTANCEPATH")) {
            const Element& nsPath = Require(Require(*path, "NAMESPACEPATH"), "LOCALNAMESPACEPATH");
            return TCIMValue(ReferenceOf(Require(*path, "INSTANCENAME"), NamespaceOf(nsPath)));
        }
        throw BadKey{"a key refers to a class, not an instance"};
    }
    throw NotValid(holder.name + " holds no key value");
}

// An unnamed single key (INSTANCENAME holding only a KEYVALUE) keeps the
// empty name; the schema gives it the class's only key.
TCIMReference ReferenceOf(const Element& instanceName, const std::string& ns) {
    NORNSYV20::TCIMValueMap keys;
    for (const Element& child : instanceName.children) {
        if (child.name == "KEYBINDING") {
            if (!keys.emplace(RequireAttribute(child, "NAME"), KeyValueOf(child, ns)).second) {
                throw BadKey{"the key " + *child.Attribute("NAME") + " is given twice"};
            }
        } else if (child.name == "KEYVALUE" || child.name == "VALUE.REFERENCE") {
            if (!keys.empty()) throw BadKey{"an unnamed key beside other keys"};
            keys.emplace(std::string(), KeyValueOf(instanceName, ns));
        } else {
            throw NotValid("INSTANCENAME holds " + child.name);
        }
    }
    return StandinHost::MakeReference(ns, RequireAttribute(instanceName, "CLASSNAME"), std::move(keys));
}

ParamValue ParamOf(const Element& param, const std::string& ns) {
    ParamValue value;
    if (param.children.empty()) return value;
    if (param.children.size() > 1) throw NotValid("the parameter " + RequireAttribute(param, "NAME") + " has two values");
    const Element& held = param.children.front();
    if (held.name == "VALUE") {
        value.kind = ParamValue::kValue;
        value.text = held.text;
    } else if (held.name == "VALUE.ARRAY") {
        value.kind = ParamValue::kArray;
        for (const Element& element : held.children) {
            if (element.name != "VALUE" && element.name != "VALUE.NULL") throw NotValid("VALUE.ARRAY holds " + element.name);
            value.texts.push_back(element.text);
        }
    } else if (held.name == "CLASSNAME") {
        value.kind = ParamValue::kClassName;
        value.text = RequireAttribute(held, "NAME");
    } else if (held.name == "INSTANCENAME") {
        value.kind = ParamValue::kInstanceName;
        value.reference = ReferenceOf(held, ns);
    } else if (held.name != "VALUE.NULL") {
        value.kind = ParamValue::kOther;
        value.text = held.name;
    }
    return value;
}

CimRequest RequestOf(const Element& root) {
    if (root.name != "CIM") throw NotValid("the document element is " + root.name + ", not CIM");
    CheckVersion(root, "CIMVERSION", '2', "unsupported-cim-version");
    CheckVersion(root, "DTDVERSION", '2', "unsupported-dtd-version");
    const Element& message = Require(root, "MESSAGE");
    CheckVersion(message, "PROTOCOLVERSION", '1', "unsupported-protocol-version");
    if (message.Child("MULTIREQ")) throw Refusal{501, "multiple-requests-unsupported", "MULTIREQ"};
    CimRequest request;
    request.messageId = RequireAttribute(message, "ID");
    const Element& simple = Require(message, "SIMPLEREQ");
    const Element* call = simple.Child("IMETHODCALL");
    if (!call) {
        call = simple.Child("METHODCALL");
        if (!call) throw NotValid("SIMPLEREQ holds no method call");
        request.extrinsic = true;
        request.method = RequireAttribute(*call, "NAME");
        return request;
    }
    request.method = RequireAttribute(*call, "NAME");
    request.namespaceName = NamespaceOf(Require(*call, "LOCALNAMESPACEPATH"));
    for (const Element& child : call->children) {
        if (child.name == "LOCALNAMESPACEPATH") continue;
        if (child.name != "IPARAMVALUE") throw NotValid("IMETHODCALL holds " + child.name);
        const std::string& name = RequireAttribute(child, "NAME");
        try {
            if (request.Param(name)) throw BadKey{"the parameter " + name + " is given twice"};
            request.params.emplace_back(name, ParamOf(child, request.namespaceName));
        } catch (const BadKey& bad) {
            if (!request.invalidParameter) request.invalidParameter = CimError{kErrInvalidParameter, bad.why};
        }
    }
    return request;
}

}  // namespace

const ParamValue* CimRequest::Param(std::string_view name) const {
    for (const auto& param : params) {
        if (NamesEqual(param.first, name)) return &param.second;
    }
    return nullptr;
}

std::variant<CimRequest, Refusal> ReadCimRequest(std::string_view body, const ReaderLimits& limits) {
    try {
        return RequestOf(ParseXml(body, limits));
    } catch (const Refusal& refusal) {
        return refusal;
    }
}

bool SupportedProtocolVersion(std::string_view version) { return VersionOf(version, '1'); }

}  // namespace wbem
}  // namespace syv
