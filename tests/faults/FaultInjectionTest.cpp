// Faults injected end to end: the real plug-in module loaded through the
// platform loader, syvcore as its host inside this process, and the simulated
// tools started as programs by the process service, with their fault knobs and
// the host's limits set. Every case shows that the host goes on, that the
// faulty query gives what the plug-in defines for it (a result, or a
// TSYVException naming the tool and the cause), and that once the fault is
// gone a later query gives the whole machine again.
#include "PluginLibrary.h"
#include "Platform.h"
#include "TestEnvironment.h"
#include "host/Host.h"
#include "plugin/Constants.h"
#include "plugin/ServedClasses.h"
#include "syvcore/StandinHost.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using NORNSYV20::TCIMValue;
using NORNSYV20::TSYVStatusCode;
using syv::CommittedInstance;
using syv::QueryReport;
using syv::StandinHost;

// Generous, for a 50 MiB transcript under Wine and the sanitizers.
const int kToolSeconds = 120;
const std::uint64_t kDefaultOutputCap = std::uint64_t(64) << 20;
const std::size_t kBigTranscriptBytes = std::size_t(50) << 20;

#ifdef _WIN32
const char* const kCrashCause = "exit status 0xC0000005";
const char* const kUnrunnableCause = "not an executable format";
#else
const char* const kCrashCause = "killed by signal 11";
const char* const kUnrunnableCause = "permission denied";
#endif

const std::string kNul(1, '\0');

// One adapter kind: its tool, its classes and how its instances are named.
struct Kind {
    std::string tool;        // as the plug-in passes it to the process service
    std::string name;        // the tool's file name without ".exe"
    std::string knobPrefix;  // of its fault knobs
    std::string namePrefix;  // of device IDs and element names
    std::string controller, firmware, bios, controllerFirmware, controllerBios, raw;
    bool hasDriverFirmware;
};

const Kind kFibreChannel{velkor::kFibreChannelToolPath,
                         "scli",
                         "SCLI",
                         velkor::kFibreChannelNamePrefix,
                         velkor::kFibreChannelControllerClass,
                         velkor::kFibreChannelFirmwareElementClass,
                         velkor::kFibreChannelBiosElementClass,
                         velkor::kFibreChannelControllerFirmwareClass,
                         velkor::kFibreChannelControllerBiosClass,
                         velkor::kFibreChannelRawDataClass,
                         true};
const Kind kIScsi{velkor::kIScsiToolPath,
                  "iscli",
                  "ISCLI",
                  velkor::kIScsiNamePrefix,
                  velkor::kIScsiControllerClass,
                  velkor::kIScsiFirmwareElementClass,
                  velkor::kIScsiBiosElementClass,
                  velkor::kIScsiControllerFirmwareClass,
                  velkor::kIScsiControllerBiosClass,
                  velkor::kIScsiRawDataClass,
                  false};

struct Adapter {
    std::string model, firmware, driverFirmware, bios;  // driverFirmware: Fibre Channel only
};

// What a query gives for one kind: its adapters, and whether the raw-data
// class has an instance (holding the lines of what the tool printed).
struct Outcome {
    std::vector<Adapter> adapters;
    bool rawPublished;
};

// The default transcripts' machine.
const Outcome kFibreChannelMachine{{{"FCX-1620D", "8.08.231", "8.08.231", "3.63"},
                                    {"FCX-1620D", "8.08.231", "8.08.231", "3.63"},
                                    {"FCX-820S", "5.09.04", "5.09.04", "2.16"}},
                                   true};
const Outcome kIScsiMachine{{{"IC-4032", "3.01.04.08", "", "2.01.22"}, {"IC-4032", "3.01.04.08", "", "2.01.22"}}, true};

