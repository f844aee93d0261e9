#include "syvcore/Schema.h"

#include "CIMTypeNames.h"
#include "MofReader.h"
#include "host/TSYVException.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <iterator>

namespace syv {

namespace {

[[noreturn]] void FailSchema(const std::string& detail) {
    throw NORNSYV20::TSYVException(NORNSYV20::TSYVStatusCode(NORNSYV20::TSYVStatusCode::kSchemaError), detail);
}

}  // namespace

Schema::Schema(std::vector<ClassDefinition> classes) {
    for (ClassDefinition& cls : classes) {
        const auto existing = classes_.find(cls.name);
        if (existing != classes_.end()) {
            FailSchema(cls.file + ":" + std::to_string(cls.line) + ": class " + cls.name + " is already defined at " +
                       existing->second.file + ":" + std::to_string(existing->second.line));
        }
        const std::string name = cls.name;
        classes_.emplace(name, std::move(cls));
    }
    // A cycle would make every lookup along the chain loop for ever.
    for (const auto& entry : classes_) {
        std::set<std::string> seen{entry.first};
        for (const ClassDefinition* cls = FindClass(entry.second.superclass); cls; cls = FindClass(cls->superclass)) {
            if (!seen.insert(cls->name).second) {
                FailSchema(entry.second.file + ":" + std::to_string(entry.second.line) + ": class " + entry.first +
                           " is its own superclass");
            }
        }
    }
    for (auto& entry : classes_) {
        entry.second.parent = FindClass(entry.second.superclass);
    }
    for (auto& entry : classes_) {
        ResolveMembers(entry.second);
    }
}

// Resolved once: instances look up every property they set.
void Schema::ResolveMembers(ClassDefinition& cls) {
    for (const ClassDefinition* current = &cls; current; current = current->parent) {
        for (const PropertyDefinition& declared : current->properties) {
            auto member = std::find_if(cls.members.begin(), cls.members.end(), [&](const ClassDefinition::Member& m) {
                return m.declared->name == declared.name;
            });
            if (member == cls.members.end()) {
                cls.members.push_back({&declared, declared.isKey,
                                       declared.isArray ? NORNSYV20::TCIMValue::eArray : detail::KindOfType(declared.type),
                                       current, current == &cls});
            } else {
                member->isKey = member->isKey || declared.isKey;
                member->origin = current;
            }
        }
    }
    for (const ClassDefinition::Member& member : cls.members) {
        if (member.isKey) cls.keys.push_back(member.declared);
    }
    std::sort(cls.keys.begin(), cls.keys.end(),
              [](const PropertyDefinition* a, const PropertyDefinition* b) { return a->name < b->name; });
}

const ClassDefinition* Schema::FindClass(const std::string& name) const {
    const auto found = classes_.find(name);
    return found == classes_.end() ? nullptr : &found->second;
}

const ClassDefinition::Member* ClassDefinition::FindMember(const std::string& property) const {
    for (const Member& member : members) {
        if (member.declared->name == property) return &member;
    }
    return nullptr;
}

bool Schema::DerivesFrom(const std::string& className, const std::string& ancestor) const {
    if (className == ancestor) return true;
    for (const ClassDefinition* current = FindClass(className); current; current = FindClass(current->superclass)) {
        if (current->superclass == ancestor) return true;
    }
    return false;
}

std::vector<std::string> Schema::ClassNames() const {
    std::vector<std::string> names;
    for (const auto& entry : classes_) names.push_back(entry.first);
    return names;
}

Schema LoadSchemaFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::directory_iterator it(fs::u8path(folder), error), end; !error && it != end; it.increment(error)) {
        if (it->path().extension() == ".mof" && it->is_regular_file()) files.push_back(it->path());
    }
    if (error) FailSchema("cannot read the folder " + folder + ": " + error.message());
    if (files.empty()) FailSchema("the folder " + folder + " holds no .mof file");
    std::sort(files.begin(), files.end());

    std::vector<ClassDefinition> classes;
    for (const fs::path& file : files) {
        const std::string fileName = file.generic_u8string();
        std::ifstream stream(file, std::ios::binary);
        if (!stream) FailSchema("cannot open " + fileName);
        const std::string text((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
        if (stream.bad()) FailSchema("cannot read " + fileName);
        std::vector<ClassDefinition> read = detail::ReadMof(text, fileName);
        classes.insert(classes.end(), std::make_move_iterator(read.begin()), std::make_move_iterator(read.end()));
    }
    return Schema(std::move(classes));
}

}  // namespace syv
