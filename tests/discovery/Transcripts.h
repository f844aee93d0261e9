// Access to the recorded tool output that the tests are driven by.
#ifndef VELKOR_TESTS_DISCOVERY_TRANSCRIPTS_H
#define VELKOR_TESTS_DISCOVERY_TRANSCRIPTS_H

#include <cstddef>
#include <string>
#include <vector>

namespace velkor::test {

// The path of a transcript of the corpus.
std::string TranscriptPath(const std::string& name);

// The transcript's bytes as recorded; fails the running test when it cannot
// be read.
std::string ReadTranscript(const std::string& name);

// Names of the corpus files that begin with the prefix, sorted.
std::vector<std::string> TranscriptNames(const std::string& prefix);

// Occurrences of marker in text (markers that cannot overlap themselves).
std::size_t CountOccurrences(const std::string& text, const std::string& marker);

}  // namespace velkor::test

#endif
