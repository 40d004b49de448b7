#include "protocol/ReplyParser.h"
#include "protocol/Commands.h"

#include <gtest/gtest.h>

namespace zopra {
namespace {

// Parses one reply with a code outstanding, as the receive thread does.
std::optional<ReplyFailure> Parse(MachineRecord& record, CommandCode code,
                                  std::string_view reply) {
    record.FPendingCommand = code;
    record.FWaitingReply = 1;
    return ParseReply(record, reply);
}

TEST(ReplyParser, HardClipLimitsGivePaperSizeInMm) {
    MachineRecord record;
    EXPECT_FALSE(Parse(record, kCmdHardClipLimits, "0,0,40000,20000"));
    EXPECT_EQ(record.Read().FPaperLength, 1000.0);
    EXPECT_EQ(record.Read().FPaperWidth, 500.0);
    EXPECT_EQ(record.FWaitingReply, 0);
}

TEST(ReplyParser, ConversionFailureStoresTheFieldsBeforeIt) {
    MachineRecord record;
    record.Write([](MachineSettings& v) { v.FPaperWidth = 123; });
    auto failure = Parse(record, kCmdHardClipLimits, "0,0,40000,20000;");
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code, kCmdHardClipLimits);
    EXPECT_EQ(failure->reply, "0,0,40000,20000;");
    EXPECT_EQ(failure->message, "'20000;' is not a valid floating point value");
    EXPECT_EQ(record.Read().FPaperLength, 1000.0);
    EXPECT_EQ(record.Read().FPaperWidth, 123.0);
    EXPECT_EQ(record.FWaitingReply, 0) << "a failed reply must not block later commands";

    // Parameters: speed and force stored, the offset fails, the rest keep old values.
    record.Write([](MachineSettings& v) { v.FVectorQuality = 9; });
    ASSERT_TRUE(Parse(record, kCmdReadParameters, "x,30,120,oops,1,0,1,3;"));
    const MachineSettings v = record.Read();
    EXPECT_EQ(v.FSpeed, 30);
    EXPECT_EQ(v.FBladeForce, 120);
    EXPECT_EQ(v.FBladeOffset, 0);
    EXPECT_EQ(v.FVectorQuality, 9);
}

TEST(ReplyParser, ValuesBeyondTheRangeOfADoubleAreUnreadable) {
    // The extended type reads them, but the record's double would hold infinity: each is a
    // conversion failure, and its field keeps the value it had.
    struct Case {
        CommandCode code;
        const char* reply;
        const char* token;
        double MachineSettings::*field;
    };
    for (const Case& c : {
             Case{kCmdReadParameters, "x,1e400,120,250,1,0,1,3;", "1e400",
                  &MachineSettings::FSpeed},
             Case{kCmdReadParameters, "x,30,-2e308,250,1,0,1,3;", "-2e308",
                  &MachineSettings::FBladeForce},
             Case{kCmdHardClipLimits, "0,0,1e309,20000", "1e309", &MachineSettings::FPaperLength},
             Case{kCmdHardClipLimits, "0,0,40000,1e4000", "1e4000", &MachineSettings::FPaperWidth},
             Case{kCmdReadScale, "x,1e400,1;", "1e400", &MachineSettings::FXScale},
             Case{kCmdReadAasOffsets, "x,1,-1e400;", "-1e400", &MachineSettings::FAASYOffset},
             Case{kCmdReadBladeHolder, "x,1e400;", "1e400", &MachineSettings::FBladeHolder},
         }) {
        SCOPED_TRACE(c.reply);
        MachineRecord record;
        record.Write([&](MachineSettings& v) { v.*c.field = 7; });
        const auto failure = Parse(record, c.code, c.reply);
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->message,
                  "'" + std::string(c.token) + "' is not a valid floating point value");
        EXPECT_EQ(record.Read().*c.field, 7);
        EXPECT_EQ(record.FWaitingReply, 0);
    }
    // The largest double itself is a value like any other.
    MachineRecord record;
    EXPECT_FALSE(Parse(record, kCmdReadBladeHolder, "x,1.7976931348623157e308;"));
    EXPECT_EQ(record.Read().FBladeHolder, 1.7976931348623157e308);
}

