// The Windows side of the USB links, under Wine: the vendor library loaded by ordinal from
// a stand-in DLL and from nowhere, the device setup services with no printer present, and
// the bounded reads and writes of a printer-class handle, over a named pipe standing in
// for the device.
#include "link/CutterSession.h"
#include "link/PrinterClassLink.h"
#include "link/PrinterProbe.h"
#include "link/UsbApiLink.h"
#include "platform/ProcessStart.h"
#include "platform/SerialDriver.h"
#include "platform/win32/UsbApiLibrary.h"

#include <windows.h>

#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <string>

namespace zopra {
namespace {

using namespace std::chrono_literals;
using platform::UsbApi;

// Built next to this test, in the program's folder, where the loader looks for them.
constexpr const char* kFakeLibrary = "FakeUsbApi.dll";
constexpr const char* kFakeLibraryWithoutQuery = "FakeUsbApiNoQuery.dll";
constexpr const char* kFakeLibraryWithDataAt8 = "FakeUsbApiDataAt8.dll";
const std::string kFakeIdentity = "R4,Cutter,Vantor II 24 PZ,V2.10,1,0;";

// `name` in the folder of this test program.
std::string BesideTest(const std::string& name) {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + name;
}

TEST(UsbApiLibrary, MapsEachOperationToItsOrdinal) {
    auto api = platform::LoadUsbApiLibrary(kFakeLibrary);
    ASSERT_TRUE(platform::UsbApiLibraryLoaded(*api));
    using LastOrdinalFn = std::int32_t(__stdcall*)();
    auto lastOrdinal = reinterpret_cast<LastOrdinalFn>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA(kFakeLibrary), "FakeUsbApiLastOrdinal")));
    ASSERT_NE(lastOrdinal, nullptr);

    std::int32_t count = 0;
    char buffer[UsbApi::kReadCapacity];
    const std::int32_t handle = api->UsbOpenDevice(0);
    EXPECT_EQ(lastOrdinal(), 9);
    // Only which entry each call reached counts here, not what it returned.
    const std::vector<std::pair<std::function<std::int32_t()>, std::int32_t>> calls = {
        {[&] { return api->UsbWrite(handle, "OH;", 3); }, 2},
        {[&] { return api->UsbRead(handle, buffer, UsbApi::kReadCapacity, &count); }, 3},
        {[&] { return api->UsbQueryInput(handle, &count); }, 8},
        {[&] { return api->UsbCloseDevice(handle); }, 4},
        {[&] { return api->UsbOpenDevice(1); }, 9},
    };
    for (const auto& [call, ordinal] : calls) {
        call();
        EXPECT_EQ(lastOrdinal(), ordinal);
    }
}

#if defined(__i386__)
// Calls `entry` through its declared type and returns how far the stack pointer moved over
// the whole call, argument set-up and clean-up included. Unoptimised, so that the clean-up
// after the call is not merged into later code: 0 when caller and callee agree on who
// removes the arguments, the arguments' size when they do not.
template <typename Entry, typename... Args>
__attribute__((noinline, optimize("O0"))) std::ptrdiff_t StackShift(std::int32_t& result,
                                                                    Entry entry, Args... args) {
    std::uintptr_t before = 0;
    std::uintptr_t after = 0;
    asm volatile("movl %%esp, %0" : "=m"(before));
    result = entry(args...);
    asm volatile("movl %%esp, %0" : "=m"(after));
    return static_cast<std::ptrdiff_t>(after - before);
}
#endif

TEST(UsbApiLibrary, EntriesAreStdcallAtTheirOrdinals) {
#if !defined(__i386__)
    GTEST_SKIP() << "the vendor library is 32-bit: only a 32-bit build can call it";
#else
    namespace usbapi = platform::usbapi;
    HMODULE dll = LoadLibraryA(BesideTest(kFakeLibrary).c_str());
    ASSERT_NE(dll, nullptr);
    auto entry = [dll](std::uint16_t ordinal) {
        return reinterpret_cast<void (*)()>(GetProcAddress(dll, MAKEINTRESOURCEA(ordinal)));
    };
    const auto open = reinterpret_cast<usbapi::OpenEntry>(entry(usbapi::kOpenOrdinal));
    const auto write = reinterpret_cast<usbapi::WriteEntry>(entry(usbapi::kWriteOrdinal));
    const auto query = reinterpret_cast<usbapi::QueryEntry>(entry(usbapi::kQueryOrdinal));
    const auto read = reinterpret_cast<usbapi::ReadEntry>(entry(usbapi::kReadOrdinal));
    const auto close = reinterpret_cast<usbapi::CloseEntry>(entry(usbapi::kCloseOrdinal));
    ASSERT_TRUE(open && write && query && read && close);

    // Each entry at its ordinal does its own work, and the stack is where it was after it.
    std::int32_t handle = -1;
    std::int32_t result = 0;
    std::int32_t count = 0;
    char buffer[UsbApi::kReadCapacity + 1] = {};
    EXPECT_EQ(StackShift(handle, open, std::int32_t{0}), 0);
    ASSERT_NE(handle, -1);
    EXPECT_EQ(
        StackShift(result, write, handle, static_cast<const void*>("\x1b.R4:"), std::int32_t{5}),
        0);
    EXPECT_EQ(result, 5);
    EXPECT_EQ(StackShift(result, query, handle, &count), 0);
    EXPECT_GE(result, 0);
    EXPECT_EQ(count, static_cast<std::int32_t>(kFakeIdentity.size()));
    EXPECT_EQ(StackShift(result, read, handle, static_cast<void*>(buffer),
                         std::int32_t{UsbApi::kReadCapacity}, &count),
              0);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(count)), kFakeIdentity);
    EXPECT_EQ(StackShift(result, close, handle), 0);
    EXPECT_EQ(result, 0);
    FreeLibrary(dll);
