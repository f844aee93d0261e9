// CIM over HTTP through the CIM service, without sockets: the plug-in runs
// in this process on the default transcripts, so the answers are checked
// against the instances a plain query of the same classes commits.
#include "TestEnvironment.h"
#include "plugin/TQLogicControllerPluginCallbacks.h"
#include "syvcore/StandinHost.h"
#include "wbem/CimService.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using namespace syv;
using namespace syv::wbem;

const std::string kNs = "root/ornsg";
const std::string kFc = "ORNSG_QLogicFibreChannel";
const std::string kController = kFc + "SCSIProtocolController";

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

struct Collected : AnswerSink {
    bool began = false;
    HttpAnswer answer;
    HeaderList trailer;
    void Whole(HttpAnswer whole) override { answer = std::move(whole); }
    void Begin(const HttpAnswer& head) override { began = true, answer = head; }
    void Part(std::string_view part) override { answer.body += part; }
    void End(const HeaderList& fields) override { trailer = fields; }
};

std::string Param(const std::string& name, const std::string& value) {
    return "<IPARAMVALUE NAME=\"" + name + "\">" + value + "</IPARAMVALUE>";
}
std::string ClassParam(const std::string& name, const std::string& cls) {
    return Param(name, "<CLASSNAME NAME=\"" + cls + "\"/>");
}
std::string Key(const std::string& name, const std::string& value, const char* type = "string") {
    return "<KEYBINDING NAME=\"" + name + "\"><KEYVALUE VALUETYPE=\"" + type + "\">" + value + "</KEYVALUE></KEYBINDING>";
}
// The first controller, its keys spelt in other letter cases.
const std::string kFirstController = "<INSTANCENAME CLASSNAME=\"" + kController + "\">" +
                                     Key("creationclassname", kController) + Key("DEVICEID", "QLogic Fibre Channel1") +
                                     Key("SystemCreationClassName", "ORN") + Key("SystemName", "LOCALHOST") +
                                     "</INSTANCENAME>";
const std::string kFirstFirmware = "<INSTANCENAME CLASSNAME=\"" + kFc + "FirmwareElement\">" +
                                   Key("Name", "QLogic Fibre Channel1 Firmware") +
                                   Key("SoftwareElementID", "QLogic Fibre Channel Firmware1") +
                                   Key("SoftwareElementState", "3", "numeric") +
                                   Key("TargetOperatingSystem", "58", "numeric") + Key("Version", "8.08.231") +
                                   "</INSTANCENAME>";

class CimServiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        StandinHost::LoadSchema(VELKOR_SCHEMA_DIR);
        static const std::string scli = testsupport::ReadFile(VELKOR_TRANSCRIPTS_DIR "/scli.txt");
        static const std::string iscli = testsupport::ReadFile(VELKOR_TRANSCRIPTS_DIR "/iscli.txt");
        StandinHost::SetInProcessTool([](const std::string& path, const std::vector<std::string>&) {
            return path.find("iscli") != std::string::npos ? iscli : scli;
        });
        StandinHost::ClearRegisteredPlugins();
        plugin_ = new velkor::TQLogicControllerPluginCallbacks();
    }
    static void TearDownTestSuite() {
        StandinHost::ClearRegisteredPlugins();
        plugin_->Release();
        StandinHost::SetInProcessTool(InProcessTool());
    }

    void SetUp() override { Start(-1); }

    void Start(int refreshSeconds) {
        plugin_->Shutdown();
        service_.reset();
        namespaces_ = std::make_unique<Namespaces>();
        queries_ = std::make_unique<PluginQueries>(
            [this](const std::vector<std::string>& classes, QueryObserver& observer) {
                fake ? fake(classes, observer) : StandinHost::RunQuery(classes, observer);
            },
            [this]() {
                ++shutdowns;
                plugin_->Shutdown();
            },
            refreshSeconds, LogFunction());
        namespaces_->Add(std::make_unique<PluginNamespace>(SchemaView(kNs, StandinHost::GetSchema()), *queries_));
        CimServiceSettings settings;
        settings.runOnQueryThread = [this](std::function<void()> job) {
            ++jobs;
            if (defer) return deferred.push_back(std::move(job));
            job();
        };
        settings.metricsClasses = {kController, kFc + "FirmwareElement"};
        settings.refreshSeconds = refreshSeconds;
        settings.headBytes = 16 * 1024;
        service_ = std::make_unique<CimService>(*namespaces_, *queries_, settings);
    }

    std::shared_ptr<Collected> Send(HttpRequest request) {
        auto sink = std::make_shared<Collected>();
        service_->Handle(std::move(request), sink);
        return sink;
    }

    static HttpRequest Request(const std::string& method, const std::string& params, const std::string& ns = kNs) {
        std::string path;
        for (std::size_t start = 0; start <= ns.size();) {
            const std::size_t end = std::min(ns.find('/', start), ns.size());
            path += "<NAMESPACE NAME=\"" + ns.substr(start, end - start) + "\"/>";
            start = end + 1;
        }
        HttpRequest request;
        request.method = "POST";
        request.target = "/cimom";
        request.headers = {{"Host", "h"}, {"CIMOperation", "MethodCall"}, {"CIMMethod", method}, {"CIMObject", ns}};
        request.body = "<?xml version=\"1.0\"?><CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\"><MESSAGE ID=\"9\" "
                       "PROTOCOLVERSION=\"1.0\"><SIMPLEREQ><IMETHODCALL NAME=\"" + method + "\"><LOCALNAMESPACEPATH>" +
                       path + "</LOCALNAMESPACEPATH>" + params + "</IMETHODCALL></SIMPLEREQ></MESSAGE></CIM>";
        return request;
    }

    std::string Body(const std::string& method, const std::string& params, const std::string& ns = kNs) {
        return Send(Request(method, params, ns))->answer.body;
    }

    // How many instances of the classes a plain query commits.
    static std::size_t Instances(const std::vector<std::string>& classes) {
        return StandinHost::RunQuery(classes).instances.size();
    }

    QueryFunction fake;
    int shutdowns = 0;
    int jobs = 0;
    bool defer = false;  // jobs wait in deferred instead of running at once
    std::vector<std::function<void()>> deferred;

private:
    static velkor::TQLogicControllerPluginCallbacks* plugin_;
    std::unique_ptr<Namespaces> namespaces_;
    std::unique_ptr<PluginQueries> queries_;
    std::unique_ptr<CimService> service_;
};

velkor::TQLogicControllerPluginCallbacks* CimServiceTest::plugin_ = nullptr;

// Names in any letter case, and which answers need the query thread; what
// each operation answers for every instance, wbemcli's end-to-end test
// compares with the JSON report.
TEST_F(CimServiceTest, AnswersEachOperationFromTheSchemaOrThePlugIn) {
    const std::size_t elements = Instances({kFc + "FirmwareElement", kFc + "BIOSElement", "ORNSG_QLogicIScsiFirmwareElement",
                                            "ORNSG_QLogicIScsiBIOSElement"});
    const std::string link = ClassParam("ClassName", kFc + "ControllerFirmware") + Param("LocalOnly", "<VALUE>false</VALUE>");
    const struct {
        const char* method;
        std::string params;
        std::string part;    // the element that the answer repeats
        std::size_t count;   // that often
        bool queried;        // the answer needed the query thread
    } rows[] = {
        {"EnumerateClassNames", "", "<CLASSNAME ", 12, false},
        {"EnumerateClassNames", ClassParam("ClassName", "cim_softwareelement"), "<CLASSNAME ", 4, false},
        {"EnumerateClasses", Param("DeepInheritance", "<VALUE>TRUE</VALUE>"), "<QUALIFIER NAME=\"Association\"", 4, false},
        {"GetClass", ClassParam("ClassName", kController) + Param("LocalOnly", "<VALUE>false</VALUE>"),
         "<QUALIFIER NAME=\"Key\"", 4, false},
        {"GetClass", ClassParam("ClassName", "NoSuchClass"), "<ERROR CODE=\"6\"", 1, false},
        {"GetClass", link, "<CLASS NAME=\"" + kFc + "ControllerFirmware\" SUPERCLASS=\"CIM_DeviceSoftware\"><QUALIFIER "
         "NAME=\"Association\" TYPE=\"boolean\"><VALUE>TRUE</VALUE></QUALIFIER>", 1, false},
        {"GetClass", link, "REFERENCECLASS=\"" + kFc + "FirmwareElement\"><QUALIFIER NAME=\"Key\"", 1, false},
        {"EnumerateInstanceNames", ClassParam("ClassName", "CIM_SoftwareElement"), "<INSTANCENAME ", elements, true},
        {"AssociatorNames", Param("ObjectName", kFirstController), "<OBJECTPATH>", 2, true},
        {"ReferenceNames", Param("ObjectName", kFirstController) + Param("Role", "<VALUE>dependent</VALUE>"),
         "<OBJECTPATH>", 2, true},
        {"References", Param("ObjectName", kFirstController) + Param("Role", "<VALUE>Antecedent</VALUE>"),
         "<VALUE.OBJECTWITHPATH>", 0, true},
        {"AssociatorNames", Param("ObjectName", kFirstFirmware), "<INSTANCENAME CLASSNAME=\"" + kController + "\">", 1,
         true},
        {"References", ClassParam("ObjectName", kFc + "BIOSElement"), "<CLASS NAME=\"" + kFc + "ControllerBIOS\"", 1, false},
    };
    for (const auto& row : rows) {
        const int before = jobs;
        const std::string body = Body(row.method, row.params);
        EXPECT_EQ(Count(body, row.part), row.count) << row.method << " " << row.params << "\n" << body;
        EXPECT_EQ(jobs - before, row.queried ? 1 : 0) << row.method << " " << row.params;
        EXPECT_NE(body.find("</IMETHODRESPONSE></SIMPLERSP></MESSAGE></CIM>"), std::string::npos) << body;
    }
}