Outcome Blank(std::size_t adapters, bool rawPublished) {
    return Outcome{std::vector<Adapter>(adapters), rawPublished};
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// The lines that end in CR LF, without it: what a raw-data capture keeps.
std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// Random bytes of every value, NUL, CR and LF included.
std::string BinaryGarbage(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string text(size, '\0');
    for (char& c : text) {
        c = static_cast<char>(byte(random));
    }
    return text;
}

// A NUL byte at the start of every line, and one inside a value the parser
// reads.
std::string WithNulBytes(const std::string& transcript, const std::string& value, const std::string& withNul) {
    return ReplaceAll(ReplaceAll(transcript, value, withNul), "\r\n", "\r\n" + kNul);
}

// The default machine with a long target listing in every adapter block, so
// that the transcript reaches the given size; the first adapter reports its
// BIOS version as "N/A" ahead of the listing, so that the lookup has to go
// past it into the adapter's VPD part.
std::string BigFibreChannelTranscript(std::string transcript, std::size_t size) {
    const std::string bios = "BIOS Version                   : 3.63\r\n";
    const std::size_t biosAt = transcript.find(bios);
    if (biosAt == std::string::npos) {
        throw std::runtime_error("the default transcript has changed: no " + bios);
    }
    transcript.replace(biosAt, bios.size(), "BIOS Version                   : N/A\r\n");

    const std::string rule(78, '-');
    const std::string sectionStart = rule + "\r\nHBA Port Statistics";
    const std::size_t blocks = 3;
    const auto targetLine = [](std::size_t block, std::size_t n) {
        std::string number = std::to_string(n);
        number.insert(0, 7 - number.size(), '0');
        return "  Target " + number + "  Node Name : 50-06-01-60-BB-20-0" + std::to_string(block) +
               "-01  Port Name : 50-06-01-6" + std::to_string(block) +
               "-3B-A0-00-01  Port ID : 01-0A-00  Vendor : EXAMPLE  Product : ARRAY-9000  Revision : 0533"
               "  LUNs : 16  Status : Online\r\n";
    };
    const std::size_t lineSize = targetLine(0, 0).size();
    const std::size_t linesPerBlock = (size - transcript.size()) / (blocks * lineSize) + 1;

    std::size_t at = transcript.find(sectionStart);
    for (std::size_t block = 0; block < blocks; ++block, at = transcript.find(sectionStart, at)) {
        if (at == std::string::npos) {
            throw std::runtime_error("the default transcript has changed: fewer than three statistics sections");
        }
        std::string listing = rule + "\r\nHBA Target Information\r\n" + rule + "\r\n";
        listing.reserve(listing.size() + linesPerBlock * lineSize + 2);
        for (std::size_t n = 0; n < linesPerBlock; ++n) {
            listing += targetLine(block, n);
        }
        listing += "\r\n";
        transcript.insert(at, listing);
        at += listing.size() + sectionStart.size();
    }
    return transcript;
}

const std::string kFibreChannelBanner = "Fibre Channel Adapter Command Line Interface  Version 2.4.0 Build 17\r\n\r\n";
const std::string kIScsiBanner = "iSCSI Adapter Command Line Utility  v1.9.4\r\n\r\n";

// Every fault knob of the tools and every host setting a case may change, and
// the way back to a healthy machine.
class Injector {
public:
    explicit Injector(std::string scratch) : scratch_(std::move(scratch)) {
        fs::remove_all(scratch_);
        fs::create_directories(scratch_);
        Heal();
    }
    Injector(const Injector&) = delete;
    Injector& operator=(const Injector&) = delete;
    ~Injector() {
        environment_.reset();
        StandinHost::SetToolsFolder(syv::ProgramFolder());
        StandinHost::SetMaxToolSeconds(0);
        StandinHost::SetMaxOutputBytes(kDefaultOutputCap);
    }

    void Heal() {
        environment_.reset(new testsupport::ScopedEnvironment());
        StandinHost::SetToolsFolder(syv::ProgramFolder());
        StandinHost::SetMaxToolSeconds(kToolSeconds);
        StandinHost::SetMaxOutputBytes(kDefaultOutputCap);
        outputs_.clear();
    }

    // What the tool prints by default, and what it prints now.
    static std::string DefaultOutput(const Kind& kind) {
        return testsupport::ReadFile(syv::ProgramFolder() + "/qlogic/" + kind.name + ".txt");
    }
    std::string Output(const Kind& kind) const {
        const auto found = outputs_.find(kind.name);
        return found != outputs_.end() ? found->second : DefaultOutput(kind);
    }

    void Print(const Kind& kind, const std::string& output) {
        const std::string path = scratch_ + "/" + kind.name + "-output.txt";
        testsupport::WriteFile(path, output);
        Knob(kind, "TRANSCRIPT", path);
        outputs_[kind.name] = output;
    }

    void Knob(const Kind& kind, const std::string& knob, const std::string& value) {
        environment_->Set(kind.knobPrefix + "_" + knob, value);
    }

    // A tools folder without the kind's tool.
    void ToolsWithout(const Kind& kind) { StandinHost::SetToolsFolder(OtherToolOnly(kind, "without")); }

    // A tools folder with a file in the tool's place that is no program: text,
    // and not executable.
    void ToolsWithUnrunnable(const Kind& kind) {
        const std::string tools = OtherToolOnly(kind, "unrunnable");
        const std::string program = tools + "/qlogic/" + kind.name + ".exe";
        testsupport::WriteFile(program, DefaultOutput(kind));
        fs::permissions(program, fs::perms::owner_read | fs::perms::owner_write);
        StandinHost::SetToolsFolder(tools);
    }

private:
    // A new tools folder holding the other kind's tool and its transcript.
    std::string OtherToolOnly(const Kind& kind, const std::string& label) const {
        const std::string tools = scratch_ + "/tools-" + label + "-" + kind.name;
        const Kind& other = &kind == &kFibreChannel ? kIScsi : kFibreChannel;
        fs::create_directories(tools + "/qlogic");
        for (const char* suffix : {".exe", ".txt"}) {
            fs::copy_file(syv::ProgramFolder() + "/qlogic/" + other.name + suffix,
                          tools + "/qlogic/" + other.name + suffix, fs::copy_options::overwrite_existing);
        }
        return tools;
    }

    std::string scratch_;
    std::unique_ptr<testsupport::ScopedEnvironment> environment_;
    std::map<std::string, std::string> outputs_;
};

// One row of the matrix: a fault and what the plug-in defines for it. A
// status other than 0 means the query fails with it, naming the failing
// kind's tool and the words given; 0 means it gives the two outcomes.
struct FaultCase {
    std::string name;
    std::function<void(Injector&)> inject;
    std::uint32_t status;
    const Kind* failing;
    std::vector<std::string> says;
    Outcome fibreChannel;
    Outcome iscsi;
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

FaultCase Fails(std::string name, std::function<void(Injector&)> inject, std::uint32_t status, const Kind& kind,
                std::vector<std::string> says) {
    return FaultCase{std::move(name), std::move(inject), status, &kind, std::move(says), {}, {}};
}

FaultCase Gives(std::string name, std::function<void(Injector&)> inject, Outcome fibreChannel, Outcome iscsi) {
    return FaultCase{std::move(name), std::move(inject), 0, nullptr, {}, std::move(fibreChannel), std::move(iscsi)};
}

std::vector<FaultCase> Matrix() {
    const std::string nulModel = "FCX-" + kNul + "820S";
    const std::string nulRom = "2.01" + kNul + ".22";
    Outcome nulFibreChannel = kFibreChannelMachine;
    nulFibreChannel.adapters[2].model = nulModel;
    Outcome nulIScsi = kIScsiMachine;
    for (Adapter& adapter : nulIScsi.adapters) {
        adapter.bios = nulRom;
    }

    return {
        // What the process service reports.
        Fails("ScliMissing", [](Injector& in) { in.ToolsWithout(kFibreChannel); },
              TSYVStatusCode::kProgramNotStarted, kFibreChannel, {"could not be started", "no such file"}),
        Fails("ScliNotAProgram", [](Injector& in) { in.ToolsWithUnrunnable(kFibreChannel); },
              TSYVStatusCode::kProgramNotStarted, kFibreChannel, {"could not be started", kUnrunnableCause}),
        Fails("ScliCrashes", [](Injector& in) { in.Knob(kFibreChannel, "CRASH", "1"); },
              TSYVStatusCode::kProgramCrashed, kFibreChannel, {"terminated abnormally", kCrashCause}),
        Fails("ScliHangs",
              [](Injector& in) {
                  in.Knob(kFibreChannel, "DELAY_MS", "600000");
                  StandinHost::SetMaxToolSeconds(1);
              },
              TSYVStatusCode::kProgramTimedOut, kFibreChannel,
              {"did not finish within its timeout", "still running after 1 s", "killed"}),
        Fails("ScliOutputPassesTheCap", [](Injector&) { StandinHost::SetMaxOutputBytes(4096); },
              TSYVStatusCode::kProgramOutputTooLarge, kFibreChannel,
              {"exceeded the size limit", "more than 4096 bytes of output", "killed"}),
        Fails("IscliMissing", [](Injector& in) { in.ToolsWithout(kIScsi); }, TSYVStatusCode::kProgramNotStarted,
              kIScsi, {"could not be started", "no such file"}),
        Fails("IscliCrashes", [](Injector& in) { in.Knob(kIScsi, "CRASH", "1"); }, TSYVStatusCode::kProgramCrashed,
              kIScsi, {"terminated abnormally", kCrashCause}),
        // An exit code is no failure: the output decides.
        Gives("ScliExitsNonZero", [](Injector& in) { in.Knob(kFibreChannel, "EXIT_CODE", "3"); },
              kFibreChannelMachine, kIScsiMachine),
        Gives("IscliExitsNonZeroWithAnErrorText",
              [](Injector& in) {
                  in.Knob(kIScsi, "EXIT_CODE", "1");
                  in.Print(kIScsi, "iSCSI Adapter Command Line Utility  v1.9.4\r\n"
                                   "Error: Unable to open the adapter driver interface (error 0x2), Board Type "
                                   "unknown.\r\n\r\n");
              },
              kFibreChannelMachine, Blank(0, false)),
        // Malformed output.
        Gives("BinaryGarbage",
              [](Injector& in) {
                  in.Print(kFibreChannel, BinaryGarbage(std::size_t(1) << 20, 1));
                  in.Print(kIScsi, BinaryGarbage(std::size_t(1) << 20, 2));
              },
              Blank(0, false), Blank(0, false)),
        // NUL bytes are data: they start every line and stay inside values.
        Gives("NulBytes",
              [nulModel, nulRom](Injector& in) {
                  in.Print(kFibreChannel, WithNulBytes(Injector::DefaultOutput(kFibreChannel), "FCX-820S", nulModel));
                  in.Print(kIScsi, WithNulBytes(Injector::DefaultOutput(kIScsi), "2.01.22", nulRom));
              },
              nulFibreChannel, nulIScsi),
        // Three adapters with very long blocks.
        Gives("ScliFiftyMebibytes",
              [](Injector& in) {
                  in.Print(kFibreChannel, BigFibreChannelTranscript(Injector::DefaultOutput(kFibreChannel),
                                                                    kBigTranscriptBytes));
              },
              kFibreChannelMachine, kIScsiMachine),
        // Every value empty; the last label ends the output.
        Gives("ScliLabelsWithoutValues",
              [](Injector& in) {
                  in.Print(kFibreChannel, kFibreChannelBanner +
                                              "HBA General Information\r\n"
                                              "HBA Model                      :\r\n"
                                              "BIOS Version                   :   \r\n"
                                              "Flash Firmware Version         :\r\n"
                                              "Driver Firmware Version        :\r\n"
                                              "Finish in 0.42 seconds.\r\n\r\n"
                                              "HBA General Information\r\n"
                                              "HBA Model                      :\r\n"
                                              "BIOS Version                   :\r\n"
                                              "Flash Firmware Version         :\r\n"
                                              "Driver Firmware Version        :");
              },
              Blank(2, true), kIScsiMachine),
        // Every marker is an adapter, the last one ending the output.
        Gives("ScliBlockMarkersWithoutLabels",
              [](Injector& in) {
                  in.Print(kFibreChannel, kFibreChannelBanner +
                                              "HBA General Information\r\n"
                                              "Finish in 0.01 seconds.\r\n\r\n"
                                              "HBA General Information\r\n"
                                              "HBA General Information");
              },
              Blank(3, true), kIScsiMachine),
        Gives("IscliLabelsWithoutValues",
              [](Injector& in) {
                  in.Print(kIScsi, kIScsiBanner +
                                       "Displaying Port inst 0 of 2\r\n"
                                       "  Board Type          :\r\n"
                                       "  Chip Model          :\r\n"
                                       "  Firmware Version    :   \r\n"
                                       "  ROM Version         :\r\n\r\n"
                                       "Displaying Port inst 1 of 2\r\n"
                                       "  Board Type          :\r\n"
                                       "  Chip Model          :\r\n"
                                       "  Firmware Version    :\r\n"
                                       "  ROM Version         :");
              },
              kFibreChannelMachine, Blank(2, true)),
        Gives("IscliBlockMarkersWithoutLabels",
              [](Injector& in) {
                  in.Print(kIScsi, kIScsiBanner +
                                       "Displaying Port inst 0 of 3\r\n  Board Type\r\n"
                                       "Displaying Port inst 1 of 3\r\n  Board Type\r\n"
                                       "Displaying Port inst 2 of 3\r\n  Board Type");
              },
              kFibreChannelMachine, Blank(3, true)),
        // No adapter follows the marker; the lines before it are still raw data.
        Gives("IscliPresenceMarkerAlone", [](Injector& in) { in.Print(kIScsi, kIScsiBanner + "Displaying Port inst"); },
              kFibreChannelMachine, Blank(0, true)),
    };
}

const TCIMValue* Find(const CommittedInstance& instance, const std::string& name) {
    for (const auto& property : instance.properties) {
        if (property.first == name) {
            return &property.second;
        }
    }
    return nullptr;
}

std::string Describe(const TCIMValue& value) {
    switch (value.GetKind()) {
        case TCIMValue::eNull: return "null";
        case TCIMValue::eString: return "\"" + static_cast<std::string>(value) + "\"";
        case TCIMValue::eUint16: return std::to_string(value.GetUint16());
        case TCIMValue::eUint32: return std::to_string(static_cast<unsigned int>(value));
        case TCIMValue::eReference: return value.GetReference().ToObjectPath();
        case TCIMValue::eArray: {
            std::string text = "{";
            for (const TCIMValue& element : value.GetElements()) {
                text += Describe(element) + ",";
            }
            return text + "}";
        }
    }
    return "?";
}

// A property's value: a string as it stands, a reference as its path,
// anything else described.
std::string Text(const CommittedInstance& instance, const std::string& name) {
    const TCIMValue* value = Find(instance, name);
    if (value == nullptr) {
        return "<unset>";
    }
    switch (value->GetKind()) {
        case TCIMValue::eString: return static_cast<std::string>(*value);
        case TCIMValue::eReference: return value->GetReference().ToObjectPath();
        default: return Describe(*value);
    }
}

std::vector<CommittedInstance> OfClass(const QueryReport& report, const std::string& className) {
    std::vector<CommittedInstance> found;
    for (const CommittedInstance& instance : report.instances) {
        if (instance.className == className) {
            found.push_back(instance);
        }
    }
    return found;
}

// What the inventories serve, described whole: every instance but the iSCSI
// raw data, whose capture runs its tool on every query.
std::vector<std::string> KeptInstances(const QueryReport& report) {
    std::vector<std::string> described;
    for (const CommittedInstance& instance : report.instances) {
        if (instance.className != kIScsi.raw) {
            std::string text = std::string(instance.className) + " " + instance.path;
            for (const auto& property : instance.properties) {
                text.append(" ").append(property.first).append("=") += Describe(property.second);
            }
            described.push_back(text);
        }
    }
    return described;
}

// "TOOL ok" or "TOOL failed" per tool run, in order.
std::vector<std::string> Runs(const QueryReport& report) {
    std::vector<std::string> runs;
    for (const syv::ToolRun& run : report.toolRuns) {
        runs.push_back(run.command + (run.outcome == "ok" ? " ok" : " failed"));
    }
    return runs;
}

std::vector<std::string> LogAt(const QueryReport& report, int level) {
    std::vector<std::string> messages;
    for (const syv::LogEntry& entry : report.log) {
        if (entry.level == level) {
            messages.push_back(entry.message);
        }
    }
    return messages;
}

// Reports the first differing line only: a 50 MiB capture does not print.
void ExpectLines(const TCIMValue* value, const std::vector<std::string>& expected) {
    ASSERT_NE(value, nullptr);
    ASSERT_EQ(value->GetKind(), TCIMValue::eArray);
    const std::vector<TCIMValue>& lines = value->GetElements();
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].GetKind() != TCIMValue::eString || static_cast<std::string>(lines[i]) != expected[i]) {
            ADD_FAILURE() << "raw line " << i << " is " << Describe(lines[i]) << ", expected \"" << expected[i] << "\"";
            return;
        }
    }
}

