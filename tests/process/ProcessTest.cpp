// The process service as a plug-in uses it: TOSSpecific::SpawnProcess inside
// a query, with the host's tools folder and limits. Only what the end-to-end
// and fault suites cannot see from outside: arguments and bytes exactly, the
// null input, the exact limits, every process of a timed-out tree killed,
// the path rules, and each failure's status and text once.
#include "HelperProtocol.h"
#include "Platform.h"
#include "PluginLibrary.h"
#include "TestSupport.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

using NORNSYV20::TSYVStatusCode;
using syv::StandinHost;
using testing::HasSubstr;

const std::string kHelper = std::string("velkor_process_helper") + syv::kExecutableSuffix;

std::string HelperPath() { return syv::ProgramFolder() + "/" + kHelper; }

#if defined(_WIN32)
bool IsRunning(int pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    const bool running = process != nullptr && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    if (process != nullptr) CloseHandle(process);
    return running;
}
#else
// A zombie counts as gone: it runs no more, and nobody here may reap it.
bool IsRunning(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    const std::size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z' && text[close + 2] != 'X';
}
#endif

// Killing is asynchronous on some systems: the process gets time to go.
bool GoneWithin(int pid, std::chrono::seconds grace) {
    const auto end = std::chrono::steady_clock::now() + grace;
    while (IsRunning(pid)) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// The process ids that the helper's tree mode writes, once both are there
// (0 and 0 after ten seconds without).
std::pair<int, int> WaitForPids(const std::string& file) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::pair<int, int> pids{0, 0};
    while ((pids.first <= 0 || pids.second <= 0) && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        pids = {0, 0};
        std::ifstream(file) >> pids.first >> pids.second;
    }
    return pids;
}

class ProcessTest : public syvtest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        syvtest::Register(&plugin_);
        StandinHost::SetToolsFolder(syv::ProgramFolder());
        StandinHost::SetMaxToolSeconds(0);
        StandinHost::SetMaxOutputBytes(64ull << 20);
    }
    void TearDown() override {
        StandinHost::SetInProcessTool(nullptr);
        StandinHost::ResumeToolRuns();
        StandinHost::SetToolSupervisor("");
        HostTest::TearDown();
    }

    // Runs the program inside a query; its output lands in `output`.
    syv::QueryReport Spawn(const std::string& path, const std::vector<std::string>& arguments,
                           std::string* output = nullptr, int timeout = 300) {
        plugin_.handler = [&](boost::shared_ptr<NORNSYV20::ICIMNamespace>,
                              const boost::shared_ptr<NORNSYV20::ICIMClass>&) {
            const std::string result = NORNSYV20::TOSSpecific::SpawnProcess(path, arguments, timeout);
            if (output != nullptr) *output = result;
        };
        return StandinHost::RunQuery({"AnyClass"});
    }

    // The output of a run that must succeed.
    std::string Output(const std::vector<std::string>& arguments, const std::string& path = kHelper) {
        std::string output;
        const syv::QueryReport report = Spawn(path, arguments, &output);
        EXPECT_FALSE(report.failed) << report.message;
        return output;
    }

    syvtest::FakePlugin plugin_;
};

