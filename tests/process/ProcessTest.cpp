// The process service as a plug-in uses it: TOSSpecific::SpawnProcess inside
// a query, with the host's tools folder and limits. Only what the end-to-end
// and fault suites cannot see from outside: arguments and bytes exactly, the
// null input, the exact limits, every process of a timed-out tree killed,
// the path rules, and each failure's status and text once.
#include "HelperProtocol.h"
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

std::string HelperPath() { return syv::ProgramFolder() + "/" + helper::kName; }

// The helper named as the service names a relative path it resolved.
std::string HelperNamed() { return std::string(helper::kName) + " (" + HelperPath() + ")"; }

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

    // The helper's output, for a run that must succeed.
    std::string Output(const std::vector<std::string>& arguments) {
        std::string output;
        const syv::QueryReport report = Spawn(helper::kName, arguments, &output);
        EXPECT_FALSE(report.failed) << report.message;
        return output;
    }

    syvtest::FakePlugin plugin_;
};

TEST_F(ProcessTest, ArgumentsArriveVerbatim) {
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
        SCOPED_TRACE(testing::PrintToString(arguments));
        std::vector<std::string> all{"args"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::string expected;
        for (const std::string& argument : arguments) expected += argument + '\0';
        EXPECT_EQ(Output(all), expected);
    }
}

// Both streams are far larger than a pipe's buffer (a reader that drains one
// stream at a time would deadlock) and hold bytes a text-mode read changes.
// Standard error goes whole into one level-2 message naming the program.
TEST_F(ProcessTest, LargeBinaryOutputArrivesWholeAndStandardErrorIsLogged) {
    const std::size_t outSize = 5u << 20;
    const std::size_t errSize = 1u << 20;
    for (const std::string& bytes : {std::string("\r\n"), std::string(1, '\0'), std::string("\x1a")}) {
        ASSERT_NE(helper::Pattern(errSize).find(bytes), std::string::npos);
    }
    std::string output;
    const std::vector<std::string> arguments{"bytes", std::to_string(outSize), std::to_string(errSize)};
    syv::QueryReport report = Spawn(helper::kName, arguments, &output);
    ASSERT_FALSE(report.failed) << report.message;
    EXPECT_TRUE(output == helper::Pattern(outSize));
    ASSERT_EQ(report.log.size(), 1u);
    EXPECT_EQ(report.log[0].level, 2);
    EXPECT_TRUE(report.log[0].message == HelperNamed() + " wrote to standard error: " + helper::Pattern(errSize));
    ASSERT_EQ(report.toolRuns.size(), 1u);
    EXPECT_EQ(report.toolRuns[0].command, helper::kName);
    EXPECT_EQ(report.toolRuns[0].arguments, arguments);
    EXPECT_EQ(report.toolRuns[0].timeout, 300);
    EXPECT_EQ(report.toolRuns[0].outcome, "ok");

    report = Spawn(helper::kName, {"args"});
    EXPECT_TRUE(report.log.empty());  // nothing on standard error, nothing logged
    // A timeout of 0 asks for the default one.
    EXPECT_FALSE(Spawn(helper::kName, {"sleep", "300"}, nullptr, 0).failed);
}

// This program's own standard input reads a file meanwhile, so that a service
// that lets the program inherit it would show.
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
    ::dup2(saved, STDIN_FILENO);
    ::close(saved);
#endif
    EXPECT_EQ(count, "0");
}

