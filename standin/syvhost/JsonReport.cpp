#include "JsonReport.h"

#include "syvcore/ValueTypeName.h"

#include <nlohmann/json.hpp>

namespace syv {

using NORNSYV20::TCIMValue;
using Json = nlohmann::ordered_json;

namespace {

Json ValueJson(const TCIMValue& value) {
    switch (value.GetKind()) {
        case TCIMValue::eNull: return nullptr;
        case TCIMValue::eString: return static_cast<std::string>(value);
        case TCIMValue::eUint16: return value.GetUint16();
        case TCIMValue::eUint32: return static_cast<unsigned int>(value);
        case TCIMValue::eReference: return value.GetReference().ToObjectPath();
        case TCIMValue::eArray: {
            Json elements = Json::array();
            for (const TCIMValue& element : value.GetElements()) {
                elements.push_back(ValueJson(element));
            }
            return elements;
        }
    }
    return nullptr;
}

Json InstanceJson(const CommittedInstance& instance) {
    Json properties = Json::array();
    for (const auto& property : instance.properties) {
        properties.push_back(Json{{"name", property.first},
                                  {"type", ValueTypeName(property.second)},
                                  {"value", ValueJson(property.second)}});
    }
    return Json{{"class", instance.className}, {"path", instance.path}, {"properties", properties}};
}

Json QueryJson(const QueryReport& query) {
    Json instances = Json::array();
    for (const CommittedInstance& instance : query.instances) {
        instances.push_back(InstanceJson(instance));
    }
    Json toolRuns = Json::array();
    for (const ToolRun& run : query.toolRuns) {
        toolRuns.push_back(Json{{"command", run.command},
                                {"arguments", run.arguments},
                                {"timeout", run.timeout},
                                {"outcome", run.outcome}});
    }
    Json log = Json::array();
    for (const LogEntry& entry : query.log) {
        log.push_back(Json{{"level", entry.level}, {"message", entry.message}});
    }
    Json error = nullptr;
    if (query.failed) {
        error = Json{{"status", query.status}, {"message", query.message}};
    }
    return Json{{"classes", query.classes},
                {"instances", instances},
                {"tool_runs", toolRuns},
                {"log", log},
                {"error", error}};
}

}  // namespace

std::string WriteJsonReport(const PluginIdentity& plugin, const std::vector<QueryReport>& queries) {
    Json queriesJson = Json::array();
    for (const QueryReport& query : queries) {
        queriesJson.push_back(QueryJson(query));
    }
    const Json document{
        {"plugin",
         Json{{"name", plugin.name}, {"version", plugin.version}, {"revision", plugin.revision}, {"flags", plugin.flags}}},
        {"queries", queriesJson}};
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace syv
