#include "MofReport.h"

#include <cstdio>

namespace syv {

using NORNSYV20::TCIMValue;

namespace {

const char* const kIndent = "    ";

// Strings escape backslashes, quotes and control characters; comments only
// the control characters, so that paths and quoted names in messages read as
// they are.
std::string Escape(const std::string& text, bool inString) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '\\': escaped += inString ? "\\\\" : "\\"; break;
            case '"': escaped += inString ? "\\\"" : "\""; break;
            case '\b': escaped += "\\b"; break;
            case '\t': escaped += "\\t"; break;
            case '\n': escaped += "\\n"; break;
            case '\f': escaped += "\\f"; break;
            case '\r': escaped += "\\r"; break;
            default: {
                const unsigned char byte = static_cast<unsigned char>(c);
                if (byte < 0x20 || byte == 0x7F) {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\x%04X", static_cast<unsigned int>(byte));
                    escaped += hex;
                } else {
                    escaped += c;
                }
            }
        }
    }
    return escaped;
}

// Comments are single lines: whatever the text holds, it cannot end one.
std::string CommentLine(const std::string& text) { return "// " + Escape(text, false) + "\n"; }

std::string JoinClasses(const std::vector<std::string>& classes) {
    if (classes.empty()) {
        return "(no classes)";
    }
    std::string text = classes.front();
    for (std::size_t i = 1; i < classes.size(); ++i) {
        text += ", " + classes[i];
    }
    return text;
}

std::string Quote(const std::string& text) { return "\"" + EscapeMofString(text) + "\""; }

// Arrays of more than one element put each element on a line of its own, so
// that a tool's output lines read as lines.
std::string FormatProperty(std::string_view name, const TCIMValue& value) {
    if (value.GetKind() == TCIMValue::eArray && value.GetElements().size() > 1) {
        std::string text = std::string(kIndent).append(name) + " = {\n";
        const std::vector<TCIMValue>& elements = value.GetElements();
        for (std::size_t i = 0; i < elements.size(); ++i) {
            text += std::string(kIndent) + kIndent + FormatMofValue(elements[i]) +
                    (i + 1 < elements.size() ? ",\n" : "\n");
        }
        return text + kIndent + "};\n";
    }
    return std::string(kIndent).append(name) + " = " + FormatMofValue(value) + ";\n";
}

}  // namespace

std::string EscapeMofString(const std::string& text) { return Escape(text, true); }

std::string FormatMofValue(const TCIMValue& value) {
    switch (value.GetKind()) {
        case TCIMValue::eNull: return "NULL";
        case TCIMValue::eString: return Quote(static_cast<std::string>(value));
        case TCIMValue::eUint16: return std::to_string(value.GetUint16());
        case TCIMValue::eUint32: return std::to_string(static_cast<unsigned int>(value));
        case TCIMValue::eReference: return Quote(value.GetReference().ToObjectPath());
        case TCIMValue::eArray: {
            std::string text = "{";
            for (const TCIMValue& element : value.GetElements()) {
                text += (text.size() > 1 ? ", " : "") + FormatMofValue(element);
            }
            return text + "}";
        }
    }
    return "NULL";
}

std::string WriteMofReport(const PluginIdentity& plugin, const std::vector<QueryReport>& queries) {
    std::string text = CommentLine("plug-in: " + plugin.name + ", version " + plugin.version + ", revision " +
                                   plugin.revision + ", flags " + std::to_string(plugin.flags));
    for (std::size_t q = 0; q < queries.size(); ++q) {
        const QueryReport& query = queries[q];
        const std::string number = std::to_string(q + 1);
        text += "\n" + CommentLine("query " + number + " of " + std::to_string(queries.size()) + ": " +
                                   JoinClasses(query.classes));
        for (const CommittedInstance& instance : query.instances) {
            text.append("\ninstance of ").append(instance.className).append("\n{\n");
            for (const auto& property : instance.properties) {
                text += FormatProperty(property.first, property.second);
            }
            text += "};\n";
        }
        if (query.failed) {
            text += "\n" + CommentLine("query " + number + " failed: status " + std::to_string(query.status) + ": " +
                                       query.message);
        }
    }
    return text;
}

}  // namespace syv