// Every kind of failure once: its status, a text naming the program as asked
// and as resolved, with the cause, and the run recorded as failed. A timeout
// below the host's cap is kept.
TEST_F(ProcessTest, FailuresNameTheProgramAndTheCause) {
    const std::string bin = syv::ProgramFolder();
    const struct {
        std::string path;
        std::vector<std::string> arguments;
        int timeout;  // asked for, under a host cap of 5 s
        std::uint64_t maxOutputBytes;
        std::uint32_t status;
        std::string message;  // the start of what()
    } cases[] = {
        {"no-such-tool.exe", {}, 300, 64ull << 20, TSYVStatusCode::kProgramNotStarted,
         "The program could not be started: no-such-tool.exe (" + bin + "/no-such-tool.exe): no such file"},
        {helper::kName, {"crash"}, 300, 64ull << 20, TSYVStatusCode::kProgramCrashed,
#if defined(_WIN32)
         "The program terminated abnormally: " + HelperNamed() + ": exit status 0xC0000005"},
        {helper::kName, {"exit", "-1073740791"}, 300, 64ull << 20, TSYVStatusCode::kProgramCrashed,
         "The program terminated abnormally: " + HelperNamed() +
             ": exit status 0xC0000409 (stack buffer overrun or fail-fast)"},
#else
         "The program terminated abnormally: " + HelperNamed() + ": killed by signal 11 (Segmentation fault)"},
#endif
        {helper::kName, {"sleep", "60000"}, 1, 64ull << 20, TSYVStatusCode::kProgramTimedOut,
         "The program did not finish within its timeout: " + HelperNamed() + ": still running after 1 s; killed"},
        {helper::kName, {"flood", "out"}, 300, 1000, TSYVStatusCode::kProgramOutputTooLarge,
         "The program's output exceeded the size limit: " + HelperNamed() + ": more than 1000 bytes of output; killed"},
    };
    StandinHost::SetMaxToolSeconds(5);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        StandinHost::SetMaxOutputBytes(c.maxOutputBytes);
        const syv::QueryReport report = Spawn(c.path, c.arguments, nullptr, c.timeout);
        ASSERT_TRUE(report.failed);
        EXPECT_EQ(report.status, c.status);
        EXPECT_EQ(report.message.substr(0, c.message.size()), c.message);
        ASSERT_EQ(report.toolRuns.size(), 1u);
        EXPECT_EQ(report.toolRuns[0].outcome, "failed: " + report.message);
    }
}

// An exit code is the program's answer, not a failure: -1 included
// (0xFFFFFFFF on Windows, 255 elsewhere), and also when the host ignores
// SIGCHLD, which has the system discard its children's exit statuses.
TEST_F(ProcessTest, EveryExitCodeReturnsTheOutput) {
#if defined(_WIN32)
    const int minusOne = -1;
#else
    const int minusOne = 255;
#endif
    const std::pair<const char*, int> cases[] = {{"0", 0}, {"2", 2}, {"-1", minusOne}};
    const auto check = [&] {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.first);
            syv::ProgramResult result;
            EXPECT_NO_THROW(result = StandinHost::RunProgram(HelperPath(), {"exit", c.first, "out"}, 60));
            EXPECT_EQ(result.standardOutput, "out");
            EXPECT_EQ(result.exitCode, c.second);
        }
    };
    check();
#if !defined(_WIN32)
    std::signal(SIGCHLD, SIG_IGN);
    check();
    std::signal(SIGCHLD, SIG_DFL);
#endif
}

// The cap counts both streams together, exactly, and stops a program that
// would never stop writing to standard error either.
TEST_F(ProcessTest, OutputCapCountsBothStreams) {
    StandinHost::SetMaxOutputBytes(1000);
    EXPECT_EQ(Output({"bytes", "600", "400"}).size(), 600u);
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"bytes", "600", "401"},
                                                      std::vector<std::string>{"flood", "err"}}) {
        SCOPED_TRACE(arguments[0]);
        const syv::QueryReport report = Spawn(helper::kName, arguments);
        EXPECT_EQ(report.status, TSYVStatusCode::kProgramOutputTooLarge);
        EXPECT_THAT(report.message, HasSubstr("more than 1000 bytes of output; killed"));
    }
}

