// A CIM answer is held whole until it outgrows its head, then streamed as the
// query commits; a query that fails after that must not read as complete.
#include "wbem/WbemHandler.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace syv;
using namespace syv::wbem;

struct Recorded : AnswerSink {
    bool began = false;
    HttpAnswer answer;
    HeaderList trailer;
    void Whole(HttpAnswer whole) override { answer = std::move(whole); }
    void Begin(const HttpAnswer& head) override { began = true, answer = head; }
    void Part(std::string_view part) override { answer.body += part; }
    void End(const HeaderList& fields) override { trailer = fields; }
};

TEST(WbemHandler, StreamsLongAnswersAndEndsLateFailuresInTheTrailer) {
    const struct {
        int instances;
        bool fails;
        bool streamed;
    } cases[] = {{2, false, false}, {2, true, false}, {40, false, true}, {40, true, true}};
    for (const auto& c : cases) {
        const SchemaClass item{"T_Item", "", false, {{"Name", "string", false, "", true, "T_Item", true}}};
        const WbemHandler handler({item}, [&c](const std::vector<std::string>&, QueryObserver& observer) {
            for (int i = 0; i < c.instances; ++i) {
                const std::string name = std::to_string(i) + std::string(1000, 'x');
                observer.Committed({"T_Item", "root/ornsg:T_Item.Name=\"" + name + "\"", {{"Name", name}}});
            }
            QueryError error{1, "the tool\r\nfailed"};
            observer.Ended(c.fails ? &error : nullptr);
        });
        HttpRequestView request{"POST", "/cimom", "h", "MethodCall", "EnumerateInstances", "", "", "",
                                "<CIM><MESSAGE ID=\"7\"><SIMPLEREQ><IMETHODCALL NAME=\"EnumerateInstances\"><LOCALNAMESPACEPATH>"
                                "<NAMESPACE NAME=\"root\"/><NAMESPACE NAME=\"ornsg\"/></LOCALNAMESPACEPATH><IPARAMVALUE "
                                "NAME=\"ClassName\"><CLASSNAME NAME=\"T_Item\"/></IPARAMVALUE></IMETHODCALL></SIMPLEREQ>"
                                "</MESSAGE></CIM>"};
        Recorded sink;
        handler.Handle(request, sink, 16 * 1024);
        const std::string& body = sink.answer.body;
        const bool complete = body.size() > 7 && body.compare(body.size() - 7, 7, "</CIM>\n") == 0;
        EXPECT_EQ(sink.began, c.streamed) << c.instances;
        EXPECT_EQ(complete, !(c.fails && c.streamed)) << c.instances;
        EXPECT_EQ(body.find("<ERROR CODE=\"1\" DESCRIPTION=\"the tool&#13;&#10;failed\"/>") != std::string::npos,
                  c.fails && !c.streamed);
        const HeaderList failed{{"CIMStatusCode", "1"}, {"CIMStatusCodeDescription", "the tool%0D%0Afailed"}};
        EXPECT_EQ(sink.trailer, c.fails && c.streamed ? failed : HeaderList()) << c.instances;
        std::size_t committed = 0;
        for (std::size_t at = body.find("<VALUE.NAMEDINSTANCE>"); at != std::string::npos;
             at = body.find("<VALUE.NAMEDINSTANCE>", at + 1)) {
            ++committed;
        }
        EXPECT_EQ(committed, c.fails && !c.streamed ? 0u : static_cast<std::size_t>(c.instances)) << c.instances;
    }
}

}  // namespace
