// The serial line assembly on its own: lines across reads, bytes waiting behind a CR, the
// overlong line, and a fresh start.
#include "link/LineAssembler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zopra {
namespace {

// Feeds each read once nothing waits from the one before, and takes every line it can.
std::vector<std::string> Lines(LineAssembler& assembler, const std::vector<std::string>& reads) {
    std::vector<std::string> lines;
    for (const std::string& read : reads) {
        EXPECT_EQ(assembler.Feed(read), read.size());
        while (auto line = assembler.TakeLine())
            lines.emplace_back(*line);
    }
    return lines;
}

TEST(LineAssembler, CutsLinesAtCr) {
    struct Case {
        std::vector<std::string> reads;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {{"12,34\r56\r"}, {"12,34", "56"}},
        {{"1", "2,3", "4\r"}, {"12,34"}},
        {{"A\r\nB\r"}, {"A", "\nB"}},          // the LF after a CR opens the next line
        {{"A,B\r", "C"}, {"A,B"}},              // an unended line is not delivered
        {{"\r\r"}, {"", ""}},
        {{std::string(4095, 'x') + "\r"}, {std::string(4095, 'x')}},
        {{std::string(4096, 'x'), "tail\rnext\r"}, {"next"}}, // too long: dropped to its CR
    };
    for (const Case& c : cases) {
        LineAssembler assembler;
        EXPECT_EQ(Lines(assembler, c.reads), c.lines) << c.reads.front().substr(0, 12);
    }
}

TEST(LineAssembler, BytesBehindACrWaitAndResetDropsThem) {
    LineAssembler assembler;
    assembler.Feed("A\rB\rC");
    EXPECT_EQ(assembler.TakeLine(), "A");
    EXPECT_TRUE(assembler.HasPending());
    EXPECT_EQ(assembler.TakeLine(), "B");
    EXPECT_EQ(assembler.TakeLine(), std::nullopt);
    EXPECT_FALSE(assembler.HasPending());

    assembler.Feed("D\rE\r");
    EXPECT_EQ(assembler.TakeLine(), "CD");
    assembler.Reset(); // a new opening: neither "E" nor any begun line survives
    EXPECT_FALSE(assembler.HasPending());
    assembler.Feed("F");
    assembler.Reset();
    assembler.Feed("G\r");
    EXPECT_EQ(assembler.TakeLine(), "G");
}

TEST(LineAssembler, TakesNoMoreThanItsCapacity) {
    LineAssembler assembler;
    assembler.Feed("A\r");
    const std::string big(LineAssembler::kCapacity, 'y');
    EXPECT_EQ(assembler.Feed(big), LineAssembler::kCapacity - 2);
}

} // namespace
} // namespace zopra