TEST_F(CimServiceTest, RefusesWhatIsNotACimCallOverHttp) {
    const struct {
        const char* what;
        std::function<void(HttpRequest&)> change;
        int status;
        const char* cimError;
    } rows[] = {
        {"another path", [](HttpRequest& r) { r.target = "/other"; }, 404, ""},
        {"another method", [](HttpRequest& r) { r.method = "PUT"; }, 405, ""},
        {"no CIMOperation", [](HttpRequest& r) { r.headers.erase(r.headers.begin() + 1); }, 400, "unsupported-operation"},
        {"protocol version 1.4", [](HttpRequest& r) { r.headers.emplace_back("CIMProtocolVersion", "1.4"); }, 200, ""},
        {"another CIMObject", [](HttpRequest& r) { r.headers[3].second = "root%2Fother"; }, 400, "header-mismatch"},
    };
    for (const auto& row : rows) {
        HttpRequest request = Request("EnumerateClassNames", "");
        row.change(request);
        const HttpAnswer answer = Send(std::move(request))->answer;
        EXPECT_EQ(answer.status, row.status) << row.what;
        std::string cimError;
        for (const auto& header : answer.headers) cimError += header.first == "CIMError" ? header.second : "";
        EXPECT_EQ(cimError, row.cimError) << row.what;
    }
    // Without a CIMObject header, the body's namespace in any letter case.
    HttpRequest request = Request("EnumerateClassNames", "", "ROOT/ORNSG");
    request.headers.pop_back();
    EXPECT_NE(Send(std::move(request))->answer.body.find("<IRETURNVALUE>"), std::string::npos);
}

// Associators queries the links, then their far ends: with a refresh period
// of 0 both queries of one request still see one collection.
TEST_F(CimServiceTest, OneRequestSeesOneCollection) {
    Start(0);
    for (int request = 1; request <= 3; ++request) {
        const std::string body = Body("Associators", Param("ObjectName", kFirstController));
        EXPECT_EQ(Count(body, "<VALUE.OBJECTWITHPATH>"), 2u) << body;
        EXPECT_EQ(shutdowns, request - 1);
    }
}