#endif
}

TEST(UsbApiLibrary, FollowsTheResultConventions) {
    auto api = platform::LoadUsbApiLibrary(kFakeLibrary);
    ASSERT_TRUE(platform::UsbApiLibraryLoaded(*api));
    EXPECT_EQ(PresentUsbApiDevices(*api), (std::vector<int>{0, 2}));

    UsbApiHandle handle = OpenUsbApiDevice(*api, 0);
    ASSERT_TRUE(handle.Valid());
    std::int32_t count = -7;
    EXPECT_LT(api->UsbQueryInput(handle.Get(), &count), 0);

    EXPECT_EQ(api->UsbWrite(handle.Get(), "\x1b.R4:", 5), 5);
    ASSERT_GE(api->UsbQueryInput(handle.Get(), &count), 0);
    EXPECT_EQ(count, static_cast<std::int32_t>(kFakeIdentity.size()));
    char buffer[UsbApi::kReadCapacity + 1] = {};
    ASSERT_GE(api->UsbRead(handle.Get(), buffer, UsbApi::kReadCapacity, &count), 0);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(count)), kFakeIdentity);
    EXPECT_LT(api->UsbQueryInput(handle.Get(), &count), 0);

    // Closing through the handle type reaches the library: the device no longer answers.
    const std::int32_t raw = handle.Get();
    handle.Close();
    EXPECT_LT(api->UsbWrite(raw, "\x1b.R4:", 5), 0);
}

TEST(UsbApiLibrary, AMissingLibraryOrOrdinalFailsHarmlessly) {
    for (const char* name :
         {"NoSuchUsbApi.dll", kFakeLibraryWithoutQuery, kFakeLibraryWithDataAt8}) {
        SCOPED_TRACE(name);
        auto api = platform::LoadUsbApiLibrary(name);
        EXPECT_FALSE(platform::UsbApiLibraryLoaded(*api));
        for (std::int32_t index = 0; index < 4; ++index)
            EXPECT_EQ(api->UsbOpenDevice(index), -1);
        EXPECT_TRUE(PresentUsbApiDevices(*api).empty());
        std::int32_t count = 77;
        char buffer[UsbApi::kReadCapacity];
        EXPECT_LT(api->UsbQueryInput(-1, &count), 0);
        EXPECT_LT(api->UsbRead(-1, buffer, UsbApi::kReadCapacity, &count), 0);
        EXPECT_EQ(count, 77);
        EXPECT_LT(api->UsbWrite(-1, "OH;", 3), 0);
        EXPECT_LT(api->UsbCloseDevice(-1), 0);
    }
}

// The stand-in reads as many bytes as the count it is given says: a query over the vendor
// link is answered only when UsbRead gets the count that UsbQueryInput left.
TEST(UsbApiLibrary, AQueryOverTheVendorLinkIsAnswered) {
    auto links = std::make_unique<CutterConnections>(
        std::make_unique<CUsbIF>(), platform::LoadUsbApiLibrary(kFakeLibrary),
        platform::SystemSerialDriver(), [] { return std::vector<std::string>{}; });
    CutterSession session(std::move(links));
    session.Dispatcher().SetReplyBound(5s);
    ASSERT_EQ(session.Links().ChooseLinkKind(-1, "QRM USB0"), kLinkVendorUsb);
    session.Links().OpenConnection(-1, "QRM USB0");
    session.SendCommand(kCmdReadIdentity);
    session.SendCommand(kCmdNone); // waits until the reply has been read
    // "R4,Cutter,Vantor II 24 PZ,V2.10,1,0;": the identity's fields after the first comma.
    EXPECT_EQ(session.Record().Read().FModelName, "Vantor II 24 PZ");
    EXPECT_EQ(session.Record().FIdentityReady, 1);
}

