// The report writers on hand-made query reports, compared with the exact text
// they must give: escaping, property order, failed queries, bytes that are not
// valid UTF-8 (how such bytes are shown is tested with the XML text, which
// shows them the same way).
#include "JsonReport.h"
#include "MetricsReport.h"
#include "MofReport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace {

using NORNSYV20::TCIMReference;
using NORNSYV20::TCIMValue;
using NORNSYV20::TCIMValueMap;
using Json = nlohmann::ordered_json;

const syv::PluginIdentity kPlugin{"Test Plug-in", "2.5", "7", 3};

TCIMValue StringArray(const std::vector<std::string>& texts) {
    std::vector<TCIMValue> elements(texts.begin(), texts.end());
    return TCIMValue(TCIMValue::TCIMType(NORNSYV20::eCIMTypeString), static_cast<unsigned int>(texts.size()),
                     elements);
}

TCIMValue Reference(const std::string& className, const std::string& key, const std::string& value) {
    TCIMValueMap keys;
    keys[key] = TCIMValue(value);
    return TCIMValue(TCIMReference(boost::shared_ptr<NORNSYV20::ICIMNamespace>(), className, keys));
}

// Properties out of alphabetical order, and one value of every kind.
syv::CommittedInstance Controller() {
    syv::CommittedInstance instance;
    instance.className = "Test_Controller";
    instance.path = "ns:Test_Controller.DeviceID=\"C1\"";
    instance.properties = {
        {"Zeta", TCIMValue("last \"first\"")},
        {"Alpha", TCIMValue(static_cast<std::uint16_t>(65535))},
        {"Count", TCIMValue(static_cast<std::uint32_t>(4294967295u))},
        {"Lines", StringArray({"one\r", "two\ttabbed", "bad \xff\xfe end"})},
        {"Empty", StringArray({})},
        {"Link", Reference("Test_Element", "Name", "E \"1\"")},
        {"Nothing", TCIMValue()},
    };
    return instance;
}

// A query that succeeded, and one that failed after committing an instance.
std::vector<syv::QueryReport> TwoQueries() {
    syv::QueryReport good;
    good.classes = {"Test_Controller", "Bad\nName"};
    good.instances = {Controller()};
    good.toolRuns = {{"qlogic//scli.exe", {"-z"}, 300, "ok", 0}};
    good.log = {{3, "detail\nwith a line end"}, {2, "stderr: \x80"}};
    syv::QueryReport failed;
    failed.classes = {"Unknown_Class"};
    syv::CommittedInstance element;
    element.className = "Test_Element";
    element.path = "ns:Test_Element.Name=\"\xff\"";
    element.properties = {{"Name", TCIMValue("E")}};
    failed.instances = {element};
    failed.toolRuns = {{"qlogic//iscli.exe", {"-z"}, 1, "failed: timed out", std::nullopt}};
    failed.failed = true;
    failed.status = 2;
    failed.message = "The requested class is not served by this provider: Unknown_Class\nsecond line";
    return {good, failed};
}

// Quotes and bytes that are not UTF-8: the exact report below.
TEST(MofReportTest, EscapesStringsByTheMofGrammar) {
    const struct { std::string raw; std::string escaped; } cases[] = {
        {"back\\slash", "back\\\\slash"},
        {"\n\r\t\b\f", "\\n\\r\\t\\b\\f"},
        {"\x01\x1f\x7f", "\\x0001\\x001F\\x007F"},
        {std::string("nul\0byte", 8), "nul\\x0000byte"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},  // UTF-8 stays as it is
        {"lit \\xFF", "lit \\\\\\\\xFF"},  // a literal backslash-x is shown doubled, then escaped
    };
    for (const auto& c : cases) {
        EXPECT_EQ(syv::EscapeMofString(c.raw), c.escaped) << c.escaped;
    }
}

