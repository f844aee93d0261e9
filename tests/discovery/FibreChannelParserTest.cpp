#include "Transcripts.h"

#include "discovery/FibreChannelParser.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace velkor {
namespace {

struct Adapter { std::string model; std::string bios; std::string firmware; std::string driverFirmware; };

struct TranscriptCase {
    std::string transcript;
    std::vector<Adapter> adapters;  // in output order
};

AdapterRecord Expected(std::size_t index, const Adapter& a) {
    return AdapterRecord{{kAdapterIndex, std::to_string(index)},
                         {kModel, a.model},
                         {kBiosVersion, a.bios},
                         {kFirmwareVersion, a.firmware},
                         {kDriverFirmwareVersion, a.driverFirmware}};
}

void PrintTo(const TranscriptCase& c, std::ostream* os) { *os << c.transcript; }

class FibreChannelTranscript : public testing::TestWithParam<TranscriptCase> {};

TEST_P(FibreChannelTranscript, ReadsOneRecordPerAdapterInOutputOrder) {
    const std::string output = test::ReadTranscript(GetParam().transcript);
    const std::vector<std::string> blocks = CutFibreChannelBlocks(output);

    std::vector<AdapterRecord> records;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        records.push_back(ReadFibreChannelRecord(static_cast<std::uint32_t>(i), blocks[i]));
    }
    std::vector<AdapterRecord> expected;
    for (std::size_t i = 0; i < GetParam().adapters.size(); ++i) {
        expected.push_back(Expected(i, GetParam().adapters[i]));
    }
    EXPECT_EQ(records, expected);
}

const Adapter kPort16G{"FCX-1620D", "3.63", "8.08.231", "8.08.231"};
const Adapter kPort8G{"FCX-820S", "2.16", "5.09.04", "5.09.04"};

TranscriptCase SixteenAdapters() {
    TranscriptCase c{"scli-sixteen-adapters.txt", {}};
    for (int n = 0; n < 16; ++n) {
        const bool older = n < 8;
        const std::string firmware = (older ? "8.08.231." : "9.12.01.") + std::string(n < 10 ? "0" : "") + std::to_string(n);
        c.adapters.push_back({older ? "FCX-1620D" : "FCX-3220D", (older ? "3.63." : "3.99.") + std::to_string(n),
                              firmware, firmware});
    }
    return c;
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, FibreChannelTranscript,
    testing::Values(
        TranscriptCase{"scli.txt", {kPort16G, kPort16G, kPort8G}},
        TranscriptCase{"scli-gen4-single.txt", {{"FCX-410S", "1.28", "4.04.09", "4.04.09"}}},
        TranscriptCase{"scli-gen32-quad.txt", std::vector<Adapter>(4, {"FCX-3240Q", "3.99", "9.12.01", "9.12.01"})},
        SixteenAdapters(),
        TranscriptCase{"scli-no-adapter.txt", {}},
        TranscriptCase{"scli-error.txt", {}},
        // "N/A" versions are looked up again after the block's next VPD part,
        // which may say "N/A" again or lack the label; the model never falls back.
        TranscriptCase{"scli-na-with-vpd.txt",
                       {{"N/A", "3.65", "8.08.233", "8.08.233"}, {"FCX-820S", "2.18", "5.09.07", ""}}},
        TranscriptCase{"scli-na-without-vpd.txt",
                       {{"N/A", "N/A", "N/A", "N/A"}, {"FCX-410S", "1.30", "4.04.11", "4.04.11"}}},
        // A label counts wherever it occurs first, also inside a longer label.
        TranscriptCase{"scli-nested-labels.txt", {{"Dual Port Adapter, low profile", "3.40", "8.07.100", "8.08.231"}}},
        // Spaces around values go, tabs and later colons stay; firmware values
        // keep their first word, BIOS versions all of theirs; a label line
        // without ":" takes the next ":"; a value without a line end is the
        // rest, as it stands.
        TranscriptCase{"scli-colons-spaces.txt",
                       {{"FCX-1620D", "BIOS: 3.63 (UEFI: 6.21)", "8.08.231", "\t8.08.231\t"},
                        {"FCX-820S", "2.16 build 2020-11-02 10:14:55", "5.09.04", ""}}},
        TranscriptCase{"scli-last-line.txt", {{"FCX-820S", "2.16", " 5.09.04 (d0d5)  ", "5.09.04"}}},
        TranscriptCase{"scli-cr-only.txt", {kPort16G, kPort8G}},
        // One record per start marker, each from its own adapter's text,
        // whatever the end markers do.
        TranscriptCase{"scli-missing-end-markers.txt", {kPort16G, kPort16G, kPort8G}},
        TranscriptCase{"scli-misplaced-end-markers.txt", {kPort16G, {"FCX-820S", "", "", ""}}}),
    test::TranscriptTestName<TranscriptCase>);

}  // namespace
}  // namespace velkor
