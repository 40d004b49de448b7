#include "protocol/Numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>

namespace zopra {
namespace {

TEST(StrToFloat, AcceptsDecimalTextWithBlanksSignAndExponent) {
    struct Case {
        const char* text;
        long double value;
    };
    for (const Case& c :
         {Case{" 12.5 ", 12.5L}, Case{"-3", -3.0L}, Case{"1e2", 100.0L}, Case{"+0.25", 0.25L},
          Case{".5", 0.5L}, Case{"7.", 7.0L}, Case{"2.5E-1", 0.25L}}) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(StrToFloat(c.text), c.value);
    }
}

TEST(StrToFloat, RejectsAnythingElseWithTheConversionMessage) {
    for (const char* text : {"", " ", "12a", "inf", "nan", "0x10", "1,5", "1e", "--1", "+", "1 2",
                             "e5", "1e+", "infinity", "1e99999"}) {
        SCOPED_TRACE(text);
        try {
            StrToFloat(text);
            ADD_FAILURE() << "accepted";
        } catch (const ConversionError& e) {
            EXPECT_EQ(e.what(), "'" + std::string(text) + "' is not a valid floating point value");
        }
    }
}

TEST(StrToFloat, RoundsLikeTheCLibraryInExtendedPrecision) {
    // Typed values have a few digits and small exponents (within 10^27 either way); each
    // must come out as the nearest extended value, as the C library's own conversion gives
    // it in the "C" locale.
    std::mt19937_64 random(20261207);
    for (int n = 0; n < 20000; ++n) {
        const std::uint64_t digits = random() % 100000000000ULL;
        const int decimals = static_cast<int>(random() % 12);
        std::string text = std::to_string(digits);
        if (decimals > 0) {
            text.insert(0, std::string(decimals + 1 > static_cast<int>(text.size())
                                           ? decimals + 1 - text.size()
                                           : 0,
                                       '0'));
            text.insert(text.size() - decimals, ".");
        }
        if (random() % 4 == 0)
            text += "e" + std::to_string(static_cast<int>(random() % 21) - 10);
        ASSERT_EQ(StrToFloat(text), std::strtold(text.c_str(), nullptr)) << text;
    }
}

TEST(StrToFloat, ExactDownToTheSmallestSubnormalAndUpToTheLargestValue) {
    using Limits = std::numeric_limits<long double>;
    struct Case {
        const char* text;
        long double value;
    };
    for (const Case& c : {
             Case{"3.64519953188247460253e-4951", Limits::denorm_min()},
             Case{"-3.64519953188247460253e-4951", -Limits::denorm_min()},
             Case{"3.36210314311209350626e-4932", Limits::min()},
             Case{"1.18973149535723176502e4932", Limits::max()},
             Case{"1e-5000", 0.0L}, // nearer to zero than to the smallest subnormal
             Case{"0.000000000000000000000000000000000000001e39", 1.0L},
             // Halfway between 1 and the next value: to even; a digit beyond it: up.
             Case{"1.0000000000000000000542101086242752217003726400434970855712890625", 1.0L},
             Case{"1.00000000000000000005421010862427522170037264004349708557128906250001",
                  1.0L + std::ldexp(1.0L, -63)},
         }) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(StrToFloat(c.text), c.value);
    }
    EXPECT_THROW(StrToFloat("1.2e4932"), ConversionError); // above the largest value

    // Every printed digit of values at the bottom of the range (subnormal or with
    // subnormal powers of ten on the way) reads back as the very same value.
    std::mt19937_64 random(4951);
    for (int n = 0; n < 2000; ++n) {
        const long double value = std::ldexp(static_cast<long double>(random()),
                                             -16445 - 63 + static_cast<int>(random() % 200));
        char text[64];
        std::snprintf(text, sizeof text, "%.20Le", value);
        ASSERT_EQ(StrToFloat(text), value) << text;
    }
}

TEST(StrToFloat, FollowsTheGivenDecimalSeparator) {
    EXPECT_EQ(StrToFloat("1,5", ','), 1.5L);
    EXPECT_THROW(StrToFloat("1.5", ','), ConversionError);
}

TEST(Trunc, CutsTowardZeroAndRefusesWhatDoesNotFit) {
    EXPECT_EQ(Trunc(2.99L), 2);
    EXPECT_EQ(Trunc(-1.2L), -1);
    EXPECT_EQ(Trunc(-0.8L), 0);
    EXPECT_EQ(Trunc(2147483647.9L), 2147483647);
    for (long double bad :
         {2147483648.0L, -2147483649.0L, 1e30L, std::numeric_limits<long double>::infinity(),
          std::numeric_limits<long double>::quiet_NaN()}) {
        EXPECT_THROW(Trunc(bad), ConversionError);
    }
}

