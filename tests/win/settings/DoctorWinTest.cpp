// The doctor on Windows (under Wine): what it says of the file beside the program that should
// be USBAPI.DLL, and of a COM port that opens and one that another handle holds.
#include "settings/Doctor.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace zopra::settings {
namespace {

namespace fs = std::filesystem;
using State = VendorLibraryCheck::State;

// A copy of the complete stand-in with the header of an x86-64 library (machine 0x8664, a
// PE32+ optional header), as a 64-bit USBAPI.DLL has.
fs::path SixtyFourBitCopy(const fs::path& folder) {
    std::ifstream in(fs::path(FAKE_USBAPI_FOLDER) / "FakeUsbApi.dll", std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const auto pe = static_cast<unsigned char>(bytes.at(0x3c)) |
                    static_cast<unsigned char>(bytes.at(0x3d)) << 8;
    bytes.at(pe + 4) = '\x64';
    bytes.at(pe + 5) = '\x86';
    bytes.at(pe + 24) = '\x0b';
    bytes.at(pe + 25) = '\x02';
    const fs::path copy = folder / "USBAPI64.DLL";
    std::ofstream(copy, std::ios::binary) << bytes;
    return copy;
}

TEST(DoctorOnWindows, JudgesTheVendorLibraryFromItsFile) {
    const fs::path fakes = FAKE_USBAPI_FOLDER;
    const fs::path folder = fs::temp_directory_path() / "zopra-doctor-dll";
    fs::create_directories(folder);
    std::ofstream(folder / "TEXT.DLL") << "not a library";
    const struct {
        fs::path file;
        State state;
        std::vector<unsigned> missing;
        const char* finding;
        bool advice;
    } cases[] = {
        {folder / "USBAPI.DLL", State::Missing, {}, "USBAPI.DLL: not beside zopra.exe", true},
        {SixtyFourBitCopy(folder),
         State::SixtyFourBit,
         {},
         "USBAPI.DLL is a 64-bit library; zopra needs the 32-bit one",
         true},
        {folder / "TEXT.DLL",
         State::NotALibrary,
         {},
         "USBAPI.DLL beside zopra.exe is no Windows library",
         true},
        {fakes / "FakeUsbApiNoQuery.dll",
         State::MissingEntries,
         {8},
         "USBAPI.DLL is 32-bit but lacks the operations at ordinals 8",
         true},
        {fakes / "FakeUsbApiDataAt8.dll",
         State::MissingEntries,
         {8},
         "USBAPI.DLL is 32-bit but lacks the operations at ordinals 8",
         true},
        {fakes / "FakeUsbApi.dll",
         State::Good,
         {},
         "USBAPI.DLL: beside zopra.exe, 32-bit, all five operations there",
         false},
    };
    for (const auto& c : cases) {
        const VendorLibraryCheck check = CheckVendorLibraryFile(c.file);
        EXPECT_EQ(check.state, c.state) << c.file;
        EXPECT_EQ(check.missing, c.missing) << c.file;
        const DoctorFinding finding = VendorLibraryFinding(check);
        EXPECT_EQ(finding.text, c.finding) << c.file;
        EXPECT_EQ(!finding.advice.empty(), c.advice) << c.file;
    }
    fs::remove_all(folder);
}

// The COM port the leg maps opens; as held by another program it is refused with "access
// denied", which Wine does not do for a second open of a port, so that refusal is put into
// the report as Windows gives it.
TEST(DoctorOnWindows, SaysWhetherEachComPortOpensAndWhenAnotherProgramHoldsIt) {
    const char* port = std::getenv("ZOPRA_WIN_COM");
    if (port == nullptr)
        GTEST_SKIP() << "no COM port mapped (the Windows leg maps one)";
    platform::DeviceReport report = platform::ReadDeviceReport();
    ASSERT_EQ(report.System, platform::DeviceSystem::Windows);
    const auto mapped = std::find_if(report.SerialPorts.begin(), report.SerialPorts.end(),
                                     [&](const auto& node) { return node.Path == port; });
    ASSERT_NE(mapped, report.SerialPorts.end());
    EXPECT_EQ(report.VendorLibrary.filename(), "USBAPI.DLL");

    const std::string line = std::string("  ") + port + "  ";
    // The doctor opens the port as Connect does (line settings, modem lines).
    const std::string freeText = DoctorText(RunDoctor());
    EXPECT_EQ(freeText.rfind("Serial ports (from the registry):\n", 0), 0u) << freeText;
    EXPECT_NE(freeText.find(line + "can open\n"), std::string::npos) << freeText;
    // No USBAPI.DLL beside the test: only a cutter on the vendor's driver would miss it.
    EXPECT_NE(freeText.find("USBAPI.DLL: not beside zopra.exe\n"), std::string::npos) << freeText;
    EXPECT_EQ(freeText.find("udev"), std::string::npos);

    mapped->OpenError = ERROR_ACCESS_DENIED;
    const DoctorFindings held = FindingsOf(report, {});
    const auto finding =
        std::find_if(held.findings.begin(), held.findings.end(),
                     [&](const auto& f) { return f.text.rfind(line + "cannot open: ", 0) == 0; });
    ASSERT_NE(finding, held.findings.end()) << DoctorText(held);
    EXPECT_NE(finding->text.find("(another program holds it)"), std::string::npos) << finding->text;
    EXPECT_EQ(finding->advice.rfind("Another program holds this port", 0), 0u) << finding->advice;
    // A serial port decides nothing: which one has a cutter is not known.
    EXPECT_FALSE(held.cutterBlocked);
}

} // namespace
} // namespace zopra::settings