// One instance of every per-adapter class for each adapter, with the
// adapter's values; the associations pair each controller with its own
// elements; the raw data holds what the tool printed.
void ExpectKind(const QueryReport& report, const Kind& kind, const Outcome& outcome, const std::string& output) {
    SCOPED_TRACE(kind.name);
    const std::size_t n = outcome.adapters.size();
    const std::vector<CommittedInstance> controllers = OfClass(report, kind.controller);
    const std::vector<CommittedInstance> firmware = OfClass(report, kind.firmware);
    const std::vector<CommittedInstance> bios = OfClass(report, kind.bios);
    ASSERT_EQ(controllers.size(), n);
    ASSERT_EQ(firmware.size(), n);
    ASSERT_EQ(bios.size(), n);
    for (std::size_t i = 0; i < n; ++i) {
        const Adapter& adapter = outcome.adapters[i];
        const std::string number = std::to_string(i + 1);
        EXPECT_EQ(Text(controllers[i], "DeviceID"), kind.namePrefix + number);
        EXPECT_EQ(Text(controllers[i], "ControllerNum"), std::to_string(i));
        EXPECT_EQ(Text(controllers[i], "ControllerType"), adapter.model);
        EXPECT_EQ(Text(firmware[i], "Name"), kind.namePrefix + number + " Firmware");
        EXPECT_EQ(Text(firmware[i], "Version"), adapter.firmware);
        if (kind.hasDriverFirmware) {
            EXPECT_EQ(Text(firmware[i], "DriverFirmwareVersion"), adapter.driverFirmware);
        }
        EXPECT_EQ(Text(bios[i], "Name"), kind.namePrefix + number + " BIOS");
        EXPECT_EQ(Text(bios[i], "Version"), adapter.bios);
    }
    const std::pair<const std::string*, const std::vector<CommittedInstance>*> associations[] = {
        {&kind.controllerFirmware, &firmware}, {&kind.controllerBios, &bios}};
    for (const auto& association : associations) {
        std::set<std::pair<std::string, std::string>> expected;
        for (std::size_t i = 0; i < n; ++i) {
            expected.emplace(controllers[i].path, (*association.second)[i].path);
        }
        std::set<std::pair<std::string, std::string>> pairs;
        const std::vector<CommittedInstance> committed = OfClass(report, *association.first);
        for (const CommittedInstance& instance : committed) {
            pairs.emplace(Text(instance, "Dependent"), Text(instance, "Antecedent"));
        }
        EXPECT_EQ(committed.size(), n) << *association.first;
        EXPECT_EQ(pairs, expected) << *association.first;
    }
    const std::vector<CommittedInstance> raw = OfClass(report, kind.raw);
    ASSERT_EQ(raw.size(), outcome.rawPublished ? 1u : 0u);
    if (outcome.rawPublished) {
        EXPECT_EQ(Text(raw[0], "Command"), kind.tool + " -z");
        ExpectLines(Find(raw[0], "RawResults"), CrLfLines(output));
    }
}

