// Access to the recorded tool output that the parser tests are driven by.
#ifndef VELKOR_TESTS_DISCOVERY_TRANSCRIPTS_H
#define VELKOR_TESTS_DISCOVERY_TRANSCRIPTS_H

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace velkor::test {

// The transcript's bytes as recorded; throws when it cannot be read.
std::string ReadTranscript(const std::string& name);

// Names of the corpus files that begin with the prefix, sorted.
std::vector<std::string> TranscriptNames(const std::string& prefix);

// Occurrences of marker in text (markers that cannot overlap themselves).
std::size_t CountOccurrences(const std::string& text, const std::string& marker);

// A test name made of a transcript's file name: the extension dropped, every
// character but letters and digits made "_".
std::string TestNameOf(const std::string& transcript);

// Names the test of each case (a struct with a transcript member) after its
// transcript.
template <class Case>
std::string TranscriptTestName(const testing::TestParamInfo<Case>& info) {
    return TestNameOf(info.param.transcript);
}

}  // namespace velkor::test

#endif
