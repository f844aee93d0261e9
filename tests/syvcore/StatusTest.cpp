#include "TestSupport.h"

#include <boost/assert.hpp>
#include <boost/shared_ptr.hpp>

namespace {

using NORNSYV20::TSYVException;
using NORNSYV20::TSYVStatusCode;
using syvtest::ExpectStatus;

TEST(StatusCode, EveryUsedCodeHasItsText) {
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0, "The operation completed successfully"},
        {1, "The operation failed"},
        {2, "The requested class is not served by this provider"},
        {3, "The value does not hold the requested type"},
        {4, "The instance has already been committed"},
        {5, "A host assertion failed"},
        {6, "The program could not be started"},
        {7, "The program terminated abnormally"},
        {8, "The program did not finish within its timeout"},
        {9, "The program's output exceeded the size limit"},
        {10, "The class is not defined in the namespace"},
        {11, "The property is not defined in the class"},
        {12, "The plug-in could not be registered"},
        {13, "No query is running"},
        {14, "The class schema could not be read"},
        {15, "Unknown status code 15"},
        {4294967295u, "Unknown status code 4294967295"},
    };
    for (const auto& c : cases) EXPECT_EQ(TSYVStatusCode(c.first).TranslateStatusCode(), c.second);
}

TEST(Exception, WhatIsTheStatusTextThenTheDetail) {
    const TSYVException plain{TSYVStatusCode(2)};
    EXPECT_STREQ(plain.what(), "The requested class is not served by this provider");
    EXPECT_EQ(plain.GetDetail(), "");

    const TSYVException detailed(TSYVStatusCode(6), "qlogic//scli.exe: no such file");
    EXPECT_STREQ(detailed.what(), "The program could not be started: qlogic//scli.exe: no such file");
    EXPECT_EQ(detailed.GetStatusCode().GetCode(), 6u);
    EXPECT_EQ(detailed.GetDetail(), "qlogic//scli.exe: no such file");
}

TEST(AssertionHook, EmptyHandleThrowsInsteadOfAborting) {
    boost::shared_ptr<NORNSYV20::ICIMClass> empty;
    ExpectStatus([&] { empty->GetName(NORNSYV20::TCIMValueMap()); }, TSYVStatusCode::kAssertionFailed, "px != 0");
}

TEST(AssertionHook, TextNamesExpressionMessageFileAndLine) {
    ExpectStatus([] { boost::assertion_failed_msg("n > 0", "need one", "f()", "a.cpp", 42); },
                 TSYVStatusCode::kAssertionFailed, "n > 0 (need one) at a.cpp:42 in f()");
    ExpectStatus([] { boost::assertion_failed("x", "g()", "b.cpp", 7); }, TSYVStatusCode::kAssertionFailed,
                 "x at b.cpp:7 in g()");
}

}  // namespace
