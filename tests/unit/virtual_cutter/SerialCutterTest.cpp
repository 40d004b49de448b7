// The cutter on its serial presentation, driven over a real pty as the program drives it.
#include "TestSupport.h"

#include "platform/virtual/RuntimeDir.h"

#include <gtest/gtest.h>

#include <mutex>
#include <sys/stat.h>

namespace zopra::vc::test {
namespace {

namespace fs = std::filesystem;

const std::string kEsc = "\x1b";

CutterState DistinctState() {
    CutterState s;
    s.cname = "C1";
    s.model = "Vantor II 52";
    s.version = "V2.00";
    s.date = "D1";
    s.time = "T1";
    s.speed = 30;
    s.force = 150;
    s.bladeOffset = 500;
    s.vectorQuality = 3;
    s.vectorSmooth = 1;
    s.autoUnroll = 1;
    s.mediaType = 3;
    s.paperLengthMm = 1000;
    s.paperWidthMm = 500;
    s.scaleX = 10050;
    s.scaleY = 9950;
    s.aasX = -40;
    s.aasY = 120;
    s.bladeHolder = 1;
    return s;
}

// A started cutter with a client on its pty and its log collected.
class SerialCutter {
public:
    explicit SerialCutter(Options options = {}) {
        options.onLog = [this](const std::string& line) {
            std::lock_guard<std::mutex> lock(logMutex_);
            log_ += line + "\n";
        };
        cutter_ = std::make_unique<VirtualCutter>(std::move(options));
        cutter_->Start();
        client_ = std::make_unique<PtyClient>(cutter_->DevicePath());
    }

    VirtualCutter& Cutter() { return *cutter_; }
    PtyClient& Client() { return *client_; }

    // Writes one query and returns its reply, CR included.
    std::string Ask(const std::string& query) {
        client_->Write(query);
        return client_->ReadUntil("\r");
    }

    std::string Log() {
        std::lock_guard<std::mutex> lock(logMutex_);
        return log_;
    }

private:
    std::mutex logMutex_;
    std::string log_;
    std::unique_ptr<VirtualCutter> cutter_;
    std::unique_ptr<PtyClient> client_;
};

class SerialCutterTest : public ::testing::Test {
protected:
    ScopedRuntimeDir runtime_;
};

TEST_F(SerialCutterTest, EachQueryIsAnsweredInItsLayout) {
    Options options;
    options.state = DistinctState();
    SerialCutter c(options);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"OH;", "0,0,40000,20000\r"},        {kEsc + ".R1:", "R1,30,150,500,3,1,1,3;\r"},
        {kEsc + ".R3:", "R3,10050,9950;\r"}, {kEsc + ".R4:", "R4,C1,Vantor II 52,V2.00,D1,T1;\r"},
        {kEsc + ".R5:", "R5,-40,120;\r"},    {kEsc + ".R6:", "R6,1;\r"},
    };
    for (const auto& [query, reply] : cases)
        EXPECT_EQ(c.Ask(query), reply) << Readable(query);
    EXPECT_EQ(c.Cutter().CommandCount(), cases.size());
}

TEST_F(SerialCutterTest, CrLfEndsRepliesWithCrLf) {
    Options options;
    options.lineEnd = LineEnd::CrLf;
    SerialCutter c(options);
    c.Client().Write(kEsc + ".R6:");
    EXPECT_EQ(c.Client().ReadUntil("\n"), "R6,0;\r\n");
}

struct SettingCase {
    std::string command;
    std::string query;
    std::string reply; // after the setting
};

