// Class definitions as read from MOF files: what a class declares (its own
// properties, their types and key qualifiers) and what it inherits along its
// chain of superclasses. The namespace's classes are one schema; a host reads
// further schemas of its own (a server's self-description) the same way.
#ifndef SYVCORE_SCHEMA_H
#define SYVCORE_SCHEMA_H

#include "host/SyvExport.h"
#include "host/TCIMValue.h"

#include <map>
#include <string>
#include <vector>

namespace syv {

struct PropertyDefinition {
    std::string name;
    NORNSYV20::ECIMType type = NORNSYV20::eCIMTypeNull;  // the element type of an array
    bool isArray = false;
    std::string referenceClass;  // the class a REF property points at
    bool isKey = false;
    int line = 0;
};

struct ClassDefinition {
    std::string name;
    std::string superclass;  // empty for a root class; may name a class not in the schema
    bool isAssociation = false;
    std::vector<PropertyDefinition> properties;  // in declaration order
    std::string file;
    int line = 0;
    // The superclass's definition, set by the schema that holds both; null
    // for a root class or one whose superclass the schema lacks.
    const ClassDefinition* parent = nullptr;

    // A property of the class or of a superclass: the declaration nearest to
    // the class, and whether it is a key. Any declaration along the chain
    // makes it one: an override cannot take the Key qualifier away.
    struct Member {
        const PropertyDefinition* declared;
        bool isKey;
        // What a value of it holds: eArray for an array, else the kind of
        // its type (eNull for a type that no value can hold).
        NORNSYV20::TCIMValue::EKind kind;
        // The farthest class of the chain that declares it (its class
        // origin), and whether this class declares or overrides it itself.
        const ClassDefinition* origin;
        bool local;
    };
    // Every member, one per name, and the key ones in name order (the order of
    // object paths); set by the schema that holds the class, so that setting
    // a property or making a path walks no chain.
    std::vector<Member> members;
    std::vector<const PropertyDefinition*> keys;  // the key members, in name order

    // Exact (case-sensitive) lookup; null when no class of the chain declares
    // the property.
    SYV_API const Member* FindMember(const std::string& property) const;
};

class SYV_API Schema {
public:
    Schema() = default;
    // Throws TSYVException (status 14) for a class defined twice or a cycle
    // of superclasses, naming the file and line of the offending class.
    explicit Schema(std::vector<ClassDefinition> classes);
    // The definitions point at each other, so a schema moves but never copies.
    Schema(Schema&&) = default;
    Schema& operator=(Schema&&) = default;
    Schema(const Schema&) = delete;
    Schema& operator=(const Schema&) = delete;

    // Exact (case-sensitive) lookup; null when the schema lacks the class.
    const ClassDefinition* FindClass(const std::string& name) const;

    // True when className is ancestor or derives from it.
    bool DerivesFrom(const std::string& className, const std::string& ancestor) const;

    std::vector<std::string> ClassNames() const;

private:
    void ResolveMembers(ClassDefinition& cls);

    std::map<std::string, ClassDefinition> classes_;
};

// Reads every *.mof file of the folder, in file name order. Throws
// TSYVException (status 14) when the folder cannot be read, holds no MOF
// file, or a file has a syntax error (naming the file and line).
SYV_API Schema LoadSchemaFolder(const std::string& folder);

}  // namespace syv

#endif
