// What the server writes into CIM-XML: text that tools print may hold
// anything, and a client must still read a document.
#include "wbem/XmlText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(XmlText, EscapesMarkupAndShowsWhatXmlCannotCarry) {
    const struct { std::string text; std::string escaped; } cases[] = {
        {"a<b>&\"c'", "a&lt;b&gt;&amp;&quot;c&apos;"},
        {"line\r\nnext\tcol", "line&#13;&#10;next&#9;col"},
        {std::string("nul\0bell\x07", 9), "nul\\x00bell\\x07"},
        {"\x01<\\x01", "\\x01&lt;\\\\x01"},  // a control character and its shown text stay distinct
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"\xC3", "\\xC3"},                          // cut short at the end: shown as the reports show it
        {"\xC0\xAF", "\\xC0\\xAF"},                // overlong '/'
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},      // a surrogate
        {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},  // past U+10FFFF
        {"a\\xb\xFF", "a\\\\xb\\xFF"},            // a literal backslash-x beside such a byte
        {"\xEF\xBF\xBE\xEF\xBF\xBD", "\\xEF\\xBF\\xBE\xEF\xBF\xBD"},  // U+FFFE is no XML character
    };
    for (const auto& c : cases) {
        std::string out;
        syv::wbem::AppendEscaped(out, c.text);
        EXPECT_EQ(out, c.escaped) << c.text;
    }
}

}  // namespace
