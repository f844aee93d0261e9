#include "MetricsReport.h"

#include "plugin/Constants.h"
#include "syvcore/ReportText.h"

#include <chrono>
#include <cstdio>
#include <map>

namespace syv {

namespace {

using NORNSYV20::TCIMValue;

enum Family { kControllerInfo, kFirmwareInfo, kBiosInfo, kFamilies };

const char* const kFamilyNames[kFamilies] = {"velkor_controller_info", "velkor_firmware_info", "velkor_bios_info"};
const char* const kFamilyHelp[kFamilies] = {
    "A host bus adapter port the collector found; always 1.",
    "The firmware of an adapter port; always 1.",
    "The BIOS of an adapter port; always 1.",
};

// The kind label and the metric of a committed class; classes without a
// series of their own (raw data, associations) are not listed.
struct ClassSeries {
    const char* kind;
    Family family;
};

const ClassSeries* SeriesOf(const std::string& className) {
    static const std::map<std::string, ClassSeries> classes{
        {velkor::kFibreChannelControllerClass, {"fibre_channel", kControllerInfo}},
        {velkor::kFibreChannelFirmwareElementClass, {"fibre_channel", kFirmwareInfo}},
        {velkor::kFibreChannelBiosElementClass, {"fibre_channel", kBiosInfo}},
        {velkor::kIScsiControllerClass, {"iscsi", kControllerInfo}},
        {velkor::kIScsiFirmwareElementClass, {"iscsi", kFirmwareInfo}},
        {velkor::kIScsiBiosElementClass, {"iscsi", kBiosInfo}},
    };
    const auto found = classes.find(className);
    return found == classes.end() ? nullptr : &found->second;
}

// A property's value as label text: strings as they are, integers in
// decimal, anything else (absent, null) empty.
std::string Property(const CommittedInstance& instance, const char* name) {
    for (const auto& property : instance.properties) {
        if (property.first != name) continue;
        const TCIMValue& value = property.second;
        switch (value.GetKind()) {
            case TCIMValue::eString: return static_cast<std::string>(value);
            case TCIMValue::eUint16: return std::to_string(value.GetUint16());
            case TCIMValue::eUint32: return std::to_string(static_cast<unsigned int>(value));
            default: return std::string();
        }
    }
    return std::string();
}

std::string Label(const char* name, const std::string& value) {
    return std::string(name) + "=\"" + EscapeLabelValue(value) + "\"";
}

class MetricsWriter : public ReportWriter {
public:
    explicit MetricsWriter(ReportOutput& out) : out_(out) {}

    void Begin(const PluginIdentity&, std::size_t) override {}

    void BeginQuery(const std::vector<std::string>&) override {
        for (std::string& series : series_) series.clear();
        adapters_ = {{"fibre_channel", 0}, {"iscsi", 0}};
        start_ = std::chrono::steady_clock::now();
    }

    void Committed(CommittedInstance instance) override {
        const ClassSeries* series = SeriesOf(instance.className);
        if (!series) return;
        std::string labels = Label("kind", series->kind) + "," + Label("controller", Property(instance, "DeviceID"));
        if (series->family == kControllerInfo) {
            ++adapters_[series->kind];
            labels += "," + Label("number", Property(instance, "ControllerNum")) + "," +
                      Label("model", Property(instance, "ControllerType"));
        } else {
            labels += "," + Label("name", Property(instance, "Name")) + "," +
                      Label("version", Property(instance, "Version"));
        }
        series_[series->family] += std::string(kFamilyNames[series->family]) + "{" + labels + "} 1\n";
    }

    void RanTool(const ToolRun&) override {}
    void Logged(const LogEntry&) override {}

    void Finish() override {
        for (int family = 0; family < kFamilies; ++family) {
            if (!series_[family].empty()) WriteFamily(kFamilyNames[family], kFamilyHelp[family], series_[family]);
        }
        std::string counts;
        for (const auto& kind : adapters_) {
            counts += "velkor_adapters{" + Label("kind", kind.first) + "} " + std::to_string(kind.second) + "\n";
        }
        WriteFamily("velkor_adapters", "Adapter ports found, by kind.", counts);
        WriteFamily("velkor_collect_success", "1 when the query succeeded, 0 when it failed.",
                    std::string("velkor_collect_success ") + (failed_ ? "0" : "1") + "\n");
        char duration[48];
        std::snprintf(duration, sizeof duration, "velkor_collect_duration_seconds %.6f\n", seconds_);
        WriteFamily("velkor_collect_duration_seconds", "How long the query took, tool runs included.", duration);
        out_.Flush();
    }

protected:
    void EndQuery(const QueryError* error) override {
        failed_ = error != nullptr;
        seconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    void WriteFamily(const char* name, const char* help, const std::string& series) {
        out_.Write("# HELP ");
        out_.Write(name);
        out_.Put(' ');
        out_.Write(help);
        out_.Write("\n# TYPE ");
        out_.Write(name);
        out_.Write(" gauge\n");
        out_.Write(series);
    }

    ReportOutput& out_;
    std::string series_[kFamilies];
    std::map<std::string, int> adapters_;
    std::chrono::steady_clock::time_point start_;
    bool failed_ = false;
    double seconds_ = 0;
};

}  // namespace

std::string EscapeLabelValue(const std::string& text) {
    std::string escaped;
    ShowText(text, [&escaped](std::string_view piece) {
        for (const char c : piece) {
            switch (c) {
                case '\\': escaped += "\\\\"; break;
                case '"': escaped += "\\\""; break;
                case '\n': escaped += "\\n"; break;
                default: escaped += c;
            }
        }
    });
    return escaped;
}

std::unique_ptr<ReportWriter> MakeMetricsWriter(ReportOutput& output) {
    return std::make_unique<MetricsWriter>(output);
}

}  // namespace syv