TEST_F(SerialCutterTest, EachSettingChangesTheStateAndTheNextQueryShowsIt) {
    // Starting from DistinctState, so that every setting makes a visible change.
    const std::vector<SettingCase> cases = {
        {kEsc + ".C1;16;0:", kEsc + ".R1:", "R1,30,150,0,3,1,1,3;\r"},
        {kEsc + ".C1;16;1:", kEsc + ".R1:", "R1,30,150,175,3,1,1,3;\r"},
        {kEsc + ".C1;16;3:", kEsc + ".R1:", "R1,30,150,275,3,1,1,3;\r"},
        {kEsc + ".C1;16;7:", kEsc + ".R1:", "R1,30,150,1000,3,1,1,3;\r"},
        {kEsc + ".C1;17;0:", kEsc + ".R1:", "R1,10,150,500,3,1,1,3;\r"},
        {kEsc + ".C1;17;1:", kEsc + ".R1:", "R1,60,150,500,3,1,1,3;\r"},
        {kEsc + ".C1;18;0:", kEsc + ".R1:", "R1,30,150,500,1,1,1,3;\r"},
        {kEsc + ".C1;18;1:", kEsc + ".R1:", "R1,30,150,500,3,1,1,3;\r"},
        {kEsc + ".C1;19;0:", kEsc + ".R1:", "R1,30,150,500,3,0,1,3;\r"},
        {kEsc + ".C1;20;0:", kEsc + ".R1:", "R1,30,150,500,3,1,0,3;\r"},
        {kEsc + ".C1;21;1:", kEsc + ".R1:", "R1,30,150,500,3,1,1,1;\r"},
        {kEsc + ".C1;21;0:", kEsc + ".R1:", "R1,30,150,500,3,1,1,3;\r"},
        {kEsc + ".C1;22;256:", kEsc + ".R1:", "R1,30,256,500,3,1,1,3;\r"},
        {kEsc + ".C1;32;0:", kEsc + ".R6:", "R6,0;\r"},
        {kEsc + ".C6;1;10100:", kEsc + ".R3:", "R3,10100,9950;\r"},
        {kEsc + ".C6;0;10000:", kEsc + ".R3:", "R3,10050,10000;\r"},
        {kEsc + ".D6;120;-40:", kEsc + ".R5:", "R5,120,-40;\r"},
        {kEsc + ".D6;0;0:", kEsc + ".R5:", "R5,0,0;\r"},
    };
    for (const auto& setting : cases) {
        Options options;
        options.state = DistinctState();
        SerialCutter c(options);
        c.Client().Write(setting.command);
        EXPECT_EQ(c.Ask(setting.query), setting.reply) << Readable(setting.command);
    }
}

TEST_F(SerialCutterTest, CommitsAreCounted) {
    SerialCutter c;
    c.Client().Write(kEsc + ".C1;0;:" + kEsc + ".C6;2;:" + kEsc + ".C1;0;:");
    ASSERT_TRUE(c.Cutter().WaitForCommands(3, kWait));
    EXPECT_EQ(c.Cutter().State().parameterCommits, 2);
    EXPECT_EQ(c.Cutter().State().scaleCommits, 1);
}

TEST_F(SerialCutterTest, BadSettingsLeaveTheStateAsItWasAndAreLogged) {
    const std::vector<std::string> bad = {
        ".C1;16;8:",   ".C1;16;-1:",
        ".C1;16;x:",   ".C1;16;3.0:",
        ".C1;16;:",    ".C1;16; 3:",
        ".C1;17;2:",   ".C1;18;-1:",
        ".C1;19;2:",   ".C1;20;5:",
        ".C1;21;2:",   ".C1;22;-5:",
        ".C1;32;2:",   ".C1;99;1:",
        ".C1;0;5:",    ".C1;16:",
        ".C1;16;3;4:", ".C6;1;0:",
        ".C6;0;-10:",  ".C6;1;abc:",
        ".C6;7;100:",  ".C6;2;1:",
        ".D6;1.5;2:",  ".D6;1:",
        ".D6;;:",      ".C1;22;99999999999:",
    };
    for (const auto& body : bad) {
        Options options;
        options.state = DistinctState();
        SerialCutter c(options);
        c.Client().Write(kEsc + body);
        EXPECT_EQ(c.Ask(kEsc + ".R1:"), "R1,30,150,500,3,1,1,3;\r") << body;
        EXPECT_EQ(c.Cutter().State(), DistinctState()) << body;
        EXPECT_NE(c.Log().find("ignored"), std::string::npos) << body;
    }
}

