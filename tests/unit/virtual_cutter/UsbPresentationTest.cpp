// The two USB presentations: a printer-class device read one reply per read, and the
// vendor library's device as a SOCK_SEQPACKET socket, one reply per message.
#include "TestSupport.h"

#include "platform/virtual/RuntimeDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace zopra::vc::test {
namespace {

namespace fs = std::filesystem;

const std::string kR4 = "\x1b.R4:";
const std::string kR6 = "\x1b.R6:";
const std::string kProbe = "\x1b.R4:\r\n";
const std::string kIdentity = "R4,QRM-CT,Vantor II 24 PZ,V2.10,2023-11-08,14:05;";

class UsbPresentationTest : public ::testing::Test {
protected:
    VirtualCutter& Start(Link link, LineEnd lineEnd = LineEnd::Default, Faults faults = {}) {
        Options options;
        options.link = link;
        options.lineEnd = lineEnd;
        options.faults = faults;
        cutter_ = std::make_unique<VirtualCutter>(options);
        cutter_->Start();
        return *cutter_;
    }

    ScopedRuntimeDir runtime_;
    std::unique_ptr<VirtualCutter> cutter_;
};

TEST_F(UsbPresentationTest, PrinterAnswersTheProbeAndGivesOneReplyPerRead) {
    auto& cutter = Start(Link::Printer);
    EXPECT_EQ(platform::AnnouncedDevices("printer"), std::vector<fs::path>{cutter.DevicePath()});
    EXPECT_TRUE(platform::AnnouncedDevices("serial").empty());
    // Like the program: one handle for reading, a second one for writing.
    PtyClient reader(cutter.DevicePath(), O_RDONLY);
    PtyClient writer(cutter.DevicePath(), O_WRONLY);
    const std::vector<std::pair<std::string, std::string>> exchanges = {
        {kProbe, kIdentity}, {kR6, "R6,0;"}, {"OH;", "0,0,80000,24000"}, {kProbe, kIdentity}};
    for (const auto& [query, reply] : exchanges) {
        writer.Write(query);
        EXPECT_EQ(reader.ReadOnce(), reply) << Readable(query);
    }
    EXPECT_EQ(cutter.Commands(), (std::vector<std::string>{kR4, kR6, "OH;", kR4}));
}

TEST_F(UsbPresentationTest, PrinterRepliesEndWithCrLfOnlyWhenAsked) {
    auto& cutter = Start(Link::Printer, LineEnd::CrLf);
    PtyClient reader(cutter.DevicePath(), O_RDONLY);
    PtyClient writer(cutter.DevicePath(), O_WRONLY);
    writer.Write(kProbe);
    EXPECT_EQ(reader.ReadOnce(), kIdentity + "\r\n");
}

TEST_F(UsbPresentationTest, UsbApiFolderHoldsOnlyLinksToLiveSockets) {
    auto& cutter = Start(Link::UsbApi);
    EXPECT_EQ(platform::AnnouncedDevices("usbapi"), std::vector<fs::path>{cutter.DevicePath()});
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(platform::AnnouncementDir("usbapi"))) {
        ++entries;
        EXPECT_TRUE(entry.is_symlink()) << entry.path();
        struct stat st {};
        ASSERT_EQ(stat(entry.path().c_str(), &st), 0) << entry.path();
        EXPECT_TRUE(S_ISSOCK(st.st_mode)) << entry.path();
    }
    EXPECT_EQ(entries, 1);
}

TEST_F(UsbPresentationTest, UsbApiAnswersEachQueryInOneMessage) {
    auto& cutter = Start(Link::UsbApi);
    SocketClient client(cutter.AnnouncementPath()); // through the announcement
    client.Send(kR4);
    EXPECT_EQ(client.Receive(), kIdentity);

    // A command over two messages, then two commands in one message.
    client.Send("\x1b.R");
    ASSERT_TRUE(Eventually([&] { return cutter.Received().size() == kR4.size() + 3; }));
    client.Send("6:");
    EXPECT_EQ(client.Receive(), "R6,0;");
    client.Send("OH;" + kR6);
    EXPECT_EQ(client.Receive(), "0,0,80000,24000");
    EXPECT_EQ(client.Receive(), "R6,0;");
    EXPECT_EQ(cutter.Commands(), (std::vector<std::string>{kR4, kR6, "OH;", kR6}));
}

TEST_F(UsbPresentationTest, UsbApiFaultsShapeTheMessages) {
    Faults split;
    split.split = true;
    split.splitPauseMs = 0;
    auto& splitting = Start(Link::UsbApi, LineEnd::Default, split);
    {
        SocketClient client(splitting.DevicePath());
        client.Send(kR6);
        EXPECT_EQ(client.Receive(), "R6");
        EXPECT_EQ(client.Receive(), ",0;");
    }
    Faults glue;
    glue.glue = true;
    auto& gluing = Start(Link::UsbApi, LineEnd::Cr, glue);
    SocketClient client(gluing.DevicePath());
    client.Send(kR6);
    ASSERT_TRUE(gluing.WaitForCommands(1, kWait));
    client.Send("OH;");
    EXPECT_EQ(client.Receive(), "R6,0;\r0,0,80000,24000\r");
}

TEST_F(UsbPresentationTest, UsbApiNewConnectionReplacesTheOldAndStartsAfresh) {
    auto& cutter = Start(Link::UsbApi);
    auto first = std::make_unique<SocketClient>(cutter.DevicePath());
    first->Send("\x1b.R"); // left unfinished
    ASSERT_TRUE(Eventually([&] { return cutter.Received().size() == 3; }));
    SocketClient second(cutter.DevicePath());
    // Had the half command survived, "4:" would complete it and ESC.R4: would be answered.
    second.Send("4:" + kR6);
    EXPECT_EQ(second.Receive(), "R6,0;");
    EXPECT_EQ(cutter.Commands(), std::vector<std::string>{kR6});

    // A peer that went away leaves the cutter ready for the next.
    first.reset();
    SocketClient third(cutter.DevicePath());
    third.Send(kR6);
    EXPECT_EQ(third.Receive(), "R6,0;");
}

TEST_F(UsbPresentationTest, FailedStartLeavesNoAnnouncement) {
    Options options;
    options.link = Link::UsbApi;
    // Too long for a Unix socket address.
    options.runtimeDir = runtime_.Root() / std::string(120, 'x');
    VirtualCutter cutter(options);
    EXPECT_THROW(cutter.Start(), std::runtime_error);
    EXPECT_FALSE(cutter.Running());
    EXPECT_TRUE(fs::is_empty(options.runtimeDir / "usbapi"));
}

} // namespace
} // namespace zopra::vc::test
