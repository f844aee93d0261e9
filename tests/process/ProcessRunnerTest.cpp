// The process runner on its own: what reaches the program, what comes back,
// and how each kind of failure ends.
#include "ProcessRunner.h"

#include "HelperProtocol.h"
#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace syv {
namespace detail {
namespace {

using testing::HasSubstr;

const ProcessLimits kGenerous{std::chrono::milliseconds(60000), 64ull << 20};

ProcessResult RunHelper(const std::vector<std::string>& arguments, const ProcessLimits& limits = kGenerous) {
    return RunProcess(testsupport::HelperPath(), arguments, limits);
}

ProcessError FailureOf(const std::string& program, const std::vector<std::string>& arguments,
                       const ProcessLimits& limits = kGenerous) {
    try {
        RunProcess(program, arguments, limits);
    } catch (const ProcessError& error) {
        return error;
    }
    ADD_FAILURE() << program << " did not fail";
    return ProcessError(ProcessFailure::kNotStarted, "did not fail");
}

std::filesystem::path TempFile(const std::string& name) {
    return std::filesystem::temp_directory_path() /
           (name + "-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
}

TEST(RunProcess, ArgumentsArriveVerbatim) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"plain", "with space", "  leading and trailing  "},
        {""},
        {"", "between empties", ""},
        {"quote\"inside", "\"quoted\"", "\"", "\"\""},
        {"back\\slash", "trailing\\", "trailing two\\\\", "\\\\server\\share\\"},
        {"backslash before quote\\\"x", "two\\\\\"y", "with space\\"},
        {"tab\there", "line1\nline2", "cr\rlf"},
        {"$HOME", "%PATH%", "*.txt", "a;b|c&d>e<f", "`id`", "$(id)", "^caret"},
        {"\xc3\xbc\x6e\xc3\xaf\x63\xc3\xb8\x64\xc3\xa9 \xe2\x82\xac", "\xf0\x9f\x98\x80 astral"},
    };
    for (const std::vector<std::string>& arguments : cases) {
        std::vector<std::string> all{helper::kArgs};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::string expected;
        for (const std::string& argument : arguments) {
            expected += argument + '\0';
        }
        const ProcessResult result = RunHelper(all);
        EXPECT_EQ(result.standardOutput, expected) << "arguments: " << testing::PrintToString(arguments);
        EXPECT_EQ(result.standardError, "");
        EXPECT_EQ(result.exitCode, 0);
    }
}

TEST(RunProcess, OutputComesBackByteForByte) {
    const ProcessResult result = RunHelper({helper::kBlob});
    EXPECT_EQ(result.standardOutput, helper::Blob());
    EXPECT_EQ(result.exitCode, 0);
}

TEST(RunProcess, LargeOutputOnBothStreamsArrivesWhole) {
    // Both streams are far larger than a pipe's buffer: a reader that drains
    // one stream only would deadlock here.
    const std::size_t outSize = 5u << 20;
    const std::size_t errSize = 1u << 20;
    const ProcessResult result =
        RunHelper({helper::kBytes, std::to_string(outSize), std::to_string(errSize)});
    ASSERT_EQ(result.standardOutput.size(), outSize);
    ASSERT_EQ(result.standardError.size(), errSize);
    EXPECT_TRUE(result.standardOutput == helper::Pattern(outSize));
    EXPECT_TRUE(result.standardError == helper::Pattern(errSize));
}

TEST(RunProcess, AnyExitCodeReturnsTheOutput) {
    for (const int code : {0, 1, 2, 77, 255}) {
        const ProcessResult result = RunHelper({helper::kExit, std::to_string(code)});
        EXPECT_EQ(result.exitCode, code);
        EXPECT_EQ(result.standardOutput, helper::kExitOutput);
    }
}

TEST(RunProcess, StandardInputIsEmpty) {
    EXPECT_EQ(RunHelper({helper::kStdin}).standardOutput, "0");
}

