// The traffic ring: bounded in exchanges and in bytes per exchange, and every byte shown so
// that no exchange can break a line of the report.
#include "link/TrafficLog.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zopra {
namespace {

TEST(TrafficLog, KeepsTheLastExchangesOnlyAndCutsLongOnes) {
    TrafficLog log;
    log.Opened(kLinkSerial, "/dev/ttyUSB0");
    for (int i = 0; i < 600; ++i)
        log.Record(TrafficDirection::ToCutter, kLinkSerial, "Q" + std::to_string(i));
    log.Record(TrafficDirection::FromCutter, kLinkPrinterClass, std::string(64 * 1024, 'x'));

    const std::vector<TrafficExchange> kept = log.Exchanges();
    ASSERT_EQ(kept.size(), TrafficLog::kCapacity);
    // The opening and the first 100 writes went; the rest in order.
    EXPECT_EQ(kept.front().bytes, "Q101");
    EXPECT_EQ(kept.back().bytes.size(), TrafficLog::kKeptBytes);
    EXPECT_EQ(kept.back().size, 64u * 1024);

    const std::string text = TrafficText(kept);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 500);
    EXPECT_NE(text.find("from cutter  printer-class USB  xxx"), std::string::npos);
    EXPECT_NE(text.find("x ... (65536 bytes in all)\n"), std::string::npos);
}

TEST(TrafficLog, ShowsEveryByteAsPrintableText) {
    const struct {
        std::string bytes;
        std::string shown;
    } cases[] = {
        {"\x1b.R1:\r", "ESC.R1:\\r"},     {std::string("a\0b", 3), "a\\x00b"},
        {"\xff\x80", "\\xFF\\x80"},       {"line\nbreak", "line\\nbreak"},
        {"back\\slash", "back\\\\slash"}, {"\x7f\x01", "\\x7F\\x01"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EscapedBytes(c.bytes), c.shown);

    TrafficLog log;
    std::string every;
    for (int byte = 0; byte < 256; ++byte)
        every += static_cast<char>(byte);
    log.Record(TrafficDirection::FromCutter, kLinkVendorUsb, every);
    const std::string line = TrafficText(log.Exchanges());
    ASSERT_EQ(line.back(), '\n');
    EXPECT_TRUE(std::all_of(line.begin(), line.end() - 1, [](char c) {
        return c >= 0x20 && c < 0x7f;
    })) << line;
}

} // namespace
} // namespace zopra
