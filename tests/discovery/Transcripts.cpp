#include "Transcripts.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace velkor::test {

std::string TranscriptPath(const std::string& name) {
    return std::string(VELKOR_TRANSCRIPTS_DIR) + "/" + name;
}

std::string ReadTranscript(const std::string& name) { return testsupport::ReadFile(TranscriptPath(name)); }

std::vector<std::string> TranscriptNames(const std::string& prefix) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(VELKOR_TRANSCRIPTS_DIR)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name.compare(0, prefix.size(), prefix) == 0) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::size_t CountOccurrences(const std::string& text, const std::string& marker) {
    std::size_t count = 0;
    for (std::size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + marker.size())) {
        ++count;
    }
    return count;
}

}  // namespace velkor::test