TEST(FormatGeneral, ShortestTextWithoutTrailingZeros) {
    struct Case {
        long double value;
        const char* text;
    };
    for (const Case& c :
         {Case{1.0L, "1"}, Case{120.0L, "120"}, Case{0.25L, "0.25"}, Case{0.01L, "0.01"},
          Case{3.53L, "3.53"}, Case{-40.0L, "-40"}, Case{1000.0L, "1000"}, Case{0.0L, "0"},
          Case{1e-5L, "1E-5"}, Case{0.1L + 0.2L, "0.3"}, Case{250 * 0.001L * 0.04L, "0.01"}}) {
        EXPECT_EQ(FormatGeneral(c.value), c.text) << static_cast<double>(c.value);
    }
    EXPECT_EQ(FormatGeneral(0.25L, ','), "0,25");
}

TEST(FormatFixed, LargeValuesAreWrittenWholeAndReadBackExactly) {
    for (long double value : {std::ldexp(1.0L, 1000), -std::numeric_limits<double>::max() * 1.0L,
                              std::numeric_limits<long double>::max()}) {
        for (int decimals : {1, 3}) {
            const std::string text = FormatFixed(value, decimals);
            SCOPED_TRACE(text.substr(0, 40));
            EXPECT_EQ(text.substr(text.size() - decimals - 1), "." + std::string(decimals, '0'));
            EXPECT_EQ(StrToFloat(text), value);
        }
    }
}

TEST(FormatFixed, PatternsOneAndThreeDecimals) {
    EXPECT_EQ(FormatFixed(500, 1), "500.0");
    EXPECT_EQ(FormatFixed(0, 1), "0.0");
    EXPECT_EQ(FormatFixed(0.175L, 3), "0.175");
    EXPECT_EQ(FormatFixed(1, 3), "1.000");
    EXPECT_EQ(FormatFixed(-0.01L, 1), "0.0");
    EXPECT_EQ(FormatFixed(500, 1, ','), "500,0");
}

TEST(Units, TypedLengthsToPlotterUnits) {
    struct Case {
        const char* typed;
        bool inches;
        std::int32_t testSquare;
    };
    // In extended precision a whole number of inches lands just below the integer.
    for (const Case& c :
         {Case{"500.0", false, 20000}, Case{"1", true, 1015}, Case{"10", true, 10159},
          Case{"19.685", true, 19999}, Case{"1.5", false, 60}}) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(TestSquareUnits(StrToFloat(c.typed), c.inches), c.testSquare);
    }
    EXPECT_EQ(AasUnits(StrToFloat("1.5"), false), 60);
    EXPECT_EQ(AasUnits(StrToFloat("0.1"), true), 100);
}

TEST(Units, AasSumTruncatesEachTerm) {
    // The update adds the truncated adjustment to the truncated current offset.
    auto sum = [](const char* adjust, const char* current) {
        return AasUnits(StrToFloat(adjust), false) + AasUnits(StrToFloat(current), false);
    };
    EXPECT_EQ(sum("0.1", "0.075"), 7);
    EXPECT_EQ(sum("-0.03", "0"), -1);
    EXPECT_EQ(sum("0.02", "0"), 0);
}

TEST(Units, DisplayConversions) {
    EXPECT_EQ(PlotterUnitsToMm(40000), 1000.0);
    EXPECT_EQ(PlotterUnitsToMm(20000), 500.0);
    EXPECT_EQ(FormatGeneral(BladeOffsetToDisplay(250, false)), "0.25");
    EXPECT_EQ(FormatGeneral(BladeOffsetToDisplay(250, true)), "0.01");
    EXPECT_EQ(FormatGeneral(AasUnitsToDisplay(-40, false)), "-1");
    EXPECT_EQ(FormatGeneral(AasUnitsToDisplay(3, false)), "0.075");
    EXPECT_EQ(BladeOffsetFromDisplay(StrToFloat("0.010"), true), 250.0L);
    EXPECT_EQ(PaperInchText(1000), "39.37");
    EXPECT_EQ(PaperInchText(-1000), "39.37");
}

TEST(Units, OunceDisplayRule) {
    struct Case {
        int grams;
        const char* text;
    };
    for (const Case& c : {Case{5, "0.18"}, Case{10, "0.35"}, Case{100, "3.53"}, Case{200, "7.05"},
                          Case{400, "14.11"}}) {
        EXPECT_EQ(OunceText(c.grams), c.text) << c.grams;
    }
}

// Starting Qt sets LC_NUMERIC from the user's environment; a German one makes printf write
// ",". Text the program makes for itself and for the cutter must not follow it.
TEST(NumberText, DoesNotFollowTheCLibrarysLocale) {
    struct NumericLocale {
        std::string saved = std::setlocale(LC_NUMERIC, nullptr);
        ~NumericLocale() { std::setlocale(LC_NUMERIC, saved.c_str()); }
    } restore;
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed (./run test makes it)";
    EXPECT_EQ(FormatGeneral(4.2328042328042L), "4.2328042328042");
    EXPECT_EQ(FormatGeneral(0.5L, ','), "0,5");
    EXPECT_EQ(FormatFixed(500 / 25.4L, 3), "19.685");
    EXPECT_EQ(OunceText(120), "4.23"); // it reads its own text back
}

} // namespace
} // namespace zopra
