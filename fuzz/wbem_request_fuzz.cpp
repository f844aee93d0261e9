// One HTTP request to the WBEM server, as bytes, answered by the server's own
// HTTP reading and request handling over the plug-in in this process (the
// tools print the default transcripts). What a client relies on: every
// request gets one of the server's answers, and every answer of 200 is a
// well-formed CIM-XML response.
#include "FuzzCheck.h"

#include "plugin/TQLogicControllerPluginCallbacks.h"
#include "syvcore/StandinHost.h"
#include "wbem/HttpServer.h"
#include "wbem/WbemHandler.h"

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    FUZZ_CHECK_WHY(in, path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const syv::wbem::WbemHandler* g_handler = nullptr;
velkor::TQLogicControllerPluginCallbacks* g_plugin = nullptr;

// The handler answering in the calling thread.
class HandlerApplication : public syv::wbem::Application {
public:
    void Handle(syv::wbem::HttpRequest request, std::shared_ptr<syv::wbem::AnswerSink> sink) override {
        g_handler->Handle(syv::wbem::ViewOf(request), *sink);
    }
    void Stop() override {}
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    syv::StandinHost::LoadSchema(VELKOR_SCHEMA_DIR);
    syv::StandinHost::SetLogLevel(0);
    static const std::string scli = ReadFile(VELKOR_TRANSCRIPTS_DIR "/scli.txt");
    static const std::string iscli = ReadFile(VELKOR_TRANSCRIPTS_DIR "/iscli.txt");
    syv::StandinHost::SetInProcessTool([](const std::string& path, const std::vector<std::string>&) {
        return path.find("iscli") != std::string::npos ? iscli : scli;
    });
    syv::StandinHost::ClearRegisteredPlugins();
    g_plugin = new velkor::TQLogicControllerPluginCallbacks();  // registers itself for the whole run
    g_handler = new syv::wbem::WbemHandler(syv::StandinHost::GetSchemaClasses(),
                                           [](const std::vector<std::string>& classes, syv::QueryObserver& observer) {
                                               syv::StandinHost::RunQuery(classes, observer);
                                           });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    HandlerApplication application;
    const syv::wbem::HttpAnswer answer = syv::wbem::AnswerBytes(std::string(reinterpret_cast<const char*>(data), size),
                                                                syv::wbem::ServerLimits(), {}, application);
    static const std::set<int> statuses{200, 400, 404, 405, 413, 431};
    FUZZ_CHECK_WHY(statuses.count(answer.status) == 1, std::to_string(answer.status));
    if (answer.status != 200) {
        FUZZ_CHECK(answer.body.empty());
        return 0;
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
