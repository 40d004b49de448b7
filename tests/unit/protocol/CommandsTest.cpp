#include "protocol/Commands.h"
#include "protocol/Calibration.h"
#include "protocol/ModelRules.h"
#include "protocol/Numbers.h"
#include "protocol/ReplyParser.h"

#include <gtest/gtest.h>

namespace zopra {
namespace {

const std::string E(1, '\x1b');

TEST(Commands, QueryTextsAreExactBytesWithoutLineEnd) {
    struct Case {
        CommandCode code;
        std::string text;
    };
    for (const Case& c :
         {Case{kCmdHardClipLimits, "OH;"}, Case{kCmdReadParameters, E + ".R1:"},
          Case{kCmdReadIdentity, E + ".R4:"}, Case{kCmdReadScale, E + ".R3:"},
          Case{kCmdReadAasOffsets, E + ".R5:"}, Case{kCmdReadBladeHolder, E + ".R6:"}}) {
        EXPECT_TRUE(IsQuery(c.code));
        EXPECT_EQ(QueryText(c.code), c.text) << c.code;
    }
    // Codes without a command write zero bytes.
    for (int number : {0, 8, 9, 10, 11, 12, 13, 14, 15, 16, 18, 20, -1}) {
        const auto code = static_cast<CommandCode>(number);
        EXPECT_FALSE(IsQuery(code));
        EXPECT_EQ(BuildCommandText(code, {}, {}), "") << code;
    }
    for (CommandCode code : {kCmdTestSquare, kCmdCalibrate, kCmdCalibrateAgain})
        EXPECT_FALSE(IsQuery(code));
}

TEST(Commands, TestSquareFromTypedSides) {
    CommandInputs in{"500.0", "500.0", "", "", false, '.'};
    EXPECT_EQ(BuildCommandText(kCmdTestSquare, in, {}),
              "VS30;SP1;PR;PU0,0;PD0,0,20000,0,0,20000,-20000,0,0,-20000;PU;");
    in = {"1", "10", "", "", true, '.'};
    EXPECT_EQ(BuildCommandText(kCmdTestSquare, in, {}),
              "VS30;SP1;PR;PU0,0;PD0,0,1015,0,0,10159,-1015,0,0,-10159;PU;");
    in = {"500,0", "250", "", "", false, ','};
    EXPECT_EQ(TestSquareText(20000, 10000),
              "VS30;SP1;PR;PU0,0;PD0,0,20000,0,0,10000,-20000,0,0,-10000;PU;");
    EXPECT_EQ(BuildCommandText(kCmdTestSquare, in, {}), TestSquareText(20000, 10000));
}

TEST(Commands, CalibrationScalesByMeasuredOverRequested) {
    MachineSettings record;
    record.FXScale = 10000;
    record.FYScale = 9990;
    record.FScalesRead = true;
    CommandInputs in{"500", "500", "505", "500", false, '.'};
    const std::string expected = E + ".C6;1;10100:" + E + ".C6;0;9990:" + E + ".C1;0;:" + E +
                                 ".C6;2;:PD;PU;";
    EXPECT_EQ(BuildCommandText(kCmdCalibrate, in, record), expected);
    EXPECT_EQ(BuildCommandText(kCmdCalibrateAgain, in, record), expected);
}

TEST(Commands, FieldsThatAreNoUsableNumberThrow) {
    MachineSettings record;
    record.FXScale = record.FYScale = 10000;
    record.FScalesRead = true;
    for (CommandInputs in : {CommandInputs{"abc", "500", "500", "500"},
                             CommandInputs{"500", "500", "", "500"},
                             CommandInputs{"0", "500", "505", "500"},      // divides by zero
                             CommandInputs{"1e12", "500", "500", "500"}}) { // does not fit
        const CommandCode code = in.testX == "1e12" ? kCmdTestSquare : kCmdCalibrate;
        EXPECT_THROW(BuildCommandText(code, in, record), ConversionError) << in.testX;
    }
}

TEST(Commands, SettingsUpdateNineWritesInOrder) {
    SettingsUpdate u;
    u.offsetIndex = 2;
    u.weightIndex = 1;
    u.accelIndex = 0;
    u.smoothIndex = 1;
    u.unrollIndex = 0;
    u.mediaIndex = -1; // nothing selected
    u.forceValue = BladeForceValue("vantor 24", 400);
    u.bladeHolderIndex = 1;
    const std::vector<std::string> expected = {
        E + ".C1;16;2:", E + ".C1;17;1:", E + ".C1;18;0:",   E + ".C1;19;1:", E + ".C1;20;0:",
        E + ".C1;21;-1:", E + ".C1;22;256:", E + ".C1;0;:", E + ".C1;32;1:"};
    EXPECT_EQ(SettingsUpdateWrites(u), expected);
}

TEST(Commands, AasOffsetWritesInGeneralFormat) {
    const std::vector<std::string> expected = {E + ".D6;120;-40:", E + ".C1;0;:"};
    EXPECT_EQ(AasOffsetWrites(120, -40), expected);
}

TEST(Commands, IdentificationProbeIsSevenBytes) {
    EXPECT_EQ(IdentificationProbe(), std::string("\x1b.R4:\r\n", 7));
}

TEST(Commands, ParameterReadOrder) {
    // The codes on the wire stay 1, 2, 19, 7, 3.
    const std::vector<CommandCode> full = {CommandCode{1}, CommandCode{2}, CommandCode{19},
                                           CommandCode{7}, CommandCode{3}};
    const std::vector<CommandCode> withoutHolder = {CommandCode{1}, CommandCode{2},
                                                    CommandCode{7}, CommandCode{3}};
    EXPECT_EQ(ParameterReadOrder("COM3"), full);
    EXPECT_EQ(ParameterReadOrder("Vantor II 24 PZ"), full);
    EXPECT_EQ(ParameterReadOrder("QT-24"), withoutHolder);
    EXPECT_EQ(ParameterReadOrder("my QT-24 cutter"), withoutHolder);
    EXPECT_EQ(ParameterReadOrder("qt-24"), full);
}

TEST(Commands, ASquareWithoutAreaIsRefused) {
    // 0.01 mm is no plotter unit at all.
    for (const auto& [x, y] : {std::pair{"0", "500"}, {"500", "-20"}, {"0.01", "500"}})
        EXPECT_THROW(BuildCommandText(kCmdTestSquare, {x, y, "", "", false, '.'}, {}),
                     ConversionError)
            << x << " x " << y;
}

TEST(Commands, CalibrationAndAasUpdateNeedValuesReadFromTheCutterNowConnected) {
    MachineRecord record;
    for (const auto& [code, reply] :
         {std::pair{kCmdReadScale, "R3,10000,10000;"}, {kCmdReadAasOffsets, "R5,40,5;"}}) {
        record.FPendingCommand = code;
        ASSERT_FALSE(ParseReply(record, reply));
    }
    const CommandInputs in{"500", "500", "505", "500", false, '.'};
    EXPECT_NO_THROW(BuildCommandText(kCmdCalibrate, in, record.Read()));
    EXPECT_NO_THROW(RequireAasOffsetsRead(record.Read()));
    // A new connection forgets them: Calibrate would send a scale of 0.
    record.Clear();
    EXPECT_THROW(BuildCommandText(kCmdCalibrate, in, record.Read()), NotReadError);
    EXPECT_THROW(RequireAasOffsetsRead(record.Read()), NotReadError);
}

} // namespace
} // namespace zopra
