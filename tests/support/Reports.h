// What a query report holds, described as text so that tests compare it whole.
#ifndef VELKOR_TESTS_REPORTS_H
#define VELKOR_TESTS_REPORTS_H

#include "host/Host.h"
#include "syvcore/StandinHost.h"

#include <string>
#include <vector>

namespace testsupport {

// "type=value"; arrays as array{a|b}, references as their object paths.
inline std::string DescribeValue(const NORNSYV20::TCIMValue& value) {
    using NORNSYV20::TCIMValue;
    switch (value.GetKind()) {
        case TCIMValue::eNull: return "null";
        case TCIMValue::eString: return "string=" + static_cast<std::string>(value);
        case TCIMValue::eUint16: return "uint16=" + std::to_string(value.GetUint16());
        case TCIMValue::eUint32: return "uint32=" + std::to_string(static_cast<unsigned int>(value));
        case TCIMValue::eReference: return "ref=" + value.GetReference().ToObjectPath();
        case TCIMValue::eArray: {
            std::string text = "array{";
            for (const TCIMValue& element : value.GetElements()) {
                text += (text.back() == '{' ? "" : "|") + DescribeValue(element);
            }
            return text + "}";
        }
    }
    return "?";
}

// "Name:type=value" per property, in the order set.
inline std::vector<std::string> Describe(const syv::CommittedInstance& instance) {
    std::vector<std::string> lines;
    for (const auto& property : instance.properties) {
        lines.push_back(std::string(property.first) + ":" + DescribeValue(property.second));
    }
    return lines;
}

// The value of a property, described as in DescribeValue, or "<unset>".
inline std::string PropertyOf(const syv::CommittedInstance& instance, const std::string& name) {
    for (const auto& property : instance.properties) {
        if (property.first == name) {
            return DescribeValue(property.second);
        }
    }
    return "<unset>";
}

// The instances of one class, in commit order.
inline std::vector<syv::CommittedInstance> OfClass(const syv::QueryReport& report, const std::string& className) {
    std::vector<syv::CommittedInstance> found;
    for (const syv::CommittedInstance& instance : report.instances) {
        if (instance.className == className) {
            found.push_back(instance);
        }
    }
    return found;
}

// "COMMAND ok" or "COMMAND failed" per tool run, in order.
inline std::vector<std::string> Runs(const syv::QueryReport& report) {
    std::vector<std::string> runs;
    for (const syv::ToolRun& run : report.toolRuns) {
        runs.push_back(run.command + (run.outcome == "ok" ? " ok" : " failed"));
    }
    return runs;
}

inline std::vector<std::string> LogAt(const syv::QueryReport& report, int level) {
    std::vector<std::string> messages;
    for (const syv::LogEntry& entry : report.log) {
        if (entry.level == level) {
            messages.push_back(entry.message);
        }
    }
    return messages;
}

}  // namespace testsupport

#endif
