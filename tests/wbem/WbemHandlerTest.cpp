// A CIM answer is held whole until it outgrows its head, then streamed as the
// query commits; a query that fails after that must not read as complete.
#include "wbem/WbemHandler.h"

#include <gtest/gtest.h>

namespace {

using namespace syv;

struct Recorded : wbem::AnswerSink {
    bool began = false;
    wbem::HttpAnswer answer;
    wbem::HeaderList trailer{{"none", ""}};
    void Whole(wbem::HttpAnswer whole) override { answer = std::move(whole); }
    void Begin(const wbem::HttpAnswer& head) override { began = true, answer = head; }
    void Part(std::string_view part) override { answer.body += part; }
    void End(const wbem::HeaderList& trailer) override { this->trailer = trailer; }
};

TEST(WbemHandler, StreamsLongAnswersAndEndsLateFailuresInTheTrailer) {
    const struct {
        int instances;
        bool fails;
    } cases[] = {{2, false}, {2, true}, {40, false}, {40, true}};  // 40 outgrow the head
    for (const auto& c : cases) {
        const wbem::WbemHandler handler({{"T", "", false, {{"N", "string", false, "", true, "T", true}}}},
                                        [&c](const std::vector<std::string>&, QueryObserver& observer) {
                                            for (int i = 0; i < c.instances; ++i) {
                                                const std::string n = std::to_string(i) + std::string(999, 'x');
                                                observer.Committed({"T", "root/ornsg:T.N=\"" + n + "\"", {{"N", n}}});
                                            }
                                            QueryError error{1, "tool\nfailed"};
                                            observer.Ended(c.fails ? &error : nullptr);
                                        });
        Recorded sink;
        handler.Handle({"POST", "/cimom", "h", "MethodCall", "EnumerateInstances", "", "", "",
                        "<CIM><MESSAGE><SIMPLEREQ><IMETHODCALL NAME=\"EnumerateInstances\"><LOCALNAMESPACEPATH><NAMESPACE "
                        "NAME=\"root\"/><NAMESPACE NAME=\"ornsg\"/></LOCALNAMESPACEPATH><IPARAMVALUE NAME=\"ClassName\">"
                        "<CLASSNAME NAME=\"T\"/></IPARAMVALUE></IMETHODCALL></SIMPLEREQ></MESSAGE></CIM>"},
                       sink, 16 * 1024);
        const std::string& body = sink.answer.body;
        const bool streamed = c.instances > 16;
        EXPECT_EQ(sink.began, streamed);
        EXPECT_EQ(body.size() > 7 && body.compare(body.size() - 7, 7, "</CIM>\n") == 0, !(c.fails && streamed));
        EXPECT_EQ(body.find("<ERROR CODE=\"1\" DESCRIPTION=\"tool&#10;failed\"/>") != std::string::npos,
                  c.fails && !streamed);
        const wbem::HeaderList none{{"none", ""}}, failed{{"CIMStatusCode", "1"}, {"CIMStatusCodeDescription", "tool%0Afailed"}};
        EXPECT_EQ(sink.trailer, !streamed ? none : c.fails ? failed : wbem::HeaderList());
        EXPECT_EQ(body.find("KEYVALUE VALUETYPE=\"string\">" + std::to_string(c.instances - 1)) != std::string::npos,
                  !(c.fails && !streamed));
    }
}

}  // namespace