// JSON is compared as the document it parses to, its keys in order.
TEST(ReportTest, WritersGiveTheExactReport) {
    const std::string identity = "// plug-in: Test Plug-in, version 2.5, revision 7, flags 3\n";
    const std::string jsonIdentity = R"({"plugin":{"name":"Test Plug-in","version":"2.5","revision":"7","flags":3},)";
    const struct { std::vector<syv::QueryReport> queries; std::string mof, json; } cases[] = {
        {{}, identity, jsonIdentity + R"("queries":[]})"},
        {TwoQueries(),
         identity + R"(
// query 1 of 2: Test_Controller, Bad\nName

instance of Test_Controller
{
    Zeta = "last \"first\"";
    Alpha = 65535;
    Count = 4294967295;
    Lines = {
        "one\r",
        "two\ttabbed",
        "bad \\xFF\\xFE end"
    };
    Empty = {};
    Link = "Test_Element.Name=\"E \\\"1\\\"\"";
    Nothing = NULL;
};

// query 2 of 2: Unknown_Class

instance of Test_Element
{
    Name = "E";
};

// query 2 failed: status 2: The requested class is not served by this provider: Unknown_Class\nsecond line
)",
         jsonIdentity +
             R"("queries":[{"classes":["Test_Controller","Bad\nName"],"instances":[{"class":"Test_Controller",)"
             R"("path":"ns:Test_Controller.DeviceID=\"C1\"","properties":[)"
             R"({"name":"Zeta","type":"string","value":"last \"first\""},{"name":"Alpha","type":"uint16","value":65535},)"
             R"({"name":"Count","type":"uint32","value":4294967295},)"
             R"({"name":"Lines","type":"string[]","value":["one\r","two\ttabbed","bad \\xFF\\xFE end"]},{"name":"Empty","type":"string[]","value":[]},)"
             R"({"name":"Link","type":"reference","value":"Test_Element.Name=\"E \\\"1\\\"\""},)"
             R"({"name":"Nothing","type":"null","value":null}]}],)"
             R"("tool_runs":[{"command":"qlogic//scli.exe","arguments":["-z"],"timeout":300,"outcome":"ok","exit_code":0}],)"
             R"("log":[{"level":3,"message":"detail\nwith a line end"},{"level":2,"message":"stderr: \\x80"}],"error":null},)"
             R"({"classes":["Unknown_Class"],"instances":[{"class":"Test_Element","path":"ns:Test_Element.Name=\"\\xFF\"",)"
             R"("properties":[{"name":"Name","type":"string","value":"E"}]}],)"
             R"("tool_runs":[{"command":"qlogic//iscli.exe","arguments":["-z"],"timeout":1,"outcome":"failed: timed out","exit_code":null}],)"
             R"("log":[],"error":{"status":2,)"
             R"("message":"The requested class is not served by this provider: Unknown_Class\nsecond line"}}]})"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(syv::WriteMofReport(kPlugin, c.queries), c.mof);
        EXPECT_EQ(Json::parse(syv::WriteJsonReport(kPlugin, c.queries)).dump(), c.json);
    }
}

// Families of every type in both formats: the names of counters, units,
// HELP escapes, label values shown and escaped, numbers, and "# EOF" last.
TEST(MetricsTest, FamiliesInBothFormats) {
    using syv::MetricType;
    const std::vector<syv::MetricFamily> families = {
        {"velkor_port_info", MetricType::kGauge, "", "A port; \"always\" 1.\\\nend",
         {{"", {{"model", "FC \"16\\20\nD\xff"}, {"empty", ""}}, 1}}},
        {"velkor_requests", MetricType::kCounter, "", "Requests.", {{"_total", {{"status", "200"}}, 12345678}}},
        {"velkor_request_seconds", MetricType::kHistogram, "seconds", "Time.",
         {{"_bucket", {{"le", "+Inf"}}, 3}, {"_sum", {}, 1.25}}},
        {"velkor_values", MetricType::kGauge, "", "Odd values.",
         {{"", {{"v", "a"}}, 0.1},
          {"", {{"v", "b"}}, -2.5e-7},
          {"", {{"v", "c"}}, std::numeric_limits<double>::infinity()},
          {"", {{"v", "d"}}, std::numeric_limits<double>::quiet_NaN()}}},
    };
    const std::string samples = R"(velkor_port_info{model="FC \"16\\\\20\nD\\xFF",empty=""} 1
)";
    const std::string values = R"(velkor_values{v="a"} 0.1
velkor_values{v="b"} -2.5e-07
velkor_values{v="c"} +Inf
velkor_values{v="d"} NaN
)";
    const std::string histogram = R"(velkor_request_seconds_bucket{le="+Inf"} 3
velkor_request_seconds_sum 1.25
)";
    const struct { syv::MetricsFormat format; std::string text, contentType; } cases[] = {
        {syv::MetricsFormat::kPrometheus,
         "# TYPE velkor_port_info gauge\n# HELP velkor_port_info A port; \"always\" 1.\\\\\\nend\n" + samples +
             "# TYPE velkor_requests_total counter\n# HELP velkor_requests_total Requests.\n"
             "velkor_requests_total{status=\"200\"} 12345678\n"
             "# TYPE velkor_request_seconds histogram\n# HELP velkor_request_seconds Time.\n" + histogram +
             "# TYPE velkor_values gauge\n# HELP velkor_values Odd values.\n" + values,
         "text/plain; version=0.0.4; charset=utf-8"},
        {syv::MetricsFormat::kOpenMetrics,
         "# TYPE velkor_port_info gauge\n# HELP velkor_port_info A port; \\\"always\\\" 1.\\\\\\nend\n" + samples +
             "# TYPE velkor_requests counter\n# HELP velkor_requests Requests.\n"
             "velkor_requests_total{status=\"200\"} 12345678\n"
             "# TYPE velkor_request_seconds histogram\n# UNIT velkor_request_seconds seconds\n"
             "# HELP velkor_request_seconds Time.\n" + histogram +
             "# TYPE velkor_values gauge\n# HELP velkor_values Odd values.\n" + values + "# EOF\n",
         "application/openmetrics-text; version=1.0.0; charset=utf-8"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(syv::MetricsText(families, c.format), c.text);
        EXPECT_EQ(syv::MetricsContentType(c.format), c.contentType);
    }
}

}  // namespace
