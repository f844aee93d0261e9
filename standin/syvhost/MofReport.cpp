#include "MofReport.h"

#include "ReportWriter.h"
#include "syvcore/ReportText.h"

#include <cstdio>

namespace syv {

using NORNSYV20::TCIMValue;

namespace {

const char* const kIndent = "    ";

// Strings escape backslashes, quotes and control characters; comments only
// the control characters, so that paths and quoted names in messages read as
// they are.
void WriteEscaped(ReportOutput& out, std::string_view text, bool inString) {
    ShowText(text, [&out, inString](std::string_view piece) {
        for (const char c : piece) {
            switch (c) {
                case '\\': out.Write(inString ? "\\\\" : "\\"); break;
                case '"': out.Write(inString ? "\\\"" : "\""); break;
                case '\b': out.Write("\\b"); break;
                case '\t': out.Write("\\t"); break;
                case '\n': out.Write("\\n"); break;
                case '\f': out.Write("\\f"); break;
                case '\r': out.Write("\\r"); break;
                default: {
                    const unsigned char byte = static_cast<unsigned char>(c);
                    if (byte < 0x20 || byte == 0x7F) {
                        char hex[8];
                        std::snprintf(hex, sizeof hex, "\\x%04X", static_cast<unsigned int>(byte));
                        out.Write(hex);
                    } else {
                        out.Put(c);
                    }
                }
            }
        }
    });
}

void WriteQuoted(ReportOutput& out, std::string_view text) {
    out.Put('"');
    WriteEscaped(out, text, true);
    out.Put('"');
}

void WriteValue(ReportOutput& out, const TCIMValue& value) {
    switch (value.GetKind()) {
        case TCIMValue::eNull: out.Write("NULL"); break;
        case TCIMValue::eString: WriteQuoted(out, value.GetString()); break;
        case TCIMValue::eUint16: out.WriteNumber(value.GetUint16()); break;
        case TCIMValue::eUint32: out.WriteNumber(static_cast<unsigned int>(value)); break;
        case TCIMValue::eReference: WriteQuoted(out, value.GetReference().ToObjectPath()); break;
        case TCIMValue::eArray: {
            out.Put('{');
            bool first = true;
            for (const TCIMValue& element : value.GetElements()) {
                if (!first) out.Write(", ");
                first = false;
                WriteValue(out, element);
            }
            out.Put('}');
            break;
        }
    }
}

// Arrays of more than one element put each element on a line of its own, so
// that a tool's output lines read as lines.
void WriteProperty(ReportOutput& out, std::string_view name, const TCIMValue& value) {
    out.Write(kIndent);
    WriteEscaped(out, name, false);
    out.Write(" = ");
    if (value.GetKind() == TCIMValue::eArray && value.GetElements().size() > 1) {
        out.Write("{\n");
        const std::vector<TCIMValue>& elements = value.GetElements();
        for (std::size_t i = 0; i < elements.size(); ++i) {
            out.Write(kIndent);
            out.Write(kIndent);
            WriteValue(out, elements[i]);
            out.Write(i + 1 < elements.size() ? ",\n" : "\n");
        }
        out.Write(kIndent);
        out.Write("};\n");
    } else {
        WriteValue(out, value);
        out.Write(";\n");
    }
}

class MofWriter : public ReportWriter {
public:
    explicit MofWriter(ReportOutput& out) : out_(out) {}

    // Comments are single lines: whatever the text holds, it cannot end one.
    void Begin(const PluginIdentity& plugin, std::size_t queries) override {
        queries_ = queries;
        out_.Write("// plug-in: ");
        WriteEscaped(out_, plugin.name, false);
        out_.Write(", version ");
        WriteEscaped(out_, plugin.version, false);
        out_.Write(", revision ");
        WriteEscaped(out_, plugin.revision, false);
        out_.Write(", flags ");
        out_.WriteNumber(plugin.flags);
        out_.Put('\n');
    }

    void BeginQuery(const std::vector<std::string>& classes) override {
        ++number_;
        out_.Write("\n// query ");
        out_.WriteNumber(static_cast<long long>(number_));
        out_.Write(" of ");
        out_.WriteNumber(static_cast<long long>(queries_));
        out_.Write(": ");
        if (classes.empty()) out_.Write("(no classes)");
        for (std::size_t i = 0; i < classes.size(); ++i) {
            if (i > 0) out_.Write(", ");
            WriteEscaped(out_, classes[i], false);
        }
        out_.Put('\n');
    }

    void Committed(CommittedInstance instance) override {
        out_.Write("\ninstance of ");
        WriteEscaped(out_, instance.className, false);
        out_.Write("\n{\n");
        for (const auto& property : instance.properties) WriteProperty(out_, property.first, property.second);
        out_.Write("};\n");
    }

    void RanTool(const ToolRun&) override {}
    void Logged(const LogEntry&) override {}

    void Finish() override { out_.Flush(); }

protected:
    void EndQuery(const QueryError* error) override {
        if (!error) return;
        out_.Write("\n// query ");
        out_.WriteNumber(static_cast<long long>(number_));
        out_.Write(" failed: status ");
        out_.WriteNumber(error->status);
        out_.Write(": ");
        WriteEscaped(out_, error->message, false);
        out_.Put('\n');
    }

private:
    ReportOutput& out_;
    std::size_t queries_ = 0;
    std::size_t number_ = 0;
};

}  // namespace

std::unique_ptr<ReportWriter> MakeMofWriter(ReportOutput& output) { return std::make_unique<MofWriter>(output); }

std::string EscapeMofString(const std::string& text) {
    std::string escaped;
    {
        ReportOutput out(escaped);
        WriteEscaped(out, text, true);
        out.Flush();
    }
    return escaped;
}

std::string FormatMofValue(const TCIMValue& value) {
    std::string text;
    ReportOutput out(text);
    WriteValue(out, value);
    out.Flush();
    return text;
}

std::string WriteMofReport(const PluginIdentity& plugin, const std::vector<QueryReport>& queries) {
    std::string text;
    ReportOutput out(text);
    WriteCollected(*MakeMofWriter(out), plugin, queries);
    return text;
}

}  // namespace syv