// Arguments arrive byte for byte, and an exit code is the program's answer,
// not a failure: -1 included (0xFFFFFFFF on Windows, 255 elsewhere), and also
// when the host ignores SIGCHLD, which has the system discard its children's
// exit statuses.
TEST_F(ProcessTest, ArgumentsArriveVerbatimAndEveryExitCodeIsAnAnswer) {
#if defined(_WIN32)
    const int minusOne = -1;
#else
    const int minusOne = 255;
#endif
    const struct { const char* code; int exitCode; std::vector<std::string> arguments; } cases[] = {
        {"0", 0, {}},
        {"2", 2, {""}},
        {"-1", minusOne,
         {"plain", "with space", "  leading and trailing  ", "", "quote\"inside", "\"quoted\"", "\"", "\"\"",
          "back\\slash", "trailing\\", "trailing two\\\\", "\\\\server\\share\\", "backslash before quote\\\"x",
          "two\\\\\"y", "with space\\", "tab\there", "line1\nline2", "cr\rlf", ""}},
        {"0", 0, {"$HOME", "%PATH%", "*.txt", "a;b|c&d>e<f", "`id`", "$(id)", "^caret",
                  "\xc3\xbc\x6e\xc3\xaf\x63\xc3\xb8\x64\xc3\xa9 \xe2\x82\xac", "\xf0\x9f\x98\x80 astral"}},
    };
    for (const bool ignoreChildren : {false, true}) {
#if !defined(_WIN32)
        std::signal(SIGCHLD, ignoreChildren ? SIG_IGN : SIG_DFL);
#endif
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::PrintToString(c.arguments) + (ignoreChildren ? " with SIGCHLD ignored" : ""));
            std::vector<std::string> all{"exit", c.code};
            all.insert(all.end(), c.arguments.begin(), c.arguments.end());
            std::string expected;
            for (const std::string& argument : c.arguments) expected += argument + '\0';
            std::string output;
            const syv::QueryReport report = Spawn(kHelper, all, &output);
            EXPECT_FALSE(report.failed) << report.message;
            EXPECT_EQ(output, expected);
            ASSERT_EQ(report.toolRuns.size(), 1u);
            EXPECT_EQ(report.toolRuns[0].exitCode, c.exitCode);
        }
    }
#if !defined(_WIN32)
    std::signal(SIGCHLD, SIG_DFL);
#endif
}

// Both streams are far larger than a pipe's buffer (a reader that drains one
// stream at a time would deadlock) and hold bytes a text-mode read changes.
// Standard error goes whole into one level-2 message naming the program.
TEST_F(ProcessTest, LargeBinaryOutputArrivesWholeAndStandardErrorIsLogged) {
    const std::size_t outSize = 5u << 20;
    const std::size_t errSize = 1u << 20;
    std::string output;
    syv::QueryReport report = Spawn(kHelper, {"bytes", std::to_string(outSize), std::to_string(errSize)}, &output);
    ASSERT_FALSE(report.failed) << report.message;
    EXPECT_TRUE(output == helper::Pattern(outSize));
    ASSERT_EQ(report.log.size(), 1u);
    EXPECT_EQ(report.log[0].level, 2);
    EXPECT_TRUE(report.log[0].message ==
                kHelper + " (" + HelperPath() + ") wrote to standard error: " + helper::Pattern(errSize));

    // A timeout of 0 asks for the default one.
    EXPECT_FALSE(Spawn(kHelper, {"sleep", "300"}, nullptr, 0).failed);
    // The cap counts both streams together, exactly.
    StandinHost::SetMaxOutputBytes(1000);
    EXPECT_EQ(Output({"bytes", "600", "400"}), helper::Pattern(600));
}

// This program's own standard input reads a file meanwhile, so that a service
// that lets the program inherit it would show; no other descriptor of the host
// reaches the program either.
TEST_F(ProcessTest, StandardInputIsTheNullDevice) {
    testsupport::ScratchFolder folder("velkor-stdin");
    folder.Write("input", "what the host was given");
#if defined(_WIN32)
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE saved = GetStdHandle(STD_INPUT_HANDLE);
    const HANDLE file = CreateFileA(folder.File("input").c_str(), GENERIC_READ, FILE_SHARE_READ, &inheritable,
                                    OPEN_EXISTING, 0, nullptr);
    SetStdHandle(STD_INPUT_HANDLE, file);
    const std::string count = Output({"stdin"});
    SetStdHandle(STD_INPUT_HANDLE, saved);
    CloseHandle(file);
#else
    const int saved = ::dup(STDIN_FILENO);
    const int file = ::open(folder.File("input").c_str(), O_RDONLY);
    ::dup2(file, STDIN_FILENO);
    ::close(file);
    const std::string count = Output({"stdin"});
    // Without close-on-exec, as a careless library leaves a descriptor: the
    // program does not get it either.
    EXPECT_EQ(Output({"fd", std::to_string(saved)}), "");
    // A host started with it closed: the run's own descriptors take its number.
    ::close(STDIN_FILENO);
    EXPECT_EQ(Output({"stdin"}), "0");
    ::dup2(saved, STDIN_FILENO);
    ::close(saved);
#endif
    EXPECT_EQ(count, "0");
}