// A query of all twelve classes that collected both kinds.
void ExpectMachine(const QueryReport& report, const Outcome& fibreChannel, const std::string& fibreChannelOutput,
                   const Outcome& iscsi, const std::string& iscsiOutput) {
    ASSERT_FALSE(report.failed) << report.message;
    ExpectKind(report, kFibreChannel, fibreChannel, fibreChannelOutput);
    ExpectKind(report, kIScsi, iscsi, iscsiOutput);
    EXPECT_EQ(report.instances.size(), 5 * (fibreChannel.adapters.size() + iscsi.adapters.size()) +
                                           (fibreChannel.rawPublished ? 1 : 0) + (iscsi.rawPublished ? 1 : 0));
    // iSCSI discovery logs every block it cut.
    EXPECT_EQ(LogAt(report, 3).size(), iscsi.adapters.size());
    EXPECT_TRUE(LogAt(report, 1).empty());
}

void ExpectHealthyMachine(const QueryReport& report) {
    ExpectMachine(report, kFibreChannelMachine, Injector::DefaultOutput(kFibreChannel), kIScsiMachine,
                  Injector::DefaultOutput(kIScsi));
}

class FaultInjectionTest : public ::testing::TestWithParam<FaultCase> {
protected:
    void SetUp() override {
        StandinHost::LoadSchema(VELKOR_SCHEMA_DIR);
        StandinHost::ClearRegisteredPlugins();
        scratch_ = syv::ProgramFolder() + "/../faults-work/" + GetParam().name;
        injector_.reset(new Injector(scratch_));
        library_.reset(new syv::PluginLibrary(syv::ProgramFolder() + "/" + syv::kPluginFileName));
        const std::vector<NORNSYV20::IPluginCallbacks*> plugins = StandinHost::GetRegisteredPlugins();
        ASSERT_EQ(plugins.size(), 1u);
        plugin_ = plugins.front();
    }

