// Boost's user assertion hook. A failed assertion in a plug-in (typically an
// empty host handle dereferenced: "px != 0") ends the query with a
// TSYVException instead of aborting the host process.
//
// The hooks are declared with SYV_API before any Boost header is seen, so
// that they are exported from syvcore (and visible despite the hidden default
// visibility); Boost's own later declaration then merely repeats them.
#include "host/SyvExport.h"

namespace boost {
SYV_API void assertion_failed(char const* expr, char const* function, char const* file, long line);
SYV_API void assertion_failed_msg(char const* expr, char const* msg, char const* function, char const* file,
                                  long line);
}  // namespace boost

#include "host/TSYVException.h"

#include <string>

namespace {

std::string DescribeAssertion(char const* expr, char const* msg, char const* function, char const* file,
                              long line) {
    std::string text = expr ? expr : "?";
    if (msg && *msg) {
        text += " (";
        text += msg;
        text += ")";
    }
    text += " at ";
    text += file ? file : "?";
    text += ":" + std::to_string(line);
    if (function && *function) {
        text += " in ";
        text += function;
    }
    return text;
}

}  // namespace

namespace boost {

void assertion_failed(char const* expr, char const* function, char const* file, long line) {
    throw NORNSYV20::TSYVException(NORNSYV20::TSYVStatusCode(NORNSYV20::TSYVStatusCode::kAssertionFailed),
                                   DescribeAssertion(expr, nullptr, function, file, line));
}

void assertion_failed_msg(char const* expr, char const* msg, char const* function, char const* file, long line) {
    throw NORNSYV20::TSYVException(NORNSYV20::TSYVStatusCode(NORNSYV20::TSYVStatusCode::kAssertionFailed),
                                   DescribeAssertion(expr, msg, function, file, line));
}

}  // namespace boost