// Whether the program is still there, has left a process it started holding
// the output, or has closed its output without exiting: at the limit all of
// them are killed and the call returns.
TEST_F(ProcessTest, TimeoutKillsTheProgramAndWhatItStarted) {
    StandinHost::SetMaxToolSeconds(1);
    testsupport::ScratchFolder folder("velkor-tree");
    const std::string pidFile = folder.File("pids");
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"tree", pidFile, "60000"}, "still running after 1 s; killed"},
        {{"tree", pidFile, "0"}, "output still open (held by a process it started) after 1 s; killed"},
#if !defined(_WIN32)
        // Out of the program's group and session.
        {{"tree", pidFile, "0", "setsid"}, "output still open (held by a process it started) after 1 s; killed"},
#endif
        {{"sleep", "60000", "closed"}, "still running after 1 s; killed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.first));
        const auto start = std::chrono::steady_clock::now();
        const syv::QueryReport report = Spawn(helper::kName, c.first);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));  // a hang guard only
        EXPECT_EQ(report.status, TSYVStatusCode::kProgramTimedOut);
        EXPECT_THAT(report.message, HasSubstr(c.second));
        if (c.first[0] == "tree") {
            int parent = 0;
            int child = 0;
            std::ifstream(pidFile) >> parent >> child;
            ASSERT_GT(parent, 0);
            ASSERT_GT(child, 0);
            EXPECT_TRUE(GoneWithin(parent, std::chrono::seconds(10))) << "parent " << parent;
            EXPECT_TRUE(GoneWithin(child, std::chrono::seconds(10))) << "child " << child;
        }
    }
}

// Paths used as given, so each message names the program once.
TEST_F(ProcessTest, ProgramsThatCannotStart) {
    testsupport::ScratchFolder folder("velkor-notstarted");
    // Executable, but not a program: not to be handed to a shell as a script.
    folder.Write("script", "echo not a program\n");
    folder.Write("orphan", "#!/no/such/shell\r\necho x\n");
    for (const char* name : {"script", "orphan"}) {
        std::filesystem::permissions(folder.File(name), std::filesystem::perms::owner_all);
    }
    std::filesystem::create_directory(folder.File("scli.exe"));
    const std::string started = "The program could not be started: ";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{folder.File("missing")}, started + folder.File("missing") + ": no such file"},
        {{folder.File("script")}, started + folder.File("script") + ": "},
        {{folder.File("scli.exe")}, started + folder.File("scli.exe") + ": is a folder, not a program"},
#if !defined(_WIN32)
        {{folder.File("orphan")}, ": cannot run: its interpreter /no/such/shell\\x0d is missing"},
#endif
        {{folder.File(std::string("nul\0byte", 8))},
         started + folder.File("nul\\0byte") + ": the program path contains a NUL byte"},
        {{HelperPath(), "args", std::string("a\0b", 3)}, started + HelperPath() + ": argument 2 contains a NUL byte"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.second);
        const syv::QueryReport report = Spawn(c.first[0], std::vector<std::string>(c.first.begin() + 1, c.first.end()));
        EXPECT_EQ(report.status, TSYVStatusCode::kProgramNotStarted);
        EXPECT_THAT(report.message, HasSubstr(c.second));
    }
}

#if !defined(_WIN32)
TEST_F(ProcessTest, HostDescriptorsDoNotLeakIntoThePrograms) {
    // Opened without close-on-exec, as a careless library would.
    const int leaky = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaky, 0);
    const std::string inherited = Output({"fds"});
    ::close(leaky);
    EXPECT_EQ(inherited, "");
}
#endif