    // As a host ends: Shutdown, Release, unload.
    void TearDown() override {
        if (plugin_ != nullptr) {
            plugin_->Shutdown();
            plugin_->Release();
        }
        StandinHost::ClearRegisteredPlugins();
        library_.reset();
        injector_.reset();
        // Generated transcripts stay behind only for a case that failed.
        if (!HasFailure()) {
            fs::remove_all(scratch_);
        }
    }

    std::string scratch_;
    std::unique_ptr<Injector> injector_;
    std::unique_ptr<syv::PluginLibrary> library_;
    NORNSYV20::IPluginCallbacks* plugin_ = nullptr;
};

const std::string kScliOk = kFibreChannel.tool + " ok";
const std::string kIscliOk = kIScsi.tool + " ok";

// The query fails with the case's status and says which tool failed and why;
// the failed collection leaves nothing behind, so the next query runs the
// tool again and, the fault gone, gives the whole machine without Shutdown.
void ExpectFailureThenRetry(const FaultCase& c, Injector& injector) {
    const Kind& kind = *c.failing;
    const QueryReport faulty = StandinHost::RunQuery(velkor::ServedClasses());
    ASSERT_TRUE(faulty.failed) << "a failed tool run reported as success";
    EXPECT_EQ(faulty.status, c.status) << faulty.message;
    EXPECT_EQ(faulty.message.rfind(TSYVStatusCode(c.status).TranslateStatusCode() + ": " + kind.tool, 0), 0u)
        << faulty.message;
    for (const std::string& word : c.says) {
        EXPECT_NE(faulty.message.find(word), std::string::npos) << "\"" << word << "\" not in: " << faulty.message;
    }
    // Collection fails before anything is built.
    EXPECT_TRUE(faulty.instances.empty());
    ASSERT_FALSE(faulty.toolRuns.empty());
    EXPECT_EQ(faulty.toolRuns.back().command, kind.tool);
    EXPECT_EQ(faulty.toolRuns.back().outcome, "failed: " + faulty.message);

    // The raw data alone does not fail: the failure is logged. That the
    // Fibre Channel tool runs here again shows that no inventory was kept.
    const QueryReport raw = StandinHost::RunQuery({kind.raw});
    EXPECT_FALSE(raw.failed) << raw.message;
    EXPECT_TRUE(raw.instances.empty());
    EXPECT_EQ(Runs(raw), std::vector<std::string>{kind.tool + " failed"});
    EXPECT_EQ(LogAt(raw, 1), std::vector<std::string>{kind.tool + " aborted: " + faulty.message});

    injector.Heal();
    const QueryReport recovered = StandinHost::RunQuery(velkor::ServedClasses());
    ExpectHealthyMachine(recovered);
    // A Fibre Channel collection that succeeded before an iSCSI failure is kept.
    const std::vector<std::string> runs = &kind == &kFibreChannel
                                              ? std::vector<std::string>{kScliOk, kIscliOk, kIscliOk}
                                              : std::vector<std::string>{kIscliOk, kIscliOk};
    EXPECT_EQ(Runs(recovered), runs);
}

