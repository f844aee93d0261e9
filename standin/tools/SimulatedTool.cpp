// A stand-in for an adapter management tool: "-z" prints a recorded
// transcript byte for byte. Environment knobs (PREFIX is the tool's own,
// SCLI or ISCLI) select the transcript and simulate faults:
//   PREFIX_TRANSCRIPT   the transcript file (default: NAME.txt beside the tool)
//   PREFIX_EXIT_CODE    exit code after printing (default 0)
//   PREFIX_DELAY_MS     wait before printing
//   PREFIX_CRASH=1      print half the transcript, then crash
//   PREFIX_CRASH_ONCE   a file path: crash like PREFIX_CRASH if the file does
//                       not exist yet, creating it first; else run normally
#include "ToolPlatform.h"

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#ifndef VELKOR_TOOL_NAME
#error "VELKOR_TOOL_NAME must name the tool"
#endif
#ifndef VELKOR_TOOL_ENV_PREFIX
#error "VELKOR_TOOL_ENV_PREFIX must give the tool's environment prefix"
#endif

namespace {

const char* const kToolName = VELKOR_TOOL_NAME;
const std::string kPrefix = VELKOR_TOOL_ENV_PREFIX;

const int kUsageError = 1;
const int kSetupError = 2;

std::string Knob(const char* name) { return velkor::tools::EnvironmentValue(kPrefix + "_" + name); }

// Paths are UTF-8 text; the system's own form may be wide text.
std::filesystem::path SystemPath(const std::string& path) { return std::filesystem::u8path(path); }

// The knob as a non-negative number; false (with a message) when it is set
// but not one.
bool NumberKnob(const char* name, long& number) {
    const std::string text = Knob(name);
    number = 0;
    if (text.empty()) {
        return true;
    }
    char* end = nullptr;
    number = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || number < 0 || number > INT_MAX) {
        std::fprintf(stderr, "%s: %s_%s is not a non-negative number: %s\n", kToolName, kPrefix.c_str(), name,
                     text.c_str());
        return false;
    }
    return true;
}

bool FileExists(const std::string& path) { return std::ifstream(SystemPath(path), std::ios::binary).good(); }

bool ShouldCrash() {
    if (Knob("CRASH") == "1") {
        return true;
    }
    const std::string marker = Knob("CRASH_ONCE");
    if (marker.empty() || FileExists(marker)) {
        return false;
    }
    std::ofstream(SystemPath(marker), std::ios::binary) << "crashed once\n";
    return true;
}

bool Write(const std::string& bytes, std::size_t count) {
    return std::fwrite(bytes.data(), 1, count, stdout) == count && std::fflush(stdout) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "-z") != 0) {
        std::fprintf(stderr,
                     "usage: %s -z\n"
                     "  -z  print the information of every adapter\n",
                     kToolName);
        return kUsageError;
    }
    long exitCode = 0;
    long delayMs = 0;
    if (!NumberKnob("EXIT_CODE", exitCode) || !NumberKnob("DELAY_MS", delayMs)) {
        return kSetupError;
    }

    std::string path = Knob("TRANSCRIPT");
    if (path.empty()) {
        path = velkor::tools::ExecutableFolder() + "/" + kToolName + ".txt";
    }
    std::ifstream in(SystemPath(path), std::ios::binary);
    if (!in.is_open()) {
        std::fprintf(stderr, "%s: cannot read the transcript %s\n", kToolName, path.c_str());
        return kSetupError;
    }
    // One read: a character-wise copy takes seconds for the large transcripts
    // of the fault tests in an unoptimised build.
    std::ostringstream contents;
    contents << in.rdbuf();
    const std::string transcript = contents.str();

    velkor::tools::SetBinaryStandardOutput();
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    if (ShouldCrash()) {
        Write(transcript, transcript.size() / 2);
        velkor::tools::TerminateAbnormally();
    }
    if (!Write(transcript, transcript.size())) {
        std::fprintf(stderr, "%s: cannot write the transcript\n", kToolName);
        return kSetupError;
    }
    return static_cast<int>(exitCode);
}