// A long answer is streamed once it outgrows its head; a query that fails
// after that ends the body early, with its status in the trailer.
TEST_F(CimServiceTest, StreamsLongAnswersAndEndsLateFailuresInTheTrailer) {
    for (const int instances : {2, 40}) {
        for (const bool fails : {false, true}) {
            fake = [&](const std::vector<std::string>&, QueryObserver& observer) {
                for (int i = 0; i < instances; ++i) {
                    observer.Committed({kFc + "RawData", kNs + ":" + kFc + "RawData", {{"Command", std::string(999, 'x')}}});
                }
                QueryError error{1, "tool\nfailed"};
                observer.Ended(fails ? &error : nullptr);
            };
            const auto sink = Send(Request("EnumerateInstances", ClassParam("ClassName", kFc + "RawData")));
            const std::string& body = sink->answer.body;
            const bool streamed = instances > 16;
            EXPECT_EQ(sink->began, streamed);
            EXPECT_EQ(body.find("</CIM>") != std::string::npos, !(fails && streamed));
            EXPECT_EQ(body.find("<ERROR CODE=\"1\" DESCRIPTION=\"tool&#10;failed\"/>") != std::string::npos, fails && !streamed);
            const HeaderList failed{{"CIMStatusCode", "1"}, {"CIMStatusCodeDescription", "tool%0Afailed"}};
            EXPECT_EQ(sink->trailer, streamed && fails ? failed : HeaderList());
            EXPECT_EQ(Count(body, "<VALUE.NAMEDINSTANCE>"), fails && !streamed ? 0u : static_cast<std::size_t>(instances));
        }
    }
}

HttpRequest Scrape(const std::string& accept, const std::string& method = "GET", const std::string& target = "/metrics") {
    HttpRequest request;
    request.method = method;
    request.target = target;
    if (!accept.empty()) request.headers.emplace_back("accept", accept);
    return request;
}

TEST_F(CimServiceTest, ServesMetricsFromOneCollectionUntilItsRefresh) {
    const std::string openMetrics = "application/openmetrics-text;version=1.0.0,text/plain;version=0.0.4;q=0.5";
    Body("EnumerateClassNames", "");
    // Which series, and that each format parses, the metrics end-to-end test shows.
    const HttpAnswer plain = Send(Scrape(""))->answer;
    EXPECT_EQ(plain.headers, (HeaderList{{"Content-Type", "text/plain; version=0.0.4; charset=utf-8"}}));
    EXPECT_NE(plain.body.find("velkor_server_requests_total{operation=\"EnumerateClassNames\",code=\"200\",cim_status=\"0\"} 1"),
              std::string::npos) << plain.body;
    EXPECT_EQ(plain.body.find("# EOF"), std::string::npos);
    const HttpAnswer open = Send(Scrape(openMetrics))->answer;
    EXPECT_EQ(open.headers[0].second, "application/openmetrics-text; version=1.0.0; charset=utf-8");
    EXPECT_NE(open.body.find("velkor_server_requests_total{operation=\"metrics\",code=\"200\",cim_status=\"0\"} 1"),
              std::string::npos);
    EXPECT_EQ(jobs, 1);  // the second scrape was answered from the first collection

    EXPECT_EQ(Send(Scrape("", "POST"))->answer.headers, (HeaderList{{"Allow", "GET"}}));
    EXPECT_EQ(Send(Scrape("", "GET", "/metrics/x"))->answer.status, 404);

    // With a refresh period of 0 each scrape collects; scrapes that come
    // while a collection waits share it.
    Start(0);
    defer = true;
    const auto first = Send(Scrape(""));
    const auto second = Send(Scrape(openMetrics));
    ASSERT_EQ(deferred.size(), 1u);
    deferred.front()();
    EXPECT_EQ(Count(first->answer.body, "velkor_controller_info{"), Instances({kController}));
    EXPECT_EQ(Count(second->answer.body, "velkor_controller_info{"), Instances({kController}));
    Send(Scrape(""));
    EXPECT_EQ(deferred.size(), 2u);
}

// A query that throws fails the collection and is not kept; the next scrape collects again.
TEST_F(CimServiceTest, AnswersAScrapeWhoseQueryThrew) {
    fake = [](const std::vector<std::string>&, QueryObserver&) { throw std::runtime_error("the tools are gone"); };
    const std::string failed = Send(Scrape(""))->answer.body;
    EXPECT_NE(failed.find("velkor_collect_success 0"), std::string::npos) << failed;
    fake = nullptr;
    EXPECT_EQ(Count(Send(Scrape(""))->answer.body, "velkor_controller_info{"), Instances({kController}));
}

}  // namespace
