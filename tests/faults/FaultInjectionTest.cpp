// Faults injected end to end: the real plug-in module loaded through the
// platform loader, syvcore as its host inside this process, and the simulated
// tools started as programs by the process service, with their fault knobs
// set. One row per kind of fault: the host goes on, the faulty query gives
// what the plug-in defines for it (a result, or a TSYVException naming the
// tool), and once the fault is gone a later query gives the whole machine again.
#include "PluginLibrary.h"
#include "Platform.h"
#include "Reports.h"
#include "TestEnvironment.h"
#include "host/Host.h"
#include "plugin/Constants.h"
#include "plugin/ServedClasses.h"
#include "syvcore/StandinHost.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using NORNSYV20::TSYVStatusCode;
using syv::QueryReport;
using syv::StandinHost;
using testsupport::LogAt;
using testsupport::Runs;

// Generous, for a 50 MiB transcript under Wine and the sanitizers.
const int kToolSeconds = 120;

const std::string kNul(1, '\0');

struct Kind {
    std::string tool;        // as the plug-in passes it to the process service
    std::string name;        // the tool's file name without ".exe"
    std::string knobPrefix;  // of its fault knobs
    std::string raw;         // its raw-data class
};

const Kind kFibreChannel{velkor::kFibreChannelToolPath, "scli", "SCLI", velkor::kFibreChannelRawDataClass};
const Kind kIScsi{velkor::kIScsiToolPath, "iscli", "ISCLI", velkor::kIScsiRawDataClass};
const Kind* const kKinds[] = {&kFibreChannel, &kIScsi};

const std::string kScliOk = kFibreChannel.tool + " ok";
const std::string kIscliOk = kIScsi.tool + " ok";

// Built anew, so that it stays linear on a 50 MiB transcript.
std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to) {
    std::string result;
    std::size_t start = 0;
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, start)) {
        result.append(text, start, at - start).append(to);
        start = at + from.size();
    }
    return result.append(text, start, std::string::npos);
}

std::string DefaultOutput(const Kind& kind) {
    return testsupport::ReadFile(syv::ProgramFolder() + "/qlogic/" + kind.name + ".txt");
}

// The default machine with a 50 MiB target listing after the first adapter's
// general part, which reports its BIOS version as "N/A", so that the lookup
// has to go past the listing into the adapter's VPD part.
std::string BigFibreChannelTranscript() {
    std::string transcript = DefaultOutput(kFibreChannel);
    const std::string bios = "BIOS Version                   : 3.63\r\n";
    const std::string statistics = std::string(78, '-') + "\r\nHBA Port Statistics";
    const std::size_t biosAt = transcript.find(bios);
    const std::size_t statisticsAt = transcript.find(statistics, biosAt);
    if (biosAt == std::string::npos || statisticsAt == std::string::npos) {
        throw std::runtime_error("the default transcript has changed: no " + bios + " before " + statistics);
    }
    const std::string line =
        "  Target 0000001  Node Name : 50-06-01-60-BB-20-00-01  Port Name : 50-06-01-60-3B-A0-00-01  "
        "Port ID : 01-0A-00  Vendor : EXAMPLE  Product : ARRAY-9000  Revision : 0533  LUNs : 16\r\n";
    std::string listing = "HBA Target Information\r\n";
    while (listing.size() < (std::size_t(50) << 20)) {
        listing += line;
    }
    transcript.insert(statisticsAt, listing + "\r\n");
    return transcript.replace(biosAt, bios.size(), "BIOS Version                   : N/A\r\n");
}

// Random bytes of every value, NUL, CR and LF included.
std::string BinaryGarbage(unsigned seed) {
    std::mt19937 random(seed);
    std::string text(std::size_t(1) << 20, '\0');
    for (char& c : text) {
        c = static_cast<char>(random());
    }
    return text;
}

class FaultInjectionTest;