TEST(ReplyParser, SevenCuttingParameters) {
    MachineRecord record;
    EXPECT_FALSE(Parse(record, kCmdReadParameters, "x,30,120,250,1,0,1,3;\r"));
    const MachineSettings v = record.Read();
    EXPECT_EQ(v.FSpeed, 30);
    EXPECT_EQ(v.FBladeForce, 120);
    EXPECT_EQ(v.FBladeOffset, 250);
    EXPECT_EQ(v.FVectorQuality, 1);
    EXPECT_EQ(v.FVectorSmooth, 0);
    EXPECT_EQ(v.FAutoUnroll, 1);
    EXPECT_EQ(v.FMediaType, 3);
}

TEST(ReplyParser, IdentityTrimmedOnlyAtTheEnds) {
    for (std::string_view reply :
         {"x,C1,Vantor II 24 PZ,V2.00,D1,T1;", "  x,C1,Vantor II 24 PZ,V2.00,D1,T1;\r\n",
          "\nx,C1,Vantor II 24 PZ,V2.00,D1,T1;junk"}) {
        MachineRecord record;
        EXPECT_FALSE(Parse(record, kCmdReadIdentity, reply));
        const MachineSettings v = record.Read();
        EXPECT_EQ(v.FCName, "C1");
        EXPECT_EQ(v.FModelName, "Vantor II 24 PZ");
        EXPECT_EQ(v.FVersion, "V2.00");
        EXPECT_EQ(v.FDate, "D1");
        EXPECT_EQ(v.FTime, "T1");
        EXPECT_EQ(record.FIdentityReady, 1);
        EXPECT_EQ(record.FWaitingReply, 0);
    }
    // Blanks inside the fields are kept as received.
    MachineRecord record;
    Parse(record, kCmdReadIdentity, "x, C1 , Tiber ,V,D,T;");
    EXPECT_EQ(record.Read().FModelName, " Tiber ");
}

TEST(ReplyParser, PairsAndBladeHolder) {
    MachineRecord record;
    EXPECT_FALSE(Parse(record, kCmdReadScale, "x,10000,9990;"));
    EXPECT_FALSE(Parse(record, kCmdReadAasOffsets, "x,-40,120;"));
    EXPECT_FALSE(Parse(record, kCmdReadBladeHolder, "x,1;"));
    const MachineSettings v = record.Read();
    EXPECT_EQ(v.FXScale, 10000);
    EXPECT_EQ(v.FYScale, 9990);
    EXPECT_EQ(v.FAASXOffset, -40);
    EXPECT_EQ(v.FAASYOffset, 120);
    EXPECT_EQ(v.FBladeHolder, 1);
    EXPECT_EQ(record.FIdentityReady, 0);
}

TEST(ReplyParser, CommandsWithoutReplyStoreNothingAndClearTheFlag) {
    for (int code : {4, 5, 0, 18}) {
        MachineRecord record;
        EXPECT_FALSE(Parse(record, static_cast<CommandCode>(code), "x,1,2,3,4;"));
        const MachineSettings v = record.Read();
        EXPECT_EQ(v.FPaperLength, 0);
        EXPECT_EQ(v.FSpeed, 0);
        EXPECT_EQ(v.FXScale, 0);
        EXPECT_EQ(record.FWaitingReply, 0);
    }
}

TEST(ReplyParser, AMissingSeparatorEmptiesTheToken) {
    MachineRecord record;
    record.Write([](MachineSettings& v) { v.FBladeHolder = 5; });
    ASSERT_TRUE(Parse(record, kCmdReadBladeHolder, "x,1"));
    EXPECT_EQ(record.Read().FBladeHolder, 5);
}

TEST(ReplyParser, AReplyOfAnotherShapeIsNotStored) {
    // One stray line shifts every later reply onto the wrong query, where its shape differs.
    const std::pair<CommandCode, const char*> cases[] = {
        {kCmdReadIdentity, "0,0,40000,20000"},     {kCmdReadIdentity, ""},
        {kCmdReadParameters, "R3,10000,10000;"},   {kCmdReadBladeHolder, "R3,10000,10000;"},
        {kCmdReadScale, "R4,C1,Vantor,V2,D1,T1;"}, {kCmdHardClipLimits, "R6,1;"}};
    for (const auto& [code, reply] : cases) {
        MachineRecord record;
        record.Write([](MachineSettings& v) { v.FModelName = "kept"; });
        ASSERT_TRUE(Parse(record, code, reply)) << reply;
        const MachineSettings v = record.Read();
        EXPECT_EQ(v.FModelName, "kept") << reply;
        EXPECT_TRUE(v.FSpeed == 0 && v.FXScale == 0 && v.FBladeHolder == 0 && !v.FScalesRead &&
                    v.FPaperLength == 0 && record.FIdentityReady == 0)
            << reply;
    }
}

} // namespace
} // namespace zopra
