// The byte stream is cut into commands the way the cutter's firmware reads it, whatever
// the reads look like and whatever noise lies between the commands.
#include "virtual-cutter/CommandReader.h"

#include <gtest/gtest.h>

#include <cctype>

namespace zopra::vc {
namespace {

struct ReaderCase {
    const char* name;
    std::string stream;
    std::vector<std::string> commands;
    std::string junk; // all junk bytes, in order
};

// Test names show the case's name, not a dump of its bytes.
void PrintTo(const ReaderCase& c, std::ostream* os) { *os << c.name; }

const std::vector<ReaderCase> kCases = {
    {"queries", "OH;\x1b.R1:\x1b.R4:", {"OH;", "\x1b.R1:", "\x1b.R4:"}, ""},
    {"probe with line end", "\x1b.R4:\r\n", {"\x1b.R4:"}, "\r\n"},
    {"settings keep their semicolons",
     "\x1b.C1;16;3:\x1b.D6;120;-40:",
     {"\x1b.C1;16;3:", "\x1b.D6;120;-40:"},
     ""},
    {"test square",
     "VS30;SP1;PR;PU0,0;PD0,0,20000,0,0,20000,-20000,0,0,-20000;PU;",
     {"VS30;", "SP1;", "PR;", "PU0,0;", "PD0,0,20000,0,0,20000,-20000,0,0,-20000;", "PU;"},
     ""},
    {"noise between commands",
     "\r\nzz\x01OH;\x7f\x1b.R6:\n",
     {"OH;", "\x1b.R6:"},
     "\r\nzz\x01\x7f\n"},
    {"broken escape, then a good one", "\x1b\x1b.R3:", {"\x1b.R3:"}, "\x1b"},
    {"ESC without dot", "\x1bX\x1b.R3:", {"\x1b.R3:"}, "\x1bX"},
    {"control byte inside an escape command",
     "\x1b.C1;16\r;3:\x1b.R1:",
     {"\x1b.R1:"},
     "\x1b.C1;16\r;3:"},
    {"letter inside HP-GL parameters", "PD10,x;PU;", {"PU;"}, "PD10,x;"},
    {"colon without a command", ":;OH;", {"OH;"}, ":;"},
};

class ReaderCases : public ::testing::TestWithParam<ReaderCase> {};

void Collect(const std::vector<StreamItem>& items, std::vector<std::string>& commands,
             std::string& junk) {
    for (const auto& item : items) {
        if (item.kind == StreamItem::Kind::Command)
            commands.push_back(item.bytes);
        else
            junk += item.bytes;
    }
}

TEST_P(ReaderCases, WholeStreamAndEverySplitGiveTheSameCommands) {
    const auto& c = GetParam();
    {
        CommandReader reader;
        std::vector<StreamItem> items;
        reader.Feed(c.stream, items);
        std::vector<std::string> commands;
        std::string junk;
        Collect(items, commands, junk);
        EXPECT_EQ(commands, c.commands);
        EXPECT_EQ(junk, c.junk);
    }
    // Every cut of the stream into two reads, and one byte per read.
    for (std::size_t cut = 0; cut <= c.stream.size(); ++cut) {
        CommandReader reader;
        std::vector<StreamItem> items;
        reader.Feed(c.stream.substr(0, cut), items);
        reader.Feed(c.stream.substr(cut), items);
        std::vector<std::string> commands;
        std::string junk;
        Collect(items, commands, junk);
        EXPECT_EQ(commands, c.commands) << "cut at " << cut;
        EXPECT_EQ(junk, c.junk) << "cut at " << cut;
    }
    CommandReader reader;
    std::vector<StreamItem> items;
    for (char byte : c.stream)
        reader.Feed(std::string(1, byte), items);
    std::vector<std::string> commands;
    std::string junk;
    Collect(items, commands, junk);
    EXPECT_EQ(commands, c.commands);
    EXPECT_EQ(junk, c.junk);
}

INSTANTIATE_TEST_SUITE_P(Streams, ReaderCases, ::testing::ValuesIn(kCases), [](const auto& info) {
    std::string name;
    for (char c : std::string(info.param.name))
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
});

TEST(CommandReader, ResetDropsAHalfReadCommand) {
    CommandReader reader;
    std::vector<StreamItem> items;
    reader.Feed("\x1b.R", items);
    reader.Reset();
    reader.Feed("4:OH;", items);
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items.back().bytes, "OH;");
    for (const auto& item : items)
        EXPECT_NE(item.bytes, "\x1b.R4:");
}

TEST(CommandReader, ReadableLogForm) {
    EXPECT_EQ(Readable("\x1b.R4:"), "ESC.R4:");
    EXPECT_EQ(Readable("\r\n"), "CR LF");
    EXPECT_EQ(Readable("R6,0;\r"), "R6,0; CR");
    EXPECT_EQ(Readable("a\x01\xff"), "a 0x01 0xFF");
}

} // namespace
} // namespace zopra::vc
