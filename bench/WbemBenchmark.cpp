// What a hostile request costs the server before it is refused: the worst
// 1 MiB bodies for the request reader, each answered 400.
#include "wbem/CimRequestReader.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string Fill(const std::string& head, const std::string& unit, const std::string& tail) {
    std::string body = head;
    while (body.size() + unit.size() + tail.size() <= 1024 * 1024) body += unit;
    return body + tail;
}

std::string Body(int shape) {
    switch (shape) {
    case 0: return Fill("", "<a><!--</-->", "");                          // nesting that hides closing tags
    case 1: return Fill("<a>", "<b/>", "</a>");                           // too many elements
    case 2: return Fill("<a x=\"", "y", "\"/>");                          // an attribute value too long
    case 3: return Fill("<a>", "&#65;", "</a>");                          // character references past the text limit
    default: return Fill("<!DOCTYPE a [", "<!ENTITY e \"x\">", "]><a/>");  // declarations
    }
}

void BM_RefuseHostileRequest(benchmark::State& state) {
    const std::string body = Body(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const auto read = syv::wbem::ReadCimRequest(body);
        if (!std::holds_alternative<syv::wbem::Refusal>(read)) state.SkipWithError("the request was not refused");
        benchmark::DoNotOptimize(read);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(body.size()));
}
BENCHMARK(BM_RefuseHostileRequest)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

}  // namespace