TEST(RunProcess, OutputUpToTheLimitIsAccepted) {
    const ProcessLimits limits{std::chrono::milliseconds(60000), 1000};
    EXPECT_EQ(RunHelper({helper::kBytes, "600", "400"}, limits).standardOutput.size(), 600u);
    const ProcessError error = FailureOf(testsupport::HelperPath(), {helper::kBytes, "600", "401"}, limits);
    EXPECT_EQ(error.GetFailure(), ProcessFailure::kOutputTooLarge);
}

TEST(RunProcess, EndlessOutputIsKilled) {
    const ProcessLimits limits{std::chrono::milliseconds(60000), 100000};
    for (const char* stream : {"out", "err"}) {
        const ProcessError error = FailureOf(testsupport::HelperPath(), {helper::kFlood, stream}, limits);
        EXPECT_EQ(error.GetFailure(), ProcessFailure::kOutputTooLarge) << stream;
        EXPECT_THAT(error.what(), HasSubstr("more than 100000 bytes of output; killed")) << stream;
    }
}

TEST(RunProcess, CrashIsAFailure) {
    const ProcessError error = FailureOf(testsupport::HelperPath(), {helper::kCrash});
    EXPECT_EQ(error.GetFailure(), ProcessFailure::kCrashed);
#if defined(_WIN32)
    EXPECT_STREQ(error.what(), "exit status 0xC0000005");
#else
    EXPECT_STREQ(error.what(), "killed by signal 11 (Segmentation fault)");
#endif
}

// The program and the process it started both outlive the limit; whether the
// program itself is still there or has left its child holding the output,
// both are killed and the call returns.
TEST(RunProcess, TimeoutKillsTheProgramAndWhatItStarted) {
    struct Case {
        const char* parentSleepMs;
        const char* expectedText;
    };
    const Case cases[] = {
        {"60000", "still running after 1 s; killed"},
        {"0", "output still open (held by a process it started) after 1 s; killed"},
    };
    for (const Case& c : cases) {
        const std::filesystem::path pidFile = TempFile("velkor-tree");
        const auto start = std::chrono::steady_clock::now();
        const ProcessError error =
            FailureOf(testsupport::HelperPath(), {helper::kTree, pidFile.string(), c.parentSleepMs},
                      ProcessLimits{std::chrono::milliseconds(1000), 1u << 20});
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(error.GetFailure(), ProcessFailure::kTimedOut);
        EXPECT_THAT(error.what(), HasSubstr(c.expectedText));
        EXPECT_LT(elapsed, std::chrono::seconds(30));  // a hang guard only

        int parent = 0;
        int child = 0;
        std::ifstream(pidFile) >> parent >> child;
        std::filesystem::remove(pidFile);
        ASSERT_GT(parent, 0);
        ASSERT_GT(child, 0);
        EXPECT_TRUE(testsupport::GoneWithin(parent, std::chrono::seconds(10))) << "parent " << parent;
        EXPECT_TRUE(testsupport::GoneWithin(child, std::chrono::seconds(10))) << "child " << child;
    }
}

// Closing the output is not finishing: the limit still holds.
TEST(RunProcess, ProgramThatClosesItsOutputStillTimesOut) {
    const ProcessError error = FailureOf(testsupport::HelperPath(), {helper::kQuietSleep, "60000"},
                                         ProcessLimits{std::chrono::milliseconds(500), 1u << 20});
    EXPECT_EQ(error.GetFailure(), ProcessFailure::kTimedOut);
    EXPECT_THAT(error.what(), HasSubstr("still running after 0.5 s; killed"));
}

