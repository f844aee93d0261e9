// The one writer of the server's CIM-XML (DSP0201): the response envelope,
// errors, classes, instances, their names and paths, and output parameters,
// appended to a string as the answer is made.
#ifndef SYVHOST_WBEM_CIMXMLWRITER_H
#define SYVHOST_WBEM_CIMXMLWRITER_H

#include "SchemaView.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace syv {
namespace wbem {

// Which properties (and what about them) an answer shows.
struct PropertyFilter {
    std::optional<std::vector<std::string>> propertyList;  // none: every property
    const ClassDefinition* onlyOf = nullptr;       // only the properties this class has
    bool localOnly = false;   // classes: only the properties the class declares itself
    bool qualifiers = false;  // classes: the Key and Association qualifiers
    bool classOrigin = false;
};

class CimXmlWriter {
public:
    // host: the server as the client named it (the Host header), written in
    // instance and class paths.
    CimXmlWriter(std::string& out, std::string host) : out_(out), host_(std::move(host)) {}

    const std::string& Host() const { return host_; }

    // Text already written as CIM-XML by a writer of this class.
    void Written(std::string_view xml) { out_.append(xml.data(), xml.size()); }

    void BeginResponse(std::string_view messageId, std::string_view method, bool extrinsic);
    void EndResponse(bool extrinsic);
    void Error(std::uint32_t code, std::string_view description);

    void ClassName(std::string_view name);
    void Class(const ClassDefinition& cls, const PropertyFilter& filter);
    // VALUE.OBJECTWITHPATH (with the class) or OBJECTPATH, of a class.
    void ClassWithPath(const std::string& ns, const ClassDefinition& cls, const PropertyFilter& filter);
    void ClassObjectPath(const std::string& ns, const ClassDefinition& cls);

    void InstanceName(const ClassDefinition& cls, const KeyValues& keys);
    void Instance(const ClassDefinition& cls, const CommittedInstance& instance, const PropertyFilter& filter);
    void InstancePath(const std::string& ns, const ClassDefinition& cls, const KeyValues& keys);
    // VALUE.NAMEDINSTANCE, VALUE.OBJECTWITHPATH, VALUE.INSTANCEWITHPATH and
    // OBJECTPATH of an instance of the view's namespace.
    void NamedInstance(const SchemaView& view, const ClassDefinition& cls, const CommittedInstance& instance,
                       const PropertyFilter& filter);
    void InstanceWithPath(const char* element, const SchemaView& view, const ClassDefinition& cls,
                          const CommittedInstance& instance, const PropertyFilter& filter);
    void InstanceObjectPath(const SchemaView& view, const ClassDefinition& cls, const CommittedInstance& instance);
    // OBJECTPATH or INSTANCEPATH of the instance a reference names.
    void ReferenceObjectPath(const NORNSYV20::TCIMReference& reference);
    void ReferencePath(const NORNSYV20::TCIMReference& reference);

    // An output parameter of an intrinsic method (PARAMVALUE), its value
    // written as text or VALUE.NULL when there is none.
    void OutputParameter(std::string_view name, std::string_view type, const std::optional<std::string>& value);

private:
    void Escaped(std::string_view text);
    void LocalNamespacePath(const std::string& ns);
    void NamespacePath(const std::string& ns);
    void KeyBinding(std::string_view name, const NORNSYV20::TCIMValue& value);
    void ReferenceName(const NORNSYV20::TCIMReference& reference);
    void Reference(const NORNSYV20::TCIMReference& reference);
    void Value(const NORNSYV20::TCIMValue& value);
    void Number(const NORNSYV20::TCIMValue& value);
    void Origin(const ClassDefinition::Member& member, const std::string& className);

    std::string& out_;
    std::string host_;
};

}  // namespace wbem
}  // namespace syv

#endif
