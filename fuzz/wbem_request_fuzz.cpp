// One HTTP request to the WBEM server, as bytes, answered by the server's own
// HTTP reading and request handling over the plug-in in this process (the
// tools print the default transcripts). What a client relies on: every
// request gets one of the server's answers, and every answer of 200 is a
// well-formed CIM-XML response.
#include "FuzzCheck.h"

#include "plugin/Constants.h"
#include "plugin/ServedClasses.h"
#include "plugin/TQLogicControllerPluginCallbacks.h"
#include "syvcore/StandinHost.h"
#include "wbem/CimService.h"
#include "wbem/HttpServer.h"
#include "wbem/InteropNamespace.h"

#include <boost/make_shared.hpp>
#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    FUZZ_CHECK_WHY(in, path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

velkor::TQLogicControllerPluginCallbacks* g_plugin = nullptr;
syv::wbem::Application* g_application = nullptr;

}  // namespace

// The server as syvhost builds it, its query thread the calling one.
extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    using namespace syv::wbem;
    syv::StandinHost::LoadSchema(VELKOR_SCHEMA_DIR);
    syv::StandinHost::SetLogLevel(0);
    static const std::string scli = ReadFile(VELKOR_TRANSCRIPTS_DIR "/scli.txt");
    static const std::string iscli = ReadFile(VELKOR_TRANSCRIPTS_DIR "/iscli.txt");
    syv::StandinHost::SetInProcessTool([](const std::string& path, const std::vector<std::string>&) {
        return path.find("iscli") != std::string::npos ? iscli : scli;
    });
    syv::StandinHost::ClearRegisteredPlugins();
    g_plugin = new velkor::TQLogicControllerPluginCallbacks();  // registers itself for the whole run
    static PluginQueries queries([](const std::vector<std::string>& classes,
                                    syv::QueryObserver& observer) { syv::StandinHost::RunQuery(classes, observer); },
                                 []() { g_plugin->Shutdown(); }, -1, LogFunction());
    auto collected = std::make_unique<PluginNamespace>(SchemaView("root/ornsg", syv::StandinHost::GetSchema()), queries);
    static Namespaces namespaces;
    namespaces.Add(std::make_unique<InteropNamespace>(
                       SchemaView(kInteropNamespace,
                                  boost::make_shared<const syv::Schema>(syv::LoadSchemaFolder(VELKOR_SCHEMA_DIR "/interop"))),
                       ServerIdentity{"fuzz", "1.0", false, {kInteropNamespace, "root/ornsg"}, "root/ornsg",
                                      {velkor::kFibreChannelControllerClass, velkor::kIScsiControllerClass}},
                       *collected),
                   {"interop"});
    namespaces.Add(std::move(collected));
    CimServiceSettings settings;
    settings.runOnQueryThread = [](std::function<void()> job) { job(); };
    settings.metricsClasses = velkor::ServedClasses();
    g_application = new CimService(namespaces, queries, settings);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const syv::wbem::HttpAnswer answer = syv::wbem::AnswerBytes(std::string(reinterpret_cast<const char*>(data), size),
                                                                syv::wbem::ServerLimits(), {}, *g_application);
    static const std::set<int> statuses{200, 400, 404, 405, 413, 431, 501};
    FUZZ_CHECK_WHY(statuses.count(answer.status) == 1, std::to_string(answer.status));
    if (answer.status != 200) {
        FUZZ_CHECK(answer.body.empty());
        return 0;
    }
    if (answer.headers.empty() || answer.headers.front().second.compare(0, 15, "application/xml") != 0) {
        return 0;  // the metrics, read by their own tests
    }
    boost::property_tree::ptree document;
    std::istringstream stream(answer.body);
    try {
        boost::property_tree::read_xml(stream, document);
    } catch (const boost::property_tree::xml_parser_error& error) {
        FUZZ_CHECK_WHY(false, std::string(error.what()) + ": " + answer.body.substr(0, 300));
    }
    const auto simple = document.get_child_optional("CIM.MESSAGE.SIMPLERSP");
    FUZZ_CHECK_WHY(simple && simple->size() == 1, answer.body.substr(0, 300));
    return 0;
}