// One row: a fault and what the plug-in defines for it. A tool that fails in
// the process service (not started, crashed, timed out, too much output)
// fails the query the same way whatever the cause, so one row per tool has it
// crash. Otherwise the query succeeds: each kind gives the healthy machine's
// adapters or none, and publishes its raw data or not; text in the instances
// may differ from the healthy machine's by the replacements.
struct FaultCase {
    std::string name;
    const Kind* crashing;
    std::function<void(FaultInjectionTest&)> inject;
    bool adapters[2];
    bool raw[2];
    std::vector<std::pair<std::string, std::string>> replacements;
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

// Every instance but the raw data, described whole with its class and path.
std::vector<std::string> Described(const QueryReport& report) {
    std::vector<std::string> described;
    for (const syv::CommittedInstance& instance : report.instances) {
        if (instance.className != kFibreChannel.raw && instance.className != kIScsi.raw) {
            std::string text = std::string(instance.className) + " " + instance.path;
            for (const std::string& property : testsupport::Describe(instance)) {
                text += " " + property;
            }
            described.push_back(text);
        }
    }
    return described;
}

// The raw-data instance of the kind, if published, holds the lines that end
// in CR LF, without it. Compared without printing: a capture may be 50 MiB.
void ExpectRaw(const QueryReport& report, const Kind& kind, bool published, const std::string& output) {
    std::vector<std::vector<std::string>> expected;
    if (published) {
        const std::string lines = ReplaceAll(output.substr(0, output.rfind("\r\n")), "\r\n", "|string=");
        expected.push_back({"Command:string=" + kind.tool + " -z", "RawResults:array{string=" + lines + "}"});
    }
    std::vector<std::vector<std::string>> raw;
    for (const syv::CommittedInstance& instance : testsupport::OfClass(report, kind.raw)) {
        raw.push_back(testsupport::Describe(instance));
    }
    EXPECT_TRUE(raw == expected) << kind.raw << ": " << raw.size() << " instances";
}

class FaultInjectionTest : public ::testing::TestWithParam<FaultCase> {
public:
    // The tool prints `output` instead of its default machine.
    void Print(const Kind& kind, const std::string& output) {
        const std::string path = scratch_ + "/" + kind.name + "-output.txt";
        testsupport::WriteFile(path, output);
        Knob(kind, "TRANSCRIPT", path);
        outputs_[&kind == &kIScsi] = output;
    }

    void Knob(const Kind& kind, const std::string& knob, const std::string& value) {
        environment_->Set(kind.knobPrefix + "_" + knob, value);
    }

protected:
    void SetUp() override {
        StandinHost::LoadSchema(VELKOR_SCHEMA_DIR);
        StandinHost::ClearRegisteredPlugins();
        StandinHost::SetToolsFolder(syv::ProgramFolder());
        StandinHost::SetMaxToolSeconds(kToolSeconds);
        scratch_ = syv::ProgramFolder() + "/../faults-work/" + GetParam().name;
        fs::remove_all(scratch_);
        fs::create_directories(scratch_);
        Heal();
        library_.reset(new syv::PluginLibrary(syv::ProgramFolder() + "/" + syv::kPluginFileName));
        const std::vector<NORNSYV20::IPluginCallbacks*> plugins = StandinHost::GetRegisteredPlugins();
        ASSERT_EQ(plugins.size(), 1u);
        plugin_ = plugins.front();
        // The healthy machine, to compare with; Shutdown forgets it.
        const QueryReport healthy = StandinHost::RunQuery(velkor::ServedClasses());
        ASSERT_FALSE(healthy.failed) << healthy.message;
        healthy_ = Described(healthy);
        ASSERT_EQ(healthy_.size(), 25u);
        plugin_->Shutdown();
    }

    // As a host ends: Shutdown, Release, unload.
    void TearDown() override {
        if (plugin_ != nullptr) {
            plugin_->Shutdown();
            plugin_->Release();
        }
        StandinHost::ClearRegisteredPlugins();
        library_.reset();
        environment_.reset();
        StandinHost::SetMaxToolSeconds(0);
        // Generated transcripts stay behind only for a case that failed.
        if (!HasFailure()) {
            fs::remove_all(scratch_);
        }
    }

    // Every fault knob cleared.
    void Heal() {
        environment_.reset(new testsupport::ScopedEnvironment());
        outputs_[0] = DefaultOutput(kFibreChannel);
        outputs_[1] = DefaultOutput(kIScsi);
    }

    // The healthy machine's instances of the kinds that give adapters, with
    // the case's replacements.
    std::vector<std::string> Expected(const FaultCase& c) const {
        std::vector<std::string> expected;
        for (std::string text : healthy_) {
            if (c.adapters[text.find("FibreChannel") != std::string::npos ? 0 : 1]) {
                for (const auto& replacement : c.replacements) {
                    text = ReplaceAll(text, replacement.first, replacement.second);
                }
                expected.push_back(text);
            }
        }
        return expected;
    }

    void ExpectHealthyAgain(const std::vector<std::string>& runs) {
        const QueryReport recovered = StandinHost::RunQuery(velkor::ServedClasses());
        ASSERT_FALSE(recovered.failed) << recovered.message;
        EXPECT_EQ(Described(recovered), healthy_);
        EXPECT_EQ(Runs(recovered), runs);
    }

