// The status texts that failure messages start with, and the assertion hook.
#include "TestSupport.h"

#include <boost/assert.hpp>
#include <boost/shared_ptr.hpp>

namespace {

using NORNSYV20::TSYVException;
using NORNSYV20::TSYVStatusCode;
using syvtest::ExpectStatus;

TEST(Exception, WhatIsTheStatusTextThenTheDetail) {
    EXPECT_STREQ(TSYVException{TSYVStatusCode(2)}.what(), "The requested class is not served by this provider");
    const TSYVException detailed(TSYVStatusCode(6), "qlogic//scli.exe: no such file");
    EXPECT_STREQ(detailed.what(), "The program could not be started: qlogic//scli.exe: no such file");
    EXPECT_EQ(detailed.GetStatusCode().GetCode(), 6u);
    // A code past the table still has a text.
    EXPECT_EQ(TSYVStatusCode(4294967295u).TranslateStatusCode(), "Unknown status code 4294967295");
}

TEST(AssertionHook, ThrowsInsteadOfAborting) {
    boost::shared_ptr<NORNSYV20::ICIMClass> empty;
    ExpectStatus([&] { empty->GetName(NORNSYV20::TCIMValueMap()); }, TSYVStatusCode::kAssertionFailed, "px != 0");
    ExpectStatus([] { boost::assertion_failed_msg("n > 0", "need one", "f()", "a.cpp", 42); },
                 TSYVStatusCode::kAssertionFailed, "n > 0 (need one) at a.cpp:42 in f()");
}

}  // namespace