TEST(RunProcess, ProgramsThatCannotStart) {
    const std::filesystem::path folder = TempFile("velkor-notstarted");
    std::filesystem::create_directories(folder);
    const std::filesystem::path textFile = folder / "plain.txt";
    std::ofstream(textFile) << "not a program\n";

    struct Case {
        std::string program;
        std::vector<std::string> arguments;
        std::string expectedText;  // empty: any text
    };
    const std::vector<Case> cases = {
        {(folder / ("missing" + std::string(testsupport::kExeSuffix))).string(), {}, "no such file"},
        {(folder / "missing-folder" / "tool").string(), {}, "no such file"},
        {folder.string(), {}, ""},
        {textFile.string(), {}, ""},
        {"", {}, "empty program path"},
        {std::string("nul\0byte", 8), {}, "the program path contains a NUL byte"},
        {testsupport::HelperPath(), {"args", std::string("a\0b", 3)}, "argument 2 contains a NUL byte"},
    };
    for (const Case& c : cases) {
        const ProcessError error = FailureOf(c.program, c.arguments);
        EXPECT_EQ(error.GetFailure(), ProcessFailure::kNotStarted) << c.program;
        if (!c.expectedText.empty()) {
            EXPECT_STREQ(error.what(), c.expectedText.c_str()) << c.program;
        }
    }
    std::filesystem::remove_all(folder);
}

#if !defined(_WIN32)
TEST(RunProcess, HostDescriptorsDoNotLeakIntoThePrograms) {
    // Opened without close-on-exec, as a careless library would.
    const int leaky = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaky, 0);
    const ProcessResult result = RunHelper({helper::kDescriptors});
    ::close(leaky);
    EXPECT_EQ(result.standardOutput, "");
}
#endif

TEST(ResolveProgramPath, RelativePathsGoBelowTheToolsFolder) {
    struct Case {
        const char* folder;
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"/opt/tools", "qlogic//scli.exe", "/opt/tools/qlogic//scli.exe"},
        {"/opt/tools", "scli", "/opt/tools/scli"},
        {"/opt/tools", "./scli", "/opt/tools/./scli"},
        {"/opt/tools", "../x", "/opt/tools/../x"},
#if defined(_WIN32)
        {"C:\\tools", "qlogic//scli.exe", "C:\\tools/qlogic//scli.exe"},
        {"C:\\tools", "C:\\abs\\scli.exe", "C:\\abs\\scli.exe"},
        {"C:\\tools", "d:/abs/scli.exe", "d:/abs/scli.exe"},
        {"C:\\tools", "\\\\server\\share\\scli.exe", "\\\\server\\share\\scli.exe"},
        {"C:\\tools", "//server/share/scli.exe", "//server/share/scli.exe"},
        {"C:\\tools", "\\rooted\\scli.exe", "C:\\tools/\\rooted\\scli.exe"},
        {"C:\\tools", "C:scli.exe", "C:\\tools/C:scli.exe"},
#else
        {"/opt/tools", "/usr/bin/scli", "/usr/bin/scli"},
        {"", "/usr/bin/scli", "/usr/bin/scli"},
        {"/opt/tools", "C:\\scli.exe", "/opt/tools/C:\\scli.exe"},
#endif
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResolveProgramPath(c.folder, c.path), c.expected) << c.folder << " + " << c.path;
    }
}

TEST(ResolveProgramPath, RefusesWhatWouldDependOnTheWorkingDirectory) {
    for (const auto& input : {std::make_pair("/opt/tools", ""), std::make_pair("", "scli")}) {
        try {
            ResolveProgramPath(input.first, input.second);
            ADD_FAILURE() << "resolved " << input.second;
        } catch (const ProcessError& error) {
            EXPECT_EQ(error.GetFailure(), ProcessFailure::kNotStarted);
        }
    }
}

TEST(DescribeSeconds, WholeAndFractionalSeconds) {
    EXPECT_EQ(DescribeSeconds(std::chrono::milliseconds(1000)), "1 s");
    EXPECT_EQ(DescribeSeconds(std::chrono::milliseconds(300000)), "300 s");
    EXPECT_EQ(DescribeSeconds(std::chrono::milliseconds(500)), "0.5 s");
    EXPECT_EQ(DescribeSeconds(std::chrono::milliseconds(1250)), "1.25 s");
    EXPECT_EQ(DescribeSeconds(std::chrono::milliseconds(7)), "0.007 s");
}

}  // namespace
}  // namespace detail
}  // namespace syv