struct MechanismCase {
    double errorX, errorY;
    double plottedW, plottedH; // before calibration
    int scaleX, scaleY;        // what the program's calibration sends
};

// The program's test square of 500 by 500 mm, and its calibration for the measured size.
std::string TestSquare() {
    return "VS30;SP1;PR;PU0,0;PD0,0,20000,0,0,20000,-20000,0,0,-20000;PU;";
}
std::string Calibration(int x, int y) {
    return kEsc + ".C6;1;" + std::to_string(x) + ":" + kEsc + ".C6;0;" + std::to_string(y) + ":" +
           kEsc + ".C1;0;:" + kEsc + ".C6;2;:PD;PU;";
}

TEST_F(SerialCutterTest, MechanismErrorShowsBeforeCalibrationAndNotAfter) {
    const std::vector<MechanismCase> cases = {
        {1.01, 1.0, 505.0, 500.0, 10100, 10000},
        {1.0, 0.98, 500.0, 490.0, 10000, 9800},
        {1.0, 1.0, 500.0, 500.0, 10000, 10000},
    };
    for (const auto& m : cases) {
        Options options;
        options.errorX = m.errorX;
        options.errorY = m.errorY;
        SerialCutter c(options);
        c.Client().Write(TestSquare());
        ASSERT_TRUE(c.Cutter().WaitForCommands(6, kWait));
        auto figure = c.Cutter().LastClosedFigure();
        ASSERT_TRUE(figure.has_value());
        EXPECT_NEAR(figure->widthMm, m.plottedW, 1e-9);
        EXPECT_NEAR(figure->heightMm, m.plottedH, 1e-9);

        c.Client().Write(Calibration(m.scaleX, m.scaleY) + TestSquare());
        ASSERT_TRUE(c.Cutter().WaitForCommands(18, kWait));
        figure = c.Cutter().LastClosedFigure();
        ASSERT_TRUE(figure.has_value());
        EXPECT_NEAR(figure->widthMm, 500.0, 1e-9);
        EXPECT_NEAR(figure->heightMm, 500.0, 1e-9);
        // The calibration's PD;PU; moves nothing and leaves no figure.
        EXPECT_EQ(c.Cutter().Figures().size(), 2u);
    }
}

TEST_F(SerialCutterTest, PlottedSizeIsLogged) {
    Options options;
    options.errorX = 1.01;
    SerialCutter c(options);
    c.Client().Write(TestSquare());
    ASSERT_TRUE(c.Cutter().WaitForCommands(6, kWait));
    EXPECT_NE(c.Log().find("plotted 505.00 x 500.00 mm"), std::string::npos) << c.Log();
}

TEST_F(SerialCutterTest, AbsoluteRectangleAndOpenPath) {
    SerialCutter c;
    c.Client().Write("PA;PU1000,1000;PD5000,1000,5000,3000,1000,3000,1000,1000;PU;PD0,0;PU;");
    ASSERT_TRUE(c.Cutter().WaitForCommands(6, kWait));
    const auto figures = c.Cutter().Figures();
    ASSERT_EQ(figures.size(), 2u);
    EXPECT_TRUE(figures[0].closed);
    EXPECT_NEAR(figures[0].widthMm, 100.0, 1e-9);
    EXPECT_NEAR(figures[0].heightMm, 50.0, 1e-9);
    EXPECT_FALSE(figures[1].closed); // from 1000,1000 to 0,0
    EXPECT_NEAR(c.Cutter().LastClosedFigure()->widthMm, 100.0, 1e-9);
}

