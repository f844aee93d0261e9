// A strict reader of syvhost's MOF reports: it accepts only comment lines and
// well-formed instance declarations, and gives back what they say, so that
// tests can compare a MOF report with the JSON report of the same run.
#ifndef VELKOR_TESTS_E2E_MOFCHECKER_H
#define VELKOR_TESTS_E2E_MOFCHECKER_H

#include <string>
#include <utility>
#include <vector>

namespace e2e {

struct MofValue {
    enum Kind { kNull, kString, kNumber, kArray };
    Kind kind = kNull;
    std::string text;               // a string's decoded bytes, a number's digits
    std::vector<MofValue> elements;  // an array's
};

struct MofInstance {
    std::string className;
    std::vector<std::pair<std::string, MofValue>> properties;  // in report order
};

struct MofDocument {
    std::vector<std::string> comments;  // the text after "// ", one per line
    std::vector<MofInstance> instances;
};

// Throws std::runtime_error naming the line and what is wrong when the text
// is not a well-formed report: unbalanced blocks, a property line that is not
// NAME = VALUE;, an unknown escape, a raw control character in a string or
// comment, or text between declarations.
MofDocument ReadMofReport(const std::string& text);

}  // namespace e2e

#endif
