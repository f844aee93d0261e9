#include "MetricsReport.h"

#include "plugin/Constants.h"
#include "syvcore/ReportText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace syv {

namespace {

using NORNSYV20::TCIMValue;

enum InfoFamily { kControllerInfo, kFirmwareInfo, kBiosInfo };

const char* const kInfoNames[] = {"velkor_controller_info", "velkor_firmware_info", "velkor_bios_info"};
const char* const kInfoHelp[] = {
    "A host bus adapter port the collector found; always 1.",
    "The firmware of an adapter port; always 1.",
    "The BIOS of an adapter port; always 1.",
};

// The kinds of adapter, by their label and the classes that have series.
struct Kind {
    const char* label;
    const std::string* classes[3];  // by InfoFamily
};

const Kind kKindTable[] = {
    {"fibre_channel",
     {&velkor::kFibreChannelControllerClass, &velkor::kFibreChannelFirmwareElementClass,
      &velkor::kFibreChannelBiosElementClass}},
    {"iscsi", {&velkor::kIScsiControllerClass, &velkor::kIScsiFirmwareElementClass, &velkor::kIScsiBiosElementClass}},
};

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

// Whole numbers in decimal; any other value in the fewest digits that read
// back as the same value.
std::string Number(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
    char text[40];
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        std::snprintf(text, sizeof text, "%.0f", value);
        return text;
    }
    for (int precision = 1;; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, value);
        if (precision >= 17 || std::strtod(text, nullptr) == value) return text;
    }
}