// Every way a program fails: the status, the message opening with the
// status's text, naming the program (a relative path as asked and as
// resolved, any other once) and the cause, and the run recorded as failed.
// A relative path goes below the tools folder, never to the search path or
// the working directory (here the bin folder, which holds the helper); only
// a drive or UNC path counts as absolute on Windows. At the timeout or the
// output cap the program is killed, with what it started, also a program
// that closed its output.
TEST_F(ProcessTest, FailuresNameTheProgramAndTheCause) {
    testsupport::ScratchFolder folder("velkor-tools");
    const std::string t = folder.Path();
    const std::string pids = folder.File("pids");
    folder.Write("script", "echo not a program\n");  // executable, but not to be handed to a shell
    folder.Write("orphan", "#!/no/such/shell\r\necho x\n");
    for (const char* name : {"script", "orphan"}) {
        std::filesystem::permissions(folder.File(name), std::filesystem::perms::owner_all);
    }
    std::filesystem::create_directory(folder.File("scli.exe"));
    std::filesystem::create_directories(folder.File("vendor"));
    std::filesystem::copy_file(HelperPath(), folder.File("vendor/copied-tool.exe"));
    StandinHost::SetToolsFolder(t);
    StandinHost::SetMaxToolSeconds(5);  // above what every case asks for: 1 s
    StandinHost::SetMaxOutputBytes(1000);
    const std::filesystem::path workingDirectory = std::filesystem::current_path();
    std::filesystem::current_path(syv::ProgramFolder());
    EXPECT_EQ(Output({"exit", "0", "x"}, "vendor//copied-tool.exe"), std::string("x", 2));

    const std::string h = HelperPath();
    const std::uint32_t notStarted = TSYVStatusCode::kProgramNotStarted;
    const std::uint32_t timedOut = TSYVStatusCode::kProgramTimedOut;
    const std::uint32_t tooLarge = TSYVStatusCode::kProgramOutputTooLarge;
    const std::string killed = " after 1 s; killed";
    const std::string stillOpen = ": output still open (held by a process it started)" + killed;
    const struct {
        std::string path;
        std::vector<std::string> arguments;
        std::uint32_t status;
        std::string says;
    } cases[] = {
        {folder.File("missing"), {}, notStarted, ": " + folder.File("missing") + ": no such file"},
        {folder.File("script"), {}, notStarted, ": " + folder.File("script") + ": "},
        {folder.File("scli.exe"), {}, notStarted, ": " + folder.File("scli.exe") + ": is a folder, not a program"},
        {folder.File(std::string("nul\0byte", 8)), {}, notStarted,
         ": " + folder.File("nul\\0byte") + ": the program path contains a NUL byte"},
        {h, {"exit", "0", std::string("a\0b", 3)}, notStarted, ": " + h + ": argument 3 contains a NUL byte"},
        {"qlogic//scli.exe", {}, notStarted, ": qlogic//scli.exe (" + t + "/qlogic//scli.exe): "},
        {"../x", {}, notStarted, ": ../x (" + t + "/../x): "},
        {kHelper, {}, notStarted, ": " + kHelper + " (" + t + "/" + kHelper + "): no such file"},
        {"", {}, notStarted, "empty program path"},
#if defined(_WIN32)
        {"cmd.exe", {}, notStarted, ": cmd.exe (" + t + "/cmd.exe): no such file"},
        {"C:\\abs\\scli.exe", {}, notStarted, ": C:\\abs\\scli.exe: "},
        {"d:/abs/scli.exe", {}, notStarted, ": d:/abs/scli.exe: "},
        {"\\\\server\\share\\scli.exe", {}, notStarted, ": \\\\server\\share\\scli.exe: "},
        {"//server/share/scli.exe", {}, notStarted, ": //server/share/scli.exe: "},
        {"\\rooted\\scli.exe", {}, notStarted, ": \\rooted\\scli.exe (" + t + "/\\rooted\\scli.exe): "},
        {"C:scli.exe", {}, notStarted, ": C:scli.exe (" + t + "/C:scli.exe): "},
        {h, {"exit", "-1073741819"}, TSYVStatusCode::kProgramCrashed, ": " + h + ": exit status 0xC0000005"},
        {h, {"exit", "-1073740791"}, TSYVStatusCode::kProgramCrashed,
         ": " + h + ": exit status 0xC0000409 (stack buffer overrun or fail-fast)"},
#else
        {"sh", {}, notStarted, ": sh (" + t + "/sh): no such file"},
        {"C:\\scli.exe", {}, notStarted, ": C:\\scli.exe (" + t + "/C:\\scli.exe): "},
        {folder.File("orphan"), {}, notStarted, ": cannot run: its interpreter /no/such/shell\\x0d is missing"},
        {h, {"crash"}, TSYVStatusCode::kProgramCrashed, ": " + h + ": killed by signal 11 (Segmentation fault)"},
#endif
        {h, {"tree", pids, "60000"}, timedOut, ": " + h + ": still running" + killed},
        {h, {"tree", pids, "0"}, timedOut, stillOpen},
        {h, {"sleep", "60000", "closed"}, timedOut, ": still running" + killed},
        {h, {"bytes", "600", "401"}, tooLarge, ": " + h + ": more than 1000 bytes of output; killed"},
        {h, {"bytes", "0", "1000000000000000"}, tooLarge, ": more than 1000 bytes of output; killed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        std::filesystem::remove(pids);
        const syv::QueryReport report = Spawn(c.path, c.arguments, nullptr, 1);
        ASSERT_TRUE(report.failed);
        EXPECT_EQ(report.status, c.status);
        EXPECT_EQ(report.message.rfind(TSYVStatusCode(c.status).TranslateStatusCode() + ": ", 0), 0u)
            << report.message;
        EXPECT_THAT(report.message, HasSubstr(c.says));
        ASSERT_EQ(report.toolRuns.size(), 1u);
        EXPECT_EQ(report.toolRuns[0].outcome, "failed: " + report.message);
        if (c.arguments.size() > 1 && c.arguments[0] == "tree") {
            const std::pair<int, int> tree = WaitForPids(pids);
            ASSERT_TRUE(tree.first > 0 && tree.second > 0);
            EXPECT_TRUE(GoneWithin(tree.first, std::chrono::seconds(10))) << "parent " << tree.first;
            EXPECT_TRUE(GoneWithin(tree.second, std::chrono::seconds(10))) << "child " << tree.second;
        }
    }
    std::filesystem::current_path(workingDirectory);

    StandinHost::SetToolsFolder("");
    EXPECT_THAT(Spawn(kHelper, {"exit", "0"}).message, HasSubstr("no tools folder"));
}

#if !defined(_WIN32)
// A process that left the program's group and session still ends with the
// run, whether it holds the output (the run times out) or not (the run
// succeeds). The run goes on another thread, so that a sweep that misses the
// process fails here within the bound rather than waiting for it to end by
// itself.
TEST_F(ProcessTest, ProcessesThatLeftTheSessionEndWithTheRun) {
    testsupport::ScratchFolder folder("velkor-setsid");
    const std::string pids = folder.File("pids");
    const std::pair<const char*, bool> cases[] = {{"setsid", true}, {"setsid-closed", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        std::filesystem::remove(pids);
        syv::QueryReport report;
        std::thread run([&] { report = Spawn(kHelper, {"tree", pids, "0", c.first}, nullptr, 1); });
        const int child = WaitForPids(pids).second;
        const bool gone = child > 0 && GoneWithin(child, std::chrono::seconds(5));
        if (child > 0 && !gone) ::kill(child, SIGKILL);  // so that the run can end
        run.join();
        EXPECT_TRUE(gone) << "child " << child;
        EXPECT_EQ(report.failed, c.second) << report.message;
    }
}

// A supervising program that is missing or is not one fails the run, named,
// and never holds it up past the timeout and a short grace.
TEST_F(ProcessTest, AWrongSupervisingProgramFailsTheRunNamingIt) {
    testsupport::ScratchFolder folder("velkor-supervisor");
    folder.Write("exits", "#!/bin/sh\nexit 0\n");
    folder.Write("hangs", "#!/bin/sh\nexec sleep 60\n");
    for (const char* name : {"exits", "hangs"}) {
        std::filesystem::permissions(folder.File(name), std::filesystem::perms::owner_all);
    }
    const struct { std::string supervisor; std::uint32_t status; std::string says; } cases[] = {
        {folder.File("missing"), TSYVStatusCode::kProgramNotStarted,
         ": cannot start its supervising program " + folder.File("missing") + ": no such file"},
        {folder.File("exits"), TSYVStatusCode::kProgramCrashed,
         ": its supervising program " + folder.File("exits") + " ended without saying how the program ended"},
        {folder.File("hangs"), TSYVStatusCode::kProgramTimedOut, ": still running after 1 s"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.supervisor);
        StandinHost::SetToolSupervisor(c.supervisor);
        const syv::QueryReport report = Spawn(kHelper, {"exit", "0"}, nullptr, 1);
        EXPECT_EQ(report.status, c.status);
        EXPECT_THAT(report.message, HasSubstr(c.says));
    }
}
#endif

// A stop ends the run in progress at once, with what the program started,
// and fails every later run without starting it, in-process tool included,
// until the host resumes them.
TEST_F(ProcessTest, AbortedToolRunsFailAtOnceUntilResumed) {
    testsupport::ScratchFolder folder("velkor-abort");
    const std::string pids = folder.File("pids");
    syv::QueryReport report;
    std::thread run([&] { report = Spawn(kHelper, {"tree", pids, "60000"}); });
    const std::pair<int, int> tree = WaitForPids(pids);
    StandinHost::AbortToolRuns();
    run.join();
    EXPECT_EQ(report.status, TSYVStatusCode::kFailed);
    EXPECT_THAT(report.message, HasSubstr(" (" + HelperPath() + "): stopped: the host is shutting down; killed"));
    ASSERT_EQ(report.toolRuns.size(), 1u);
    EXPECT_EQ(report.toolRuns[0].outcome, "failed: " + report.message);
    EXPECT_TRUE(GoneWithin(tree.first, std::chrono::seconds(10))) << "parent " << tree.first;
    EXPECT_TRUE(GoneWithin(tree.second, std::chrono::seconds(10))) << "child " << tree.second;

    bool toolCalled = false;
    for (const bool inProcess : {false, true}) {
        if (inProcess) {
            StandinHost::SetInProcessTool([&](const std::string&, const std::vector<std::string>&) {
                toolCalled = true;
                return std::string();
            });
        }
        report = Spawn(kHelper, {"exit", "0"});
        EXPECT_EQ(report.status, TSYVStatusCode::kFailed);
        EXPECT_THAT(report.message, HasSubstr(": not started: the host is shutting down"));
    }
    EXPECT_FALSE(toolCalled);

    StandinHost::ResumeToolRuns();
    StandinHost::SetInProcessTool(nullptr);
    EXPECT_EQ(Output({"exit", "0", "x"}), std::string("x", 2));
}

// The in-process tool replaces programs but not the host's policy: the cap
// and the record still apply (that clearing it starts programs again, the
// aborted runs' test shows).
TEST_F(ProcessTest, InProcessToolIsCappedAndRecordedLikeAProgram) {
    std::vector<std::string> seenArguments;
    StandinHost::SetInProcessTool([&](const std::string& path, const std::vector<std::string>& arguments) {
        seenArguments = arguments;
        return path + " printed";
    });
    StandinHost::SetMaxOutputBytes(24);  // exactly the output
    EXPECT_EQ(Output({"-z"}, "qlogic//scli.exe"), "qlogic//scli.exe printed");
    EXPECT_EQ(seenArguments, std::vector<std::string>{"-z"});

    StandinHost::SetMaxOutputBytes(10);
    const syv::QueryReport report = Spawn("qlogic//scli.exe", {"-z"});
    EXPECT_EQ(report.status, TSYVStatusCode::kProgramOutputTooLarge);
    EXPECT_EQ(report.message,
              "The program's output exceeded the size limit: qlogic//scli.exe: more than 10 bytes of output");
    ASSERT_EQ(report.toolRuns.size(), 1u);
    EXPECT_EQ(report.toolRuns[0].outcome, "failed: " + report.message);
}

}  // namespace
