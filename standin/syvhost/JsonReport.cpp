#include "JsonReport.h"

#include "ReportWriter.h"
#include "syvcore/ReportText.h"
#include "syvcore/ValueTypeName.h"

#include <cstdio>

namespace syv {

using NORNSYV20::TCIMValue;

namespace {

// Writes a JSON document token by token, laid out as nlohmann-json's dump(2)
// lays it out: each member and element on a line of its own, empty objects
// and arrays as {} and [].
class JsonStream {
public:
    explicit JsonStream(ReportOutput& out) : out_(out) {}

    void BeginObject() { Open('{'); }
    void BeginArray() { Open('['); }
    void End() {
        const Level level = levels_[--depth_];
        if (level.count > 0) NewLine();
        out_.Put(level.object ? '}' : ']');
    }
    void Key(std::string_view name) {
        Level& level = levels_[depth_ - 1];
        if (level.count++ > 0) out_.Put(',');
        NewLine();
        WriteString(name);
        out_.Write(": ");
        afterKey_ = true;
    }
    void String(std::string_view text) {
        BeforeValue();
        WriteString(text);
    }
    void Number(long long number) {
        BeforeValue();
        out_.WriteNumber(number);
    }
    void Null() {
        BeforeValue();
        out_.Write("null");
    }

private:
    struct Level {
        bool object;
        std::size_t count;
    };
    // The deepest document: report, queries, query, instances, instance,
    // properties, property, array value (syvcore's arrays never nest).
    static const int kMaxDepth = 8;

    void Open(char bracket) {
        BeforeValue();
        out_.Put(bracket);
        levels_[depth_++] = Level{bracket == '{', 0};
    }
    void BeforeValue() {
        if (afterKey_) {
            afterKey_ = false;
        } else if (depth_ > 0) {
            if (levels_[depth_ - 1].count++ > 0) out_.Put(',');
            NewLine();
        }
    }
    void NewLine() {
        out_.Put('\n');
        for (int i = 0; i < depth_; ++i) out_.Write("  ");
    }
    void WriteString(std::string_view text) {
        out_.Put('"');
        ShowText(text, [this](std::string_view piece) {
            for (const char c : piece) {
                switch (c) {
                    case '"': out_.Write("\\\""); break;
                    case '\\': out_.Write("\\\\"); break;
                    case '\b': out_.Write("\\b"); break;
                    case '\f': out_.Write("\\f"); break;
                    case '\n': out_.Write("\\n"); break;
                    case '\r': out_.Write("\\r"); break;
                    case '\t': out_.Write("\\t"); break;
                    default:
                        if (static_cast<unsigned char>(c) < 0x20) {
                            char escaped[8];
                            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned int>(c));
                            out_.Write(escaped);
                        } else {
                            out_.Put(c);
                        }
                }
            }
        });
        out_.Put('"');
    }

    ReportOutput& out_;
    Level levels_[kMaxDepth] = {};
    int depth_ = 0;
    bool afterKey_ = false;
};

void WriteValue(JsonStream& json, const TCIMValue& value) {
    switch (value.GetKind()) {
        case TCIMValue::eNull: json.Null(); break;
        case TCIMValue::eString: json.String(value.GetString()); break;
        case TCIMValue::eUint16: json.Number(value.GetUint16()); break;
        case TCIMValue::eUint32: json.Number(static_cast<unsigned int>(value)); break;
        case TCIMValue::eReference: json.String(value.GetReference().ToObjectPath()); break;
        case TCIMValue::eArray:
            json.BeginArray();
            for (const TCIMValue& element : value.GetElements()) WriteValue(json, element);
            json.End();
            break;
    }
}

// Instances are written as they are committed; the tool runs and the log,
// which the document puts after them, are kept until the query ends.
class JsonWriter : public ReportWriter {
public:
    explicit JsonWriter(ReportOutput& out) : out_(out), json_(out) {}

    void Begin(const PluginIdentity& plugin, std::size_t) override {
        json_.BeginObject();
        json_.Key("plugin");
        json_.BeginObject();
        json_.Key("name");
        json_.String(plugin.name);
        json_.Key("version");
        json_.String(plugin.version);
        json_.Key("revision");
        json_.String(plugin.revision);
        json_.Key("flags");
        json_.Number(plugin.flags);
        json_.End();
        json_.Key("queries");
        json_.BeginArray();
    }

    void BeginQuery(const std::vector<std::string>& classes) override {
        json_.BeginObject();
        json_.Key("classes");
        json_.BeginArray();
        for (const std::string& name : classes) json_.String(name);
        json_.End();
        json_.Key("instances");
        json_.BeginArray();
    }

    void Committed(CommittedInstance instance) override {
        json_.BeginObject();
        json_.Key("class");
        json_.String(instance.className);
        json_.Key("path");
        json_.String(instance.path);
        json_.Key("properties");
        json_.BeginArray();
        for (const auto& property : instance.properties) {
            json_.BeginObject();
            json_.Key("name");
            json_.String(property.first);
            json_.Key("type");
            json_.String(ValueTypeName(property.second));
            json_.Key("value");
            WriteValue(json_, property.second);
            json_.End();
        }
        json_.End();
        json_.End();
    }

    void RanTool(const ToolRun& run) override { toolRuns_.push_back(run); }
    void Logged(const LogEntry& entry) override { log_.push_back(entry); }

    void Finish() override {
        json_.End();
        json_.End();
        out_.Put('\n');
        out_.Flush();
    }

protected:
    void EndQuery(const QueryError* error) override {
        json_.End();
        json_.Key("tool_runs");
        json_.BeginArray();
        for (const ToolRun& run : toolRuns_) WriteToolRun(run);
        json_.End();
        json_.Key("log");
        json_.BeginArray();
        for (const LogEntry& entry : log_) {
            json_.BeginObject();
            json_.Key("level");
            json_.Number(entry.level);
            json_.Key("message");
            json_.String(entry.message);
            json_.End();
        }
        json_.End();
        json_.Key("error");
        if (error) {
            json_.BeginObject();
            json_.Key("status");
            json_.Number(error->status);
            json_.Key("message");
            json_.String(error->message);
            json_.End();
        } else {
            json_.Null();
        }
        json_.End();
        std::vector<ToolRun>().swap(toolRuns_);
        std::vector<LogEntry>().swap(log_);
    }

private:
    void WriteToolRun(const ToolRun& run) {
        json_.BeginObject();
        json_.Key("command");
        json_.String(run.command);
        json_.Key("arguments");
        json_.BeginArray();
        for (const std::string& argument : run.arguments) json_.String(argument);
        json_.End();
        json_.Key("timeout");
        json_.Number(run.timeout);
        json_.Key("outcome");
        json_.String(run.outcome);
        json_.Key("exit_code");
        if (run.exitCode) {
            json_.Number(*run.exitCode);
        } else {
            json_.Null();
        }
        json_.End();
    }

    ReportOutput& out_;
    JsonStream json_;
    std::vector<ToolRun> toolRuns_;
    std::vector<LogEntry> log_;
};

}  // namespace

std::unique_ptr<ReportWriter> MakeJsonWriter(ReportOutput& output) { return std::make_unique<JsonWriter>(output); }

std::string WriteJsonReport(const PluginIdentity& plugin, const std::vector<QueryReport>& queries) {
    std::string text;
    ReportOutput out(text);
    WriteCollected(*MakeJsonWriter(out), plugin, queries);
    return text;
}

}  // namespace syv