TEST(UsbApiLibrary, WithoutUsbApiDllTheSystemLibraryFindsNoDevice) {
    auto api = platform::OpenUsbApi();
    EXPECT_FALSE(platform::UsbApiLibraryLoaded(*api));
    EXPECT_EQ(api->UsbOpenDevice(0), -1);
}

// A USBAPI.DLL in the current folder or on PATH (Downloads, say) is never loaded: only the
// one in the program's own folder is. Once the DLL search is restricted, no later load by a
// bare name finds it either.
TEST(UsbApiLibrary, OnlyTheProgramsOwnFolderIsSearched) {
    char scratch[MAX_PATH] = {};
    ASSERT_NE(GetTempPathA(MAX_PATH, scratch), 0u);
    const std::string folder =
        std::string(scratch) + "zopra-usbapi-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string planted = folder + "\\USBAPI.DLL";
    ASSERT_TRUE(CopyFileA(BesideTest(kFakeLibrary).c_str(), planted.c_str(), FALSE));
    char oldFolder[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, oldFolder);
    char oldPath[32767] = {};
    GetEnvironmentVariableA("PATH", oldPath, sizeof oldPath);

    struct Place {
        const char* name;
        std::function<void()> enter;
    };
    const Place places[] = {
        {"the current folder", [&] { SetCurrentDirectoryA(folder.c_str()); }},
        {"PATH", [&] { SetEnvironmentVariableA("PATH", (folder + ";" + oldPath).c_str()); }},
    };
    for (const Place& place : places) {
        place.enter();
        EXPECT_FALSE(platform::UsbApiLibraryLoaded(*platform::OpenUsbApi())) << place.name;
        platform::RestrictDllSearch();
        HMODULE found = LoadLibraryA("USBAPI.DLL");
        EXPECT_EQ(found, nullptr) << place.name;
        if (found != nullptr)
            FreeLibrary(found);
        SetCurrentDirectoryA(oldFolder);
        SetEnvironmentVariableA("PATH", oldPath);
    }

    // The one beside the program is loaded.
    const std::string own = BesideTest("USBAPI.DLL");
    ASSERT_TRUE(CopyFileA(BesideTest(kFakeLibrary).c_str(), own.c_str(), FALSE));
    EXPECT_TRUE(platform::UsbApiLibraryLoaded(*platform::OpenUsbApi()));
    DeleteFileA(own.c_str());
    DeleteFileA(planted.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST(PrinterClassSetupApi, NoPrinterPresentGivesCountZero) {
    auto devices = platform::SystemPrinterClassDevices();
    auto list = devices->PresentInterfaces(platform::kUsbPrinterInterfaceClass);
    ASSERT_NE(list, nullptr);
    std::string path;
    EXPECT_EQ(list->DevicePath(0, path), platform::InterfaceQuery::NoMoreItems);

    CUsbIF usb;
    EXPECT_EQ(usb.EnumerateDevices(), 0);
    EXPECT_EQ(usb.EnumerateDevices(), 0);
    EXPECT_FALSE(usb.OpenDevicePath(0, "").Valid());
}

// A named pipe as the device: the program's side opens it as it opens a printer's path.
// One instance only, so that a second open of it fails as a device that allows one does.
// In message mode a write of nothing completes a read with 0 bytes, as usbprint may.
class PipeDevice {
public:
    explicit PipeDevice(bool messages = false)
        : FName("\\\\.\\pipe\\zopra-usb-" + std::to_string(GetCurrentProcessId())),
          FServer(CreateNamedPipeA(FName.c_str(), PIPE_ACCESS_DUPLEX,
                                   (messages ? PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE
                                             : PIPE_TYPE_BYTE | PIPE_READMODE_BYTE) |
                                       PIPE_WAIT,
                                   1, 4096, 4096, 0, nullptr)) {}
    ~PipeDevice() { Close(); }
    PipeDevice(const PipeDevice&) = delete;
    PipeDevice& operator=(const PipeDevice&) = delete;

    const std::string& Name() const { return FName; }
    bool Listening() const { return FServer != INVALID_HANDLE_VALUE; }
    void Accept() { ConnectNamedPipe(FServer, nullptr); }

    void Write(const std::string& bytes) {
        DWORD written = 0;
        WriteFile(FServer, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    // Reads exactly `count` bytes; call only when they have been written.
    std::string Read(std::size_t count) {
        std::string got(count, '\0');
        DWORD read = 0;
        if (!ReadFile(FServer, got.data(), static_cast<DWORD>(count), &read, nullptr))
            return {};
        got.resize(read);
        return got;
    }
    void Close() {
        if (FServer != INVALID_HANDLE_VALUE)
            CloseHandle(FServer);
        FServer = INVALID_HANDLE_VALUE;
    }

private:
    std::string FName;
    HANDLE FServer;
};

TEST(PrinterClassHandle, ReadsAndWritesWithABoundAndProbes) {
    PipeDevice device;
    ASSERT_TRUE(device.Listening());
    auto devices = platform::SystemPrinterClassDevices();
    auto handle = devices->Open(device.Name());
    ASSERT_TRUE(handle.Valid());
    device.Accept();

    char buffer[256];
    // Nothing there: the read is cut off instead of waiting in the driver for ever.
    EXPECT_EQ(handle.Read(buffer, sizeof buffer, 100ms), 0);

    device.Write("A,B\r");
    ASSERT_EQ(handle.Read(buffer, sizeof buffer, 5000ms), 4);
    EXPECT_EQ(std::string(buffer, 4), "A,B\r");

    EXPECT_EQ(handle.Write("OH;", 3), 3);
    EXPECT_EQ(device.Read(3), "OH;");

    // The probe writes its 7 bytes and reads the answer; bytes left from before are read
    // away first, not taken for the answer.
    device.Write("x,y,Old,z\r");
    auto peer = std::async(std::launch::async, [&] {
        const std::string probe = device.Read(7);
        device.Write("a,b, Vantor II 24 PZ ,c\r");
        return probe;
    });
    const std::string answer = ProbePrinterAnswer(handle, handle);
    EXPECT_EQ(peer.get(), std::string("\x1b.R4:\r\n"));
    EXPECT_EQ(ModelNameFromProbeAnswer(answer), "Vantor II 24 PZ");

    device.Close();
    EXPECT_EQ(handle.Read(buffer, sizeof buffer, 1000ms), -1);
}

TEST(PrinterClassHandle, AReadThatFindsNothingStaysPendingAndKeepsWhatComes) {
    PipeDevice device;
    ASSERT_TRUE(device.Listening());
    auto handle = platform::SystemPrinterClassDevices()->Open(device.Name());
    ASSERT_TRUE(handle.Valid());
    device.Accept();

    char buffer[256];
    EXPECT_EQ(handle.Read(buffer, sizeof buffer, 50ms), 0);
    device.Write("A,B\r");
    // The read that found nothing was not cancelled: it took the bytes at once, and none
    // wait in the pipe for a new read.
    DWORD waiting = 99;
    ASSERT_TRUE(PeekNamedPipe(reinterpret_cast<HANDLE>(handle.NativeHandle()), nullptr, 0, nullptr,
                              &waiting, nullptr));
    EXPECT_EQ(waiting, 0u);
    ASSERT_EQ(handle.Read(buffer, sizeof buffer, 5000ms), 4);
    EXPECT_EQ(std::string(buffer, 4), "A,B\r");

    // A read left pending is cancelled by closing the handle.
    EXPECT_EQ(handle.Read(buffer, sizeof buffer, 50ms), 0);
    handle.Close();
    EXPECT_FALSE(handle.Valid());
}

// A connection's read and write handles share one open of the device, and a read that
// completes with nothing is no answer: the probe's wait goes on until the answer comes.
TEST(PrinterClassHandle, OneOpenForBothHandlesAndAnEmptyReadIsNoAnswer) {
    PipeDevice device(true);
    ASSERT_TRUE(device.Listening());
    platform::PrinterHandlePair handles =
        platform::SystemPrinterClassDevices()->OpenPair(device.Name());
    ASSERT_TRUE(handles.Read.Valid()) << handles.Read.OpenError();
    ASSERT_TRUE(handles.Write.Valid()) << handles.Write.OpenError();
    device.Accept();
    DWORD mode = PIPE_READMODE_MESSAGE;
    ASSERT_TRUE(SetNamedPipeHandleState(reinterpret_cast<HANDLE>(handles.Read.NativeHandle()),
                                        &mode, nullptr, nullptr));

    device.Write("");
    device.Write("a,b, Vantor II 24 PZ ,c");
    const std::string answer = ProbePrinterAnswer(handles.Write, handles.Read);
    EXPECT_EQ(device.Read(7), std::string("\x1b.R4:\r\n"));
    EXPECT_EQ(ModelNameFromProbeAnswer(answer), "Vantor II 24 PZ") << answer;
}

TEST(PrinterClassHandle, AMissingPathGivesTheInvalidHandle) {
    auto devices = platform::SystemPrinterClassDevices();
    auto handle = devices->Open("\\\\?\\usb#vid_7a3c&pid_0001#none#{28d78fad-5a12-11d1-ae5b-"
                                "0000f803a8c2}\\");
    EXPECT_FALSE(handle.Valid());
    EXPECT_EQ(handle.NativeHandle(), platform::PrinterHandle::kInvalid);
}

} // namespace
} // namespace zopra
