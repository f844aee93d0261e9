#include "MetricsReport.h"

#include "plugin/Constants.h"

#include <cstdio>
#include <map>

namespace syv {

namespace {

using NORNSYV20::TCIMValue;

struct Family {
    const char* name;
    const char* help;
    std::string series;
};

// The kind label and the metric a committed class feeds; null when the
// class has no series of its own (raw data, associations).
struct ClassSeries {
    const char* kind;
    int family;
};

enum { kControllerInfo, kFirmwareInfo, kBiosInfo, kFamilies };

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
        if (property.first != name) {
            continue;
        }
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

void AddSeries(Family& family, const std::string& labels, const std::string& value) {
    family.series += std::string(family.name) + "{" + labels + "} " + value + "\n";
}

void AddFamily(std::string& text, const char* name, const char* help, const std::string& series) {
    text += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " gauge\n" + series;
}

}  // namespace

std::string EscapeLabelValue(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '\\': escaped += "\\\\"; break;
            case '"': escaped += "\\\""; break;
            case '\n': escaped += "\\n"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

std::string FormatMetricsReport(const QueryReport& query, double durationSeconds) {
    Family families[kFamilies] = {
        {"velkor_controller_info", "A host bus adapter port the collector found; always 1.", {}},
        {"velkor_firmware_info", "The firmware of an adapter port; always 1.", {}},
        {"velkor_bios_info", "The BIOS of an adapter port; always 1.", {}},
    };
    std::map<std::string, int> adapters{{"fibre_channel", 0}, {"iscsi", 0}};
    for (const CommittedInstance& instance : query.instances) {
        const ClassSeries* series = SeriesOf(std::string(instance.className));
        if (series == nullptr) {
            continue;
        }
        const std::string kind = Label("kind", series->kind);
        if (series->family == kControllerInfo) {
            ++adapters[series->kind];
            AddSeries(families[kControllerInfo],
                      kind + "," + Label("controller", Property(instance, "DeviceID")) + "," +
                          Label("number", Property(instance, "ControllerNum")) + "," +
                          Label("model", Property(instance, "ControllerType")),
                      "1");
        } else {
            AddSeries(families[series->family],
                      kind + "," + Label("controller", Property(instance, "DeviceID")) + "," +
                          Label("name", Property(instance, "Name")) + "," +
                          Label("version", Property(instance, "Version")),
                      "1");
        }
    }

    std::string text;
    for (const Family& family : families) {
        if (!family.series.empty()) {
            AddFamily(text, family.name, family.help, family.series);
        }
    }
    std::string counts;
    for (const auto& kind : adapters) {
        counts += "velkor_adapters{" + Label("kind", kind.first) + "} " + std::to_string(kind.second) + "\n";
    }
    AddFamily(text, "velkor_adapters", "Adapter ports found, by kind.", counts);
    AddFamily(text, "velkor_collect_success", "1 when the query succeeded, 0 when it failed.",
              std::string("velkor_collect_success ") + (query.failed ? "0" : "1") + "\n");
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.6f", durationSeconds);
    AddFamily(text, "velkor_collect_duration_seconds", "How long the query took, tool runs included.",
              std::string("velkor_collect_duration_seconds ") + duration + "\n");
    return text;
}

}  // namespace syv