// The query gives the case's outcomes. Whatever a successful collection found
// is kept until Shutdown: with the fault gone the next query still serves it,
// and only the query after Shutdown gives the whole machine.
void ExpectResultKeptUntilShutdown(const FaultCase& c, Injector& injector, NORNSYV20::IPluginCallbacks& plugin) {
    const QueryReport faulty = StandinHost::RunQuery(velkor::ServedClasses());
    ExpectMachine(faulty, c.fibreChannel, injector.Output(kFibreChannel), c.iscsi, injector.Output(kIScsi));
    EXPECT_EQ(Runs(faulty), (std::vector<std::string>{kScliOk, kIscliOk, kIscliOk}));

    injector.Heal();
    const QueryReport cached = StandinHost::RunQuery(velkor::ServedClasses());
    ASSERT_FALSE(cached.failed) << cached.message;
    // The iSCSI raw data alone runs its tool on every query.
    EXPECT_EQ(Runs(cached), std::vector<std::string>{kIscliOk});
    const std::vector<std::string> kept = KeptInstances(cached);
    EXPECT_TRUE(kept == KeptInstances(faulty)) << "the second query served " << kept.size() << " other instances";

    plugin.Shutdown();
    const QueryReport recovered = StandinHost::RunQuery(velkor::ServedClasses());
    ExpectHealthyMachine(recovered);
    EXPECT_EQ(Runs(recovered), (std::vector<std::string>{kScliOk, kIscliOk, kIscliOk}));
}

TEST_P(FaultInjectionTest, HostGoesOnAndALaterQueryGivesTheWholeMachine) {
    const FaultCase& c = GetParam();
    c.inject(*injector_);
    if (c.status != 0) {
        ExpectFailureThenRetry(c, *injector_);
    } else {
        ExpectResultKeptUntilShutdown(c, *injector_, *plugin_);
    }
}

INSTANTIATE_TEST_SUITE_P(Matrix, FaultInjectionTest, ::testing::ValuesIn(Matrix()),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

}  // namespace
