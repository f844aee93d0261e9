// Access to the recorded tool output that the parser tests are driven by.
#ifndef VELKOR_TESTS_DISCOVERY_TRANSCRIPTS_H
#define VELKOR_TESTS_DISCOVERY_TRANSCRIPTS_H

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

namespace velkor::test {

// The transcript's bytes as recorded; throws when it cannot be read.
inline std::string ReadTranscript(const std::string& name) {
    return testsupport::ReadFile(std::string(VELKOR_TRANSCRIPTS_DIR) + "/" + name);
}

// Names of the corpus files that begin with the prefix.
inline std::vector<std::string> TranscriptNames(const std::string& prefix) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(VELKOR_TRANSCRIPTS_DIR)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0) names.push_back(name);
    }
    return names;
}

// Names the test of each case (a struct with a transcript member) after its
// transcript: the extension dropped, every character but letters and digits
// made "_".
template <class Case>
std::string TranscriptTestName(const testing::TestParamInfo<Case>& info) {
    std::string name;
    for (const char c : info.param.transcript.substr(0, info.param.transcript.find('.'))) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}

}  // namespace velkor::test

#endif