TEST_F(SerialCutterTest, CommandsSplitAcrossReadsAndGluedTogetherAreAllSeen) {
    SerialCutter c;
    auto& cutter = c.Cutter();
    auto& client = c.Client();
    // Each piece is written only after the cutter has taken the one before, so that the
    // pieces really arrive in separate reads.
    const std::vector<std::string> pieces = {kEsc + ".R",
                                             "4:",
                                             "OH;" + kEsc + ".R6:" + kEsc + ".C1;22;200:",
                                             "\r\n",
                                             "P",
                                             "D;PU;",
                                             "xyz\x01" + kEsc + kEsc + ".R3:"};
    std::size_t sent = 0;
    for (const auto& piece : pieces) {
        client.Write(piece);
        sent += piece.size();
        ASSERT_TRUE(Eventually([&] { return cutter.Received().size() == sent; }));
    }
    const std::vector<std::string> expected = {
        kEsc + ".R4:", "OH;", kEsc + ".R6:", kEsc + ".C1;22;200:", "PD;", "PU;", kEsc + ".R3:"};
    ASSERT_TRUE(cutter.WaitForCommands(expected.size(), kWait));
    EXPECT_EQ(cutter.Commands(), expected);
    EXPECT_EQ(cutter.State().force, 200);
    const std::string replies = "R4,QRM-CT,Vantor II 24 PZ,V2.10,2023-11-08,14:05;\r"
                                "0,0,80000,24000\rR6,0;\rR3,10000,10000;\r";
    EXPECT_EQ(client.ReadCount(replies.size()), replies);
    EXPECT_NE(c.Log().find("junk CR LF skipped"), std::string::npos);
}

TEST_F(SerialCutterTest, CallbackSeesEveryCommandAfterItsEffect) {
    SerialCutter c;
    std::mutex mutex;
    std::vector<std::pair<std::string, int>> seen; // command, force at the time
    c.Cutter().SetCommandCallback([&](const std::string& command) {
        const int force = c.Cutter().State().force;
        std::lock_guard<std::mutex> lock(mutex);
        seen.emplace_back(command, force);
    });
    c.Client().Write(kEsc + ".C1;22;77:OH;");
    ASSERT_TRUE(Eventually([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return seen.size() == 2;
    }));
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(seen[0], std::make_pair(kEsc + ".C1;22;77:", 77));
    EXPECT_EQ(seen[1].first, "OH;");
}

TEST_F(SerialCutterTest, AnnouncedWhileRunningAndRemovedOnStop) {
    for (Link link : {Link::Serial, Link::Printer, Link::UsbApi}) {
        const char* kind = LinkKind(link);
        Options options;
        options.link = link;
        VirtualCutter first(options);
        VirtualCutter second(options);
        first.Start();
        second.Start();
        const fs::path announced = first.AnnouncementPath();
        EXPECT_EQ(announced.parent_path(), platform::AnnouncementDir(kind)) << kind;
        EXPECT_NE(announced, second.AnnouncementPath()) << kind;
        EXPECT_EQ(announced.filename().string().rfind("Vantor_II_24_PZ-", 0), 0u) << kind;
        EXPECT_TRUE(fs::is_symlink(announced)) << kind;
        EXPECT_EQ(fs::read_symlink(announced), first.DevicePath()) << kind;
        EXPECT_TRUE(first.DevicePath().is_absolute()) << kind;
        EXPECT_EQ(platform::AnnouncedDevices(kind).size(), 2u) << kind;

        first.Stop();
        EXPECT_FALSE(fs::exists(fs::symlink_status(announced))) << kind;
        EXPECT_TRUE(first.AnnouncementPath().empty());
        EXPECT_EQ(platform::AnnouncedDevices(kind), std::vector<fs::path>{second.DevicePath()})
            << kind;
        if (link == Link::UsbApi) {
            EXPECT_FALSE(fs::exists(first.DevicePath())) << "socket left behind";
        }
        second.Stop();
        EXPECT_TRUE(platform::AnnouncedDevices(kind).empty()) << kind;
    }
}

TEST_F(SerialCutterTest, RuntimeFolderIsPrivate) {
    VirtualCutter cutter;
    cutter.Start();
    struct stat st {};
    ASSERT_EQ(lstat(platform::RuntimeDir().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(SerialCutterTest, StartTwiceIsRefused) {
    VirtualCutter cutter;
    cutter.Start();
    EXPECT_THROW(cutter.Start(), std::logic_error);
    EXPECT_TRUE(cutter.Running());
    cutter.Stop();
    EXPECT_FALSE(cutter.Running());
}

} // namespace
} // namespace zopra::vc::test
