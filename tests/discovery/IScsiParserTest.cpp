#include "Transcripts.h"

#include "discovery/IScsiParser.h"
#include "discovery/TextScan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {
namespace {

struct Adapter { std::string model; std::string firmware; std::string rom; };

using Adapters = std::vector<Adapter>;

struct TranscriptCase {
    std::string transcript;
    std::optional<Adapters> adapters;  // nothing: not an adapter listing
};

void PrintTo(const TranscriptCase& c, std::ostream* os) { *os << c.transcript; }

class IScsiTranscript : public testing::TestWithParam<TranscriptCase> {};

TEST_P(IScsiTranscript, ReadsOneRecordPerAdapterInOutputOrder) {
    const std::string output = test::ReadTranscript(GetParam().transcript);
    const std::optional<std::vector<std::string_view>> blocks = CutIScsiBlocks(output);
    ASSERT_EQ(blocks.has_value(), GetParam().adapters.has_value());
    if (!blocks) {
        return;
    }
    std::vector<AdapterRecord> records;
    for (std::size_t i = 0; i < blocks->size(); ++i) {
        records.push_back(ReadIScsiRecord(static_cast<std::uint32_t>(i), OwnLines(*blocks, i)));
    }
    std::vector<AdapterRecord> expected;
    for (std::size_t i = 0; i < GetParam().adapters->size(); ++i) {
        const Adapter& a = (*GetParam().adapters)[i];
        expected.push_back(AdapterRecord{{kAdapterIndex, std::to_string(i)},
                                         {kModel, a.model},
                                         {kFirmwareVersion, a.firmware},
                                         {kBiosVersion, a.rom}});
    }
    EXPECT_EQ(records, expected);
}

const Adapter kPort10G{"IC-4032", "3.01.04.08", "2.01.22"};
const Adapter kPort1G{"IC-4010", "2.00.00.07", "1.07.05"};

TranscriptCase SixteenAdapters() {
    Adapters adapters;
    for (int n = 0; n < 16; ++n) {
        const bool older = n < 8;
        adapters.push_back({older ? "IC-4032" : "IC-8242", (older ? "3.01.04." : "5.04.00.") + std::to_string(n),
                            (older ? "2." : "3.") + std::string(n < 10 ? "0" : "") + std::to_string(n)});
    }
    return TranscriptCase{"iscli-sixteen-adapters.txt", adapters};
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, IScsiTranscript,
    testing::Values(
        TranscriptCase{"iscli.txt", Adapters{kPort10G, kPort10G}},
        TranscriptCase{"iscli-gen1-single.txt", Adapters{kPort1G}},
        TranscriptCase{"iscli-gen25-quad.txt", Adapters(4, {"IC-8242", "5.04.00.17", "3.10.04 (UEFI)"})},
        SixteenAdapters(),
        // Only output with the port display marker lists adapters, possibly none.
        TranscriptCase{"iscli-no-adapter.txt", std::nullopt},
        TranscriptCase{"iscli-error.txt", std::nullopt},
        TranscriptCase{"iscli-board-type-without-marker.txt", std::nullopt},
        TranscriptCase{"iscli-marker-without-board-type.txt", Adapters{}},
        // Each lookup continues after the previous value's line: labels count
        // only in the order model, firmware, ROM, and first wherever they
        // occur, also inside a longer label.
        TranscriptCase{"iscli-rom-before-firmware.txt",
                       Adapters{{"IC-4032", "3.01.04.08", ""}, {"IC-4032", "3.01.04.08", "2.01.23 (active)"}}},
        TranscriptCase{"iscli-nested-labels.txt", Adapters{{"IC-82xx", "1.22.3", "3.10.04 (UEFI)"}}},
        // Leading spaces go, spaces before the carriage return stay; later
        // colons stay; a label line without ":" takes the next ":"; a value
        // without a line end is the rest, as it stands.
        TranscriptCase{"iscli-colons-spaces.txt",
                       Adapters{{"IC-4032   ", "3.01.04.08 (built 2021-04-19 10:22:31)", "\t2.01.22\t "},
                                {"IC-4032 rev 2", "", "2.01.22"}}},
        TranscriptCase{"iscli-last-line.txt", Adapters{{"IC-4010", "2.00.00.07", "   1.07.05  "}}},
        TranscriptCase{"iscli-cr-only.txt", Adapters{kPort10G, kPort1G}},
        // Adapters printed close together: the first adapter's block reaches
        // into the second one, but the second one's ROM line does not answer
        // for the first.
        TranscriptCase{"iscli-close-adapters.txt",
                       Adapters{{"IC-4010", "2.00.00.07", ""},
                                {"IC-4032", "3.01.04.08", "2.01.22"},
                                {"IC-8242", "5.04.00.17", "3.10.04"}}}),
    test::TranscriptTestName<TranscriptCase>);

// Whatever the corpus holds: one block per "Board Type", in output order,
// starting at its marker, reaching at least to the next one, and holding at
// least the marker and 512 characters after it (fewer at the end).
TEST(IScsiBlocks, EachBlockIsABoundedWindowFromItsMarkerInEveryTranscript) {
    const std::string start = "Board Type";
    for (const std::string& name : test::TranscriptNames("iscli")) {
        SCOPED_TRACE(name);
        const std::string output = test::ReadTranscript(name);
        const std::optional<std::vector<std::string_view>> blocks = CutIScsiBlocks(output);
        ASSERT_EQ(blocks.has_value(), output.find("Displaying Port inst") != std::string::npos);
        if (!blocks) {
            continue;
        }
        std::size_t at = output.find(start);
        for (const std::string_view block : *blocks) {
            ASSERT_NE(at, std::string::npos);
            const std::size_t next = output.find(start, at + start.size());
            const std::size_t nextOrEnd = next == std::string::npos ? output.size() : next;
            EXPECT_EQ(block.data(), output.data() + at);
            EXPECT_EQ(block.size(), std::max(nextOrEnd - at, std::min<std::size_t>(output.size() - at, 522)));
            at = next;
        }
        EXPECT_EQ(at, std::string::npos) << "a marker without its block";
    }
}

}  // namespace
}  // namespace velkor