// A relative path goes below the tools folder, never to the search path or
// the working directory (here the bin folder, which holds the helper); only
// a drive or UNC path counts as absolute on Windows.
TEST_F(ProcessTest, RelativePathsResolveOnlyAgainstTheToolsFolder) {
    testsupport::ScratchFolder tools("velkor-tools");
    const std::string t = tools.Path();
    std::filesystem::create_directories(tools.File("vendor"));
    std::filesystem::copy_file(HelperPath(), tools.File("vendor/copied-tool.exe"));
    StandinHost::SetToolsFolder(t);
    std::string output;
    EXPECT_FALSE(Spawn("vendor//copied-tool.exe", {"args", "x"}, &output).failed);
    EXPECT_EQ(output, std::string("x", 2));

    const std::filesystem::path workingDirectory = std::filesystem::current_path();
    std::filesystem::current_path(syv::ProgramFolder());
    const std::pair<std::string, std::string> cases[] = {
        {"qlogic//scli.exe", "qlogic//scli.exe (" + t + "/qlogic//scli.exe): "},
        {"../x", "../x (" + t + "/../x): "},
        {helper::kName, std::string(helper::kName) + " (" + t + "/" + helper::kName + "): no such file"},
        {"", "empty program path"},
#if defined(_WIN32)
        {"cmd.exe", "cmd.exe (" + t + "/cmd.exe): no such file"},
        {"C:\\abs\\scli.exe", ": C:\\abs\\scli.exe: "},
        {"d:/abs/scli.exe", ": d:/abs/scli.exe: "},
        {"\\\\server\\share\\scli.exe", ": \\\\server\\share\\scli.exe: "},
        {"//server/share/scli.exe", ": //server/share/scli.exe: "},
        {"\\rooted\\scli.exe", "\\rooted\\scli.exe (" + t + "/\\rooted\\scli.exe): "},
        {"C:scli.exe", "C:scli.exe (" + t + "/C:scli.exe): "},
#else
        {"sh", "sh (" + t + "/sh): no such file"},
        {"C:\\scli.exe", "C:\\scli.exe (" + t + "/C:\\scli.exe): "},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        const syv::QueryReport report = Spawn(c.first, {"args"});
        EXPECT_EQ(report.status, TSYVStatusCode::kProgramNotStarted);
        EXPECT_THAT(report.message, HasSubstr(c.second));
    }
    std::filesystem::current_path(workingDirectory);

    StandinHost::SetToolsFolder("");
    EXPECT_THAT(Spawn(helper::kName, {"args"}).message, HasSubstr("no tools folder"));
}

// The in-process tool replaces programs but not the host's policy: the cap
// and the record still apply, and clearing it starts programs again.
TEST_F(ProcessTest, InProcessToolIsCappedAndRecordedLikeAProgram) {
    std::vector<std::string> seenArguments;
    StandinHost::SetInProcessTool([&](const std::string& path, const std::vector<std::string>& arguments) {
        seenArguments = arguments;
        return path + " printed";
    });
    StandinHost::SetMaxOutputBytes(24);  // exactly the output
    std::string output;
    syv::QueryReport report = Spawn("qlogic//scli.exe", {"-z"}, &output);
    ASSERT_FALSE(report.failed) << report.message;
    EXPECT_EQ(output, "qlogic//scli.exe printed");
    EXPECT_EQ(seenArguments, std::vector<std::string>{"-z"});
    ASSERT_EQ(report.toolRuns.size(), 1u);
    EXPECT_EQ(report.toolRuns[0].outcome, "ok");

    StandinHost::SetMaxOutputBytes(10);
    report = Spawn("qlogic//scli.exe", {"-z"});
    EXPECT_EQ(report.status, TSYVStatusCode::kProgramOutputTooLarge);
    EXPECT_EQ(report.message,
              "The program's output exceeded the size limit: qlogic//scli.exe: more than 10 bytes of output");
    ASSERT_EQ(report.toolRuns.size(), 1u);
    EXPECT_EQ(report.toolRuns[0].outcome, "failed: " + report.message);

    StandinHost::SetInProcessTool(nullptr);
    StandinHost::SetMaxOutputBytes(64ull << 20);
    EXPECT_EQ(Output({"bytes", "5", "0"}), helper::Pattern(5));
}

}  // namespace
