#include "Transcripts.h"

#include "TestEnvironment.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace velkor::test {

std::string ReadTranscript(const std::string& name) {
    return testsupport::ReadFile(std::string(VELKOR_TRANSCRIPTS_DIR) + "/" + name);
}

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

std::string TestNameOf(const std::string& transcript) {
    std::string name;
    for (const char c : transcript.substr(0, transcript.find('.'))) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}

}  // namespace velkor::test