    std::string scratch_;
    std::unique_ptr<testsupport::ScopedEnvironment> environment_;
    std::string outputs_[2];  // what each kind's tool prints
    std::unique_ptr<syv::PluginLibrary> library_;
    NORNSYV20::IPluginCallbacks* plugin_ = nullptr;
    std::vector<std::string> healthy_;
};

std::vector<FaultCase> Matrix() {
    const std::string nulModel = "FCX-" + kNul + "820S";
    const std::string nulRom = "2.01" + kNul + ".22";
    return {
        {"ScliCrashes", &kFibreChannel, nullptr, {}, {}, {}},
        {"IscliCrashes", &kIScsi, nullptr, {}, {}, {}},
        {"BinaryGarbage", nullptr,
         [](FaultInjectionTest& t) {
             t.Print(kFibreChannel, BinaryGarbage(1));
             t.Print(kIScsi, BinaryGarbage(2));
         },
         {false, false}, {false, false}, {}},
        // NUL bytes are data: they start every line and stay inside values.
        {"NulBytes", nullptr,
         [nulModel, nulRom](FaultInjectionTest& t) {
             const std::string fibreChannel = ReplaceAll(DefaultOutput(kFibreChannel), "FCX-820S", nulModel);
             t.Print(kFibreChannel, ReplaceAll(fibreChannel, "\r\n", "\r\n" + kNul));
             t.Print(kIScsi, ReplaceAll(ReplaceAll(DefaultOutput(kIScsi), "2.01.22", nulRom), "\r\n", "\r\n" + kNul));
         },
         {true, true}, {true, true}, {{"FCX-820S", nulModel}, {"2.01.22", nulRom}}},
        {"ScliFiftyMebibytes", nullptr,
         [](FaultInjectionTest& t) { t.Print(kFibreChannel, BigFibreChannelTranscript()); },
         {true, true}, {true, true}, {}},
    };
}

TEST_P(FaultInjectionTest, HostGoesOnAndALaterQueryGivesTheWholeMachine) {
    const FaultCase& c = GetParam();
    if (c.crashing != nullptr) {
        Knob(*c.crashing, "CRASH", "1");
    } else {
        c.inject(*this);
    }
    const QueryReport faulty = StandinHost::RunQuery(velkor::ServedClasses());
    if (c.crashing != nullptr) {
        // The query fails with the crash's status and says which tool failed;
        // collection fails before anything is built.
        const Kind& kind = *c.crashing;
        const TSYVStatusCode crashed(TSYVStatusCode::kProgramCrashed);
        ASSERT_TRUE(faulty.failed) << "a failed tool run reported as success";
        EXPECT_EQ(faulty.status, crashed.GetCode()) << faulty.message;
        EXPECT_EQ(faulty.message.rfind(crashed.TranslateStatusCode() + ": " + kind.tool, 0), 0u) << faulty.message;
        EXPECT_TRUE(faulty.instances.empty());

        // The raw data alone does not fail: the failure is logged as an
        // error. That the tool runs here again shows that no inventory was kept.
        const QueryReport raw = StandinHost::RunQuery({kind.raw});
        EXPECT_FALSE(raw.failed) << raw.message;
        EXPECT_TRUE(raw.instances.empty());
        EXPECT_EQ(Runs(raw), std::vector<std::string>{kind.tool + " failed"});
        EXPECT_EQ(LogAt(raw, 1), std::vector<std::string>{kind.tool + " aborted: " + faulty.message});

        // The fault gone, the next query collects again without Shutdown; a
        // Fibre Channel collection that succeeded before an iSCSI failure is kept.
        Heal();
        ExpectHealthyAgain(&kind == &kFibreChannel ? std::vector<std::string>{kScliOk, kIscliOk, kIscliOk}
                                                   : std::vector<std::string>{kIscliOk, kIscliOk});
        return;
    }
    ASSERT_FALSE(faulty.failed) << faulty.message;
    EXPECT_EQ(Described(faulty), Expected(c));
    for (const Kind* kind : kKinds) {
        ExpectRaw(faulty, *kind, c.raw[kind == &kIScsi], outputs_[kind == &kIScsi]);
    }
    // iSCSI discovery logs every block it cut, as detail.
    EXPECT_EQ(LogAt(faulty, 3).size(), c.adapters[1] ? 2u : 0u);
    EXPECT_TRUE(LogAt(faulty, 1).empty());
    EXPECT_EQ(Runs(faulty), (std::vector<std::string>{kScliOk, kIscliOk, kIscliOk}));

    // What a successful collection found is kept until Shutdown; the iSCSI
    // raw data alone runs its tool on every query.
    Heal();
    const QueryReport cached = StandinHost::RunQuery(velkor::ServedClasses());
    ASSERT_FALSE(cached.failed) << cached.message;
    EXPECT_EQ(Runs(cached), std::vector<std::string>{kIscliOk});
    EXPECT_EQ(Described(cached), Described(faulty));
    plugin_->Shutdown();
    ExpectHealthyAgain({kScliOk, kIscliOk, kIscliOk});
}

INSTANTIATE_TEST_SUITE_P(Matrix, FaultInjectionTest, ::testing::ValuesIn(Matrix()),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

}  // namespace