// HELP text: OpenMetrics escapes double quotes too.
std::string EscapeHelp(const std::string& text, MetricsFormat format) {
    std::string escaped;
    for (const char c : text) {
        if (c == '\\') {
            escaped += "\\\\";
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c == '"' && format == MetricsFormat::kOpenMetrics) {
            escaped += "\\\"";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

const char* TypeName(MetricType type) {
    switch (type) {
        case MetricType::kCounter: return "counter";
        case MetricType::kHistogram: return "histogram";
        default: return "gauge";
    }
}

void WriteFamily(const MetricFamily& family, MetricsFormat format, ReportOutput& out) {
    const bool open = format == MetricsFormat::kOpenMetrics;
    // The Prometheus text format names a counter by its samples, OpenMetrics
    // by the family.
    const std::string name = family.name + (!open && family.type == MetricType::kCounter ? "_total" : "");
    out.Write("# TYPE " + name + " " + TypeName(family.type) + "\n");
    if (open && !family.unit.empty()) out.Write("# UNIT " + name + " " + family.unit + "\n");
    out.Write("# HELP " + name + " " + EscapeHelp(family.help, format) + "\n");
    for (const MetricSample& sample : family.samples) {
        out.Write(family.name);
        out.Write(sample.suffix);
        for (std::size_t i = 0; i < sample.labels.size(); ++i) {
            out.Write(i == 0 ? "{" : ",");
            out.Write(sample.labels[i].first);
            out.Write("=\"");
            out.Write(EscapeLabelValue(sample.labels[i].second));
            out.Put('"');
        }
        out.Write(sample.labels.empty() ? " " : "} ");
        out.Write(Number(sample.value));
        out.Put('\n');
    }
}

MetricFamily Gauge(const char* name, const char* help, std::vector<MetricSample> samples) {
    MetricFamily family;
    family.name = name;
    family.help = help;
    family.samples = std::move(samples);
    return family;
}

class MetricsWriter : public ReportWriter {
public:
    explicit MetricsWriter(ReportOutput& out) : out_(out) {}

    void Begin(const PluginIdentity&, std::size_t) override {}
    void BeginQuery(const std::vector<std::string>& classes) override { query_.Begin(classes); }
    void Committed(CommittedInstance instance) override { query_.Committed(std::move(instance)); }
    void RanTool(const ToolRun&) override {}
    void Logged(const LogEntry&) override {}

    void Finish() override {
        WriteMetrics(query_.Families(), MetricsFormat::kOpenMetrics, out_);
        out_.Flush();
    }

protected:
    void EndQuery(const QueryError* error) override { query_.Ended(error); }

private:
    ReportOutput& out_;
    MetricsCollector query_;
};

}  // namespace

const char* MetricsContentType(MetricsFormat format) {
    return format == MetricsFormat::kOpenMetrics ? "application/openmetrics-text; version=1.0.0; charset=utf-8"
                                                 : "text/plain; version=0.0.4; charset=utf-8";
}

void MetricsCollector::Begin(const std::vector<std::string>& classes) {
    *this = MetricsCollector();
    for (int kind = 0; kind < kKinds; ++kind) {
        const std::string& controller = *kKindTable[kind].classes[kControllerInfo];
        askedControllers_[kind] = std::find(classes.begin(), classes.end(), controller) != classes.end();
    }
    start_ = std::chrono::steady_clock::now();
}

void MetricsCollector::Committed(CommittedInstance instance) {
    for (int kind = 0; kind < kKinds; ++kind) {
        for (int family = 0; family < kInfoFamilies; ++family) {
            if (instance.className != *kKindTable[kind].classes[family]) continue;
            MetricLabels labels{{"kind", kKindTable[kind].label}, {"controller", Property(instance, "DeviceID")}};
            if (family == kControllerInfo) {
                labels.emplace_back("number", Property(instance, "ControllerNum"));
                labels.emplace_back("model", Property(instance, "ControllerType"));
            } else {
                labels.emplace_back("name", Property(instance, "Name"));
                labels.emplace_back("version", Property(instance, "Version"));
            }
            // A class named twice commits its instances twice; a series
            // stands once.
            if (!seen_[family].insert(labels).second) return;
            adapters_[kind] += family == kControllerInfo ? 1 : 0;
            info_[family].push_back(MetricSample{"", std::move(labels), 1});
            return;
        }
    }
}

void MetricsCollector::Ended(const QueryError* error) {
    ended_ = true;
    failed_ = error != nullptr;
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    seconds_ = static_cast<double>(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count()) / 1e6;
}

std::vector<MetricFamily> MetricsCollector::Families() const {
    std::vector<MetricFamily> families;
    if (!ended_) return families;
    for (int family = 0; family < kInfoFamilies; ++family) {
        if (!info_[family].empty()) families.push_back(Gauge(kInfoNames[family], kInfoHelp[family], info_[family]));
    }
    std::vector<MetricSample> adapters;
    for (int kind = 0; kind < kKinds; ++kind) {
        if (askedControllers_[kind] && !failed_) {
            const double count = adapters_[kind];
            adapters.push_back(MetricSample{"", {{"kind", kKindTable[kind].label}}, count});
        }
    }
    if (!adapters.empty()) {
        families.push_back(Gauge("velkor_adapters", "Adapter ports found, by kind, when the query asked for them and "
                                                    "succeeded.",
                                 std::move(adapters)));
    }
    families.push_back(Gauge("velkor_collect_success", "1 when the query succeeded, 0 when it failed.",
                             {MetricSample{"", {}, failed_ ? 0.0 : 1.0}}));
    families.push_back(Gauge("velkor_collect_duration_seconds", "How long the query took, tool runs included.",
                             {MetricSample{"", {}, seconds_}}));
    families.back().unit = "seconds";
    return families;
}

void WriteMetrics(const std::vector<MetricFamily>& families, MetricsFormat format, ReportOutput& output) {
    for (const MetricFamily& family : families) WriteFamily(family, format, output);
    if (format == MetricsFormat::kOpenMetrics) output.Write("# EOF\n");
}

std::string MetricsText(const std::vector<MetricFamily>& families, MetricsFormat format) {
    std::string text;
    ReportOutput output(text);
    WriteMetrics(families, format, output);
    output.Flush();
    return text;
}

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
