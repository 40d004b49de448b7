// The program's options reach the cutter's options; a wrong option is refused by name.
#include "virtual-cutter/CommandLine.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace zopra::vc {
namespace {

TEST(CommandLine, EveryOptionReachesTheOptions) {
    const auto c = ParseCommandLine({"--link",
                                     "usbapi",
                                     "--model",
                                     "Tiber",
                                     "--cname=C9",
                                     "--version",
                                     "V3.01",
                                     "--date",
                                     "D",
                                     "--time",
                                     "T",
                                     "--speed",
                                     "30",
                                     "--force",
                                     "150",
                                     "--blade-offset",
                                     "500",
                                     "--vector-quality",
                                     "3",
                                     "--vector-smooth",
                                     "1",
                                     "--auto-unroll",
                                     "1",
                                     "--media",
                                     "3",
                                     "--paper-length",
                                     "1000",
                                     "--paper-width",
                                     "500.5",
                                     "--scale-x",
                                     "10100",
                                     "--scale-y",
                                     "9900",
                                     "--aas-x",
                                     "-40",
                                     "--aas-y",
                                     "120",
                                     "--blade-holder",
                                     "1",
                                     "--error-x",
                                     "1.01",
                                     "--error-y",
                                     "0.99",
                                     "--material",
                                     "90-110,0.250",
                                     "--crlf",
                                     "--log",
                                     "--silent",
                                     "--delay",
                                     "250",
                                     "--split",
                                     "--split-pause",
                                     "10",
                                     "--glue",
                                     "--no-cr",
                                     "--garbage",
                                     "--garbage-text",
                                     "??",
                                     "--vanish-after",
                                     "3"});
    const auto& o = c.options;
    const auto& s = o.state;
    EXPECT_EQ(o.link, Link::UsbApi);
    EXPECT_EQ(s.model, "Tiber");
    EXPECT_EQ(s.cname, "C9");
    EXPECT_EQ(s.version, "V3.01");
    EXPECT_EQ(s.date, "D");
    EXPECT_EQ(s.time, "T");
    EXPECT_EQ(s.speed, 30);
    EXPECT_EQ(s.force, 150);
    EXPECT_EQ(s.bladeOffset, 500);
    EXPECT_EQ(s.vectorQuality, 3);
    EXPECT_EQ(s.vectorSmooth, 1);
    EXPECT_EQ(s.autoUnroll, 1);
    EXPECT_EQ(s.mediaType, 3);
    EXPECT_DOUBLE_EQ(s.paperLengthMm, 1000.0);
    EXPECT_DOUBLE_EQ(s.paperWidthMm, 500.5);
    EXPECT_EQ(s.scaleX, 10100);
    EXPECT_EQ(s.scaleY, 9900);
    EXPECT_EQ(s.aasX, -40);
    EXPECT_EQ(s.aasY, 120);
    EXPECT_EQ(s.bladeHolder, 1);
    EXPECT_DOUBLE_EQ(o.errorX, 1.01);
    EXPECT_DOUBLE_EQ(o.errorY, 0.99);
    EXPECT_EQ(o.material, (Material{90, 110, 250}));
    EXPECT_EQ(o.lineEnd, LineEnd::CrLf);
    EXPECT_TRUE(c.log);
    EXPECT_FALSE(c.help);
    const Faults expected{true, 250, true, 10, true, true, true, 3};
    EXPECT_EQ(o.faults, expected);
    EXPECT_EQ(o.garbageText, "??");
}

TEST(CommandLine, WrongOptionsAreRefusedByName) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--bogus"}, "--bogus"},
        {{"--model"}, "--model"},
        {{"--model", "A,B"}, "--model"},
        {{"--cname", "x;y"}, "--cname"},
        {{"--speed", "fast"}, "--speed"},
        {{"--speed", "12.5"}, "--speed"},
        {{"--force", "-1"}, "--force"},
        {{"--scale-x", "0"}, "--scale-x"},
        {{"--error-x", "0"}, "--error-x"},
        {{"--error-y", "inf"}, "--error-y"},
        {{"--material", "90,0.25"}, "--material"},
        {{"--material", "110-90,0.25"}, "--material"},
        {{"--paper-width", "1e3"}, "--paper-width"},
        {{"--link", "parallel"}, "--link"},
        {{"--line-end", "lf"}, "--line-end"},
        {{"--crlf=yes"}, "--crlf"},
        {{"--vanish-after", "0"}, "--vanish-after"},
    };
    for (const auto& [args, named] : cases) {
        try {
            ParseCommandLine(args);
            ADD_FAILURE() << args.front() << " was accepted";
        } catch (const std::invalid_argument& error) {
            EXPECT_NE(std::string(error.what()).find(named), std::string::npos) << error.what();
        }
    }
}

} // namespace
} // namespace zopra::vc
