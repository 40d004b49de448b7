// zopra.exe end to end under Wine, driven from outside as a user would: this program starts
// the window, finds its controls by their ids and sends them their own messages (opening a
// list, choosing an entry, clicking a button, pressing an arrow, typing into an edit), then
// reads what the labels show and what the virtual cutter on the COM port logged.
//
// Set by run-windows-leg.sh: ZOPRA_WIN_COM (the port mapped to the cutter's pty) and
// ZOPRA_WIN_CUTTER_LOG (the cutter's --log output, a Linux path), and for the run with
// German regional settings ZOPRA_WIN_SEPARATOR (","). The cutter runs with --error-x 1.01, so
// the first test square comes out 1 % long in X, and --material 90-110,0.250, so that a test
// cut at its 120 g is cut into the backing. The cases run in order
// on one window, as one session of a user.
#include "form/Layout.h"
#include "ui/win32/Win32Window.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
using zopra::ControlId;

// Every wait of the driver is bounded by one of these.
constexpr auto kShortBound = 20s;
// A click runs the whole command series before the message returns.
constexpr UINT kClickBoundMs = 60'000;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// A Linux path as Wine's Z: drive shows it.
std::string WinePath(std::string path) {
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return "Z:" + path;
}

bool Eventually(const std::function<bool()>& condition,
                std::chrono::steady_clock::duration bound = kShortBound) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text)
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}

std::string TextOf(HWND control) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length))
        return "<no answer>";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_NORMAL, 5000, &copied);
    text.resize(copied);
    return Narrow(text);
}

// The cutter's log from a given point on.
class CutterLog {
public:
    explicit CutterLog(std::string path) : path_(std::move(path)) {}
    void Mark() { mark_ = All().size(); }
    std::string SinceMark() const { return All().substr(std::min(mark_, All().size())); }
    bool ShowsSinceMark(const std::string& text) const {
        return Eventually([&] { return SinceMark().find(text) != std::string::npos; });
    }

private:
    std::string All() const {
        std::ifstream file(path_, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    std::string path_;
    std::size_t mark_ = 0;
};

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

class WindowDriverTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (Env("ZOPRA_WIN_COM").empty() || Env("ZOPRA_WIN_CUTTER_LOG").empty())
            return;
        const std::string exe = WinePath(ZOPRA_EXE);
        std::wstring command = L"\"" + std::wstring(exe.begin(), exe.end()) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &started))
            return;
        CloseHandle(started.hThread);
        Process.reset(started.hProcess);
        Eventually([] {
            Main = FindWindowW(L"ZopraMainWindow", nullptr);
            return Main && IsWindowVisible(Main);
        });
    }

    static void TearDownTestSuite() {
        if (Main)
            PostMessageW(Main, WM_CLOSE, 0, 0);
        if (Process && WaitForSingleObject(Process.get(), 10'000) != WAIT_OBJECT_0)
            TerminateProcess(Process.get(), 1);
        Process.reset();
        Main = nullptr;
    }

    void SetUp() override {
        if (Env("ZOPRA_WIN_COM").empty())
            GTEST_SKIP() << "ZOPRA_WIN_COM is not set: run through run-windows-leg.sh";
        ASSERT_NE(Main, nullptr) << "zopra.exe showed no window";
        ASSERT_TRUE(Process && WaitForSingleObject(Process.get(), 0) == WAIT_TIMEOUT)
            << "zopra.exe has ended";
    }

    struct Search {
        int id;
        HWND found;
    };
    static BOOL CALLBACK Match(HWND child, LPARAM data) {
        auto* search = reinterpret_cast<Search*>(data);
        if (GetDlgCtrlID(child) != search->id)
            return TRUE;
        search->found = child;
        return FALSE;
    }
    // Controls sit on the window or on a tab page: the search goes through every level.
    static HWND Control(ControlId id) {
        Search search{zopra::win32::kFirstControlId + static_cast<int>(id), nullptr};
        EnumChildWindows(Main, Match, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    static std::string Text(ControlId id) { return TextOf(Control(id)); }
    static bool Shows(ControlId id, const std::string& text) {
        return Eventually([&] { return Text(id) == text; });
    }
    static bool Enabled(ControlId id) { return IsWindowEnabled(Control(id)); }

    // A box the window put up instead of finishing: its text, and it is closed.
    static std::string CloseBox() {
        HWND box = nullptr;
        const DWORD process = GetProcessId(Process.get());
        Eventually(
            [&] {
                box = FindWindowW(L"#32770", nullptr);
                DWORD owner = 0;
                GetWindowThreadProcessId(box, &owner);
                return box && owner == process;
            },
            2s);
        if (!box)
            return "";
        const std::string text = TextOf(GetDlgItem(box, 0xFFFF));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return text;
    }

    // Clicks like the mouse does; returns once the click's handler has returned.
    static void Click(ControlId id) {
        ASSERT_TRUE(Enabled(id)) << "the button is disabled";
        DWORD_PTR unused = 0;
        if (!SendMessageTimeoutW(Control(id), BM_CLICK, 0, 0, SMTO_NORMAL, kClickBoundMs, &unused))
            FAIL() << "the click did not return; a box says: " << CloseBox();
    }

    // The position of `entry` among the list's entries (-1 when it is none); `count` is how
    // many there are.
    static int IndexOfEntry(HWND list, const std::string& entry, int& count) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(list, CB_GETCOUNT, 0, 0, SMTO_NORMAL, 5000, &result);
        count = static_cast<int>(result);
        for (int i = 0; i < count; ++i) {
            wchar_t text[256] = {};
            SendMessageTimeoutW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                                5000, &result);
            if (Narrow(text) == entry)
                return i;
        }
        return -1;
    }

    // Opens the list (its handler fills it), then chooses the entry as the mouse would.
    static void Choose(ControlId id, const std::string& entry) {
        HWND list = Control(id);
        DWORD_PTR result = 0;
        SendMessageTimeoutW(list, CB_SHOWDROPDOWN, TRUE, 0, SMTO_NORMAL, kClickBoundMs, &result);
        int count = 0;
        const int index = IndexOfEntry(list, entry, count);
        SendMessageTimeoutW(list, CB_SHOWDROPDOWN, FALSE, 0, SMTO_NORMAL, 5000, &result);
        ASSERT_GE(index, 0) << "no entry \"" << entry << "\" among " << count;
        SendMessageTimeoutW(list, CB_SETCURSEL, index, 0, SMTO_NORMAL, 5000, &result);
        SendMessageTimeoutW(GetParent(list), WM_COMMAND,
                            MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE),
                            reinterpret_cast<LPARAM>(list), SMTO_NORMAL, kClickBoundMs, &result);
    }

    // A click as the mouse gives it: press and release go to the window that holds the
    // mouse captured, else to `target`, at a point on the screen.
    static void PostClick(HWND target, POINT screen) {
        GUITHREADINFO threadInfo{};
        threadInfo.cbSize = sizeof threadInfo;
        if (GetGUIThreadInfo(GetWindowThreadProcessId(Main, nullptr), &threadInfo) &&
            threadInfo.hwndCapture != nullptr)
            target = threadInfo.hwndCapture;
        ScreenToClient(target, &screen);
        const LPARAM at = MAKELPARAM(screen.x, screen.y);
        PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(target, WM_LBUTTONUP, 0, at);
    }
    static BOOL CALLBACK FindOpenList(HWND window, LPARAM found) {
        wchar_t name[32] = {};
        GetClassNameW(window, name, 32);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (std::wstring(name) != L"ComboLBox" || !IsWindowVisible(window) ||
            owner != GetProcessId(Process.get()))
            return TRUE;
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }

    // Opens the list with a click on its arrow, then clicks the entry, as the mouse does: the
    // arrow's release arrives while the list asks the devices who they are.
    static void ClickEntry(ControlId id, const std::string& entry) {
        HWND list = Control(id);
        RECT area{};
        GetClientRect(list, &area);
        POINT arrow{area.right - 4, area.bottom / 2};
        ClientToScreen(list, &arrow);
        PostClick(list, arrow);
        HWND open = nullptr;
        ASSERT_TRUE(Eventually([&] {
            open = nullptr;
            EnumWindows(FindOpenList, reinterpret_cast<LPARAM>(&open));
            return open != nullptr;
        })) << "the list did not open";
        ASSERT_TRUE(Answers()); // the click's handler has returned
        DWORD_PTR result = 0;
        int count = 0;
        const int index = IndexOfEntry(list, entry, count);
        ASSERT_GE(index, 0) << "no entry \"" << entry << "\" among " << count;
        SendMessageTimeoutW(open, LB_GETITEMHEIGHT, 0, 0, SMTO_NORMAL, 5000, &result);
        const int height = static_cast<int>(result);
        SendMessageTimeoutW(open, LB_GETTOPINDEX, 0, 0, SMTO_NORMAL, 5000, &result);
        POINT row{4, (index - static_cast<int>(result)) * height + height / 2};
        ClientToScreen(open, &row);
        PostClick(open, row);
        EXPECT_TRUE(Eventually([&] { return !IsWindowVisible(open); })) << "the list stayed open";
    }

    static void Type(ControlId id, const std::string& text) {
        const std::wstring wide(text.begin(), text.end());
        DWORD_PTR result = 0;
        SendMessageTimeoutW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()),
                            SMTO_NORMAL, 5000, &result);
    }

    // A key as Windows queues it for the focused control: through the window's own loop.
    static void PostKey(ControlId to, UINT message, WPARAM key) {
        // Bit 29 of a WM_SYSCHAR: Alt is down.
        PostMessageW(Control(to), message, key, message == WM_SYSCHAR ? 1 << 29 : 0);
    }
    static bool Answers() {
        DWORD_PTR unused = 0;
        return SendMessageTimeoutW(Main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &unused) != 0;
    }

    // The right (left) arrow key on the tab control brings the next (previous) page to the
    // front.
    static void NextPage(WPARAM key = VK_RIGHT) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(Control(ControlId::TSSetting), WM_KEYDOWN, key, 0, SMTO_NORMAL,
                            kClickBoundMs, &result);
    }

    // A mouse press on the upper arrow of an up-down control.
    static void PressUp(ControlId id) {
        HWND spinner = Control(id);
        RECT area{};
        GetClientRect(spinner, &area);
        const LPARAM upper = MAKELPARAM(area.right / 2, area.bottom / 4);
        DWORD_PTR result = 0;
        SendMessageTimeoutW(spinner, WM_LBUTTONDOWN, MK_LBUTTON, upper, SMTO_NORMAL, kClickBoundMs,
                            &result);
        SendMessageTimeoutW(spinner, WM_LBUTTONUP, 0, upper, SMTO_NORMAL, 5000, &result);
    }

    // A command series ends with Timer3 enabling the buttons again, 2 s after it started.
    static bool Idle() {
        return Eventually([] {
            for (ControlId id : {ControlId::BuUpdate, ControlId::BuScale2, ControlId::BuAASIIUpdate,
                                 ControlId::BuScale1, ControlId::BuQuery})
                if (!Enabled(id))
                    return false;
            return true;
        });
    }

    static std::string Separator() {
        wchar_t separator[8] = {};
        GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
        return Narrow(separator);
    }

    static inline OwnedHandle Process;
    static inline HWND Main = nullptr;
    CutterLog Log{WinePath(Env("ZOPRA_WIN_CUTTER_LOG"))};
};

// Keys that start the dialog manager's walk from a control on a page, which passes the tab
// control: before a read no visible, enabled button has S.
TEST_F(WindowDriverTest, KeysNoControlTakesLeaveTheWindowAnswering) {
    const struct {
        ControlId to;
        UINT message;
        WPARAM key;
    } keys[] = {{ControlId::BuQuery, WM_SYSCHAR, 's'},
                {ControlId::BuUpdate, WM_CHAR, 'u'},
                {ControlId::BuQuery, WM_KEYDOWN, VK_DOWN},
                {ControlId::BuUpdate, WM_KEYDOWN, VK_LEFT}};
    for (const auto& key : keys) {
        PostKey(key.to, key.message, key.key);
        EXPECT_TRUE(Answers()) << "key " << key.key;
    }
}

TEST_F(WindowDriverTest, ConnectShowsTheCuttersValues) {
    // The list opens with a wait (discovery), during which the arrow's release arrives: it
    // still completes the click, and the next click chooses the entry.
    ClickEntry(ControlId::CBConnects, Env("ZOPRA_WIN_COM"));
    ASSERT_TRUE(Shows(ControlId::CBConnects, Env("ZOPRA_WIN_COM"))) << Text(ControlId::CBConnects);
    ASSERT_TRUE(Enabled(ControlId::BuConnect));
    // The run with German regional settings has to have them, or it proves nothing.
    if (!Env("ZOPRA_WIN_SEPARATOR").empty()) {
        ASSERT_EQ(Separator(), Env("ZOPRA_WIN_SEPARATOR"));
    }
    // Enter on the focused button presses it.
    PostKey(ControlId::BuConnect, WM_KEYDOWN, VK_RETURN);
    EXPECT_TRUE(Shows(ControlId::LaMName, "Vantor II 24 PZ")) << Text(ControlId::LaMName);
    EXPECT_TRUE(Shows(ControlId::LaVer, "V2.10")) << Text(ControlId::LaVer);
    EXPECT_TRUE(Shows(ControlId::LaForce, "120")) << Text(ControlId::LaForce);
    EXPECT_TRUE(Shows(ControlId::LaLength, "2000")) << Text(ControlId::LaLength);
    EXPECT_EQ(Text(ControlId::CBWeight), "Light");
    EXPECT_TRUE(Idle());
}

TEST_F(WindowDriverTest, UpdateWritesTheNineSettings) {
    Log.Mark();
    Click(ControlId::BuUpdate);
    ASSERT_TRUE(Log.ShowsSinceMark("ESC.C1;32;0:")) << Log.SinceMark();
    std::istringstream lines(Log.SinceMark());
    int writes = 0;
    for (std::string line; std::getline(lines, line);)
        writes += line.rfind("ESC.C1;", 0) == 0;
    EXPECT_EQ(writes, 9) << Log.SinceMark();
    EXPECT_NE(Log.SinceMark().find("ESC.C1;22;120:"), std::string::npos);
    EXPECT_TRUE(Idle());
}

TEST_F(WindowDriverTest, InchesShowTheSameSettingsAndWriteThemUnchanged) {
    Choose(ControlId::CoUnit, "Inch/oz");
    EXPECT_TRUE(Shows(ControlId::Label20, "Inch")) << Text(ControlId::Label20);
    EXPECT_EQ(Text(ControlId::LaLength), "78" + Separator() + "74") << Text(ControlId::LaLength);
    EXPECT_EQ(Text(ControlId::Label28), "oz");

    Log.Mark();
    Click(ControlId::BuUpdate);
    EXPECT_TRUE(Log.ShowsSinceMark("ESC.C1;22;120:")) << Log.SinceMark();
    EXPECT_TRUE(Log.ShowsSinceMark("ESC.C1;16;2:")) << Log.SinceMark();
    EXPECT_TRUE(Idle());

    Choose(ControlId::CoUnit, "mm/g");
    EXPECT_TRUE(Shows(ControlId::Label20, "mm")) << Text(ControlId::Label20);
}

TEST_F(WindowDriverTest, ScalingTestAndCalibrateConverge) {
    NextPage();
    ASSERT_TRUE(Shows(ControlId::EdTestDraw_X, "500" + Separator() + "0"));

    Log.Mark();
    Click(ControlId::BuScale1);
    EXPECT_TRUE(Log.ShowsSinceMark("plotted 505.00 x 500.00 mm")) << Log.SinceMark();
    ASSERT_TRUE(Idle());

    Type(ControlId::EdMeasure_x, "505" + Separator() + "0");
    Log.Mark();
    Click(ControlId::BuScale2);
    EXPECT_TRUE(Log.ShowsSinceMark("ESC.C6;1;10100:")) << Log.SinceMark();
    ASSERT_TRUE(Idle());

    Log.Mark();
    Click(ControlId::BuScale1);
    EXPECT_TRUE(Log.ShowsSinceMark("plotted 500.00 x 500.00 mm")) << Log.SinceMark();
    EXPECT_TRUE(Idle());
}

TEST_F(WindowDriverTest, AasUpdateSendsTheAdjustedOffsetsAndReadsThemBack) {
    ASSERT_EQ(Text(ControlId::LaAASII_X_Offset), "0"); // the cutter starts with no offset
    PressUp(ControlId::UpDown1);
    EXPECT_EQ(Text(ControlId::EdAASII_X_Offset), "0" + Separator() + "025");

    Log.Mark();
    Click(ControlId::BuAASIIUpdate);
    EXPECT_TRUE(Log.ShowsSinceMark("ESC.D6;1;0:")) << Log.SinceMark();
    // The update connects again and shows what the cutter now has.
    EXPECT_TRUE(Log.ShowsSinceMark("reply R5,1,0;")) << Log.SinceMark();
    EXPECT_TRUE(Shows(ControlId::LaAASII_X_Offset, "0" + Separator() + "025"))
        << Text(ControlId::LaAASII_X_Offset);
    EXPECT_TRUE(Idle());
}

TEST_F(WindowDriverTest, TestCutLoopEndsClean) {
    // A bad start on both values: the offset one entry short, on the "Setting" page.
    NextPage(VK_LEFT);
    Choose(ControlId::CBOffset, "0" + Separator() + "175");
    Click(ControlId::BuUpdate);
    ASSERT_TRUE(Idle());
    Click(ControlId::BuQuery);
    ASSERT_TRUE(Idle());
    NextPage();
    NextPage();

    Log.Mark();
    Click(ControlId::BuCutTest);
    EXPECT_TRUE(Log.ShowsSinceMark(": cut into the backing (force 120 g)")) << Log.SinceMark();
    Log.Mark();
    Choose(ControlId::CBCutSeen, "Cut into the backing");
    Click(ControlId::BuCutFix);
    EXPECT_EQ(Text(ControlId::StatusLine),
              "Blade force 110 g written and read back; cutting again");
    EXPECT_TRUE(Log.ShowsSinceMark(": corners rounded (offset 0.175 mm)")) << Log.SinceMark();
    Log.Mark();
    Choose(ControlId::CBCutSeen, "Corners rounded");
    Click(ControlId::BuCutFix);
    EXPECT_TRUE(Log.ShowsSinceMark(": clean")) << Log.SinceMark();
    Choose(ControlId::CBCutSeen, "Clean: it weeds cleanly");
    Click(ControlId::BuCutFix);
    const std::string offset = "0" + Separator() + "250 mm";
    EXPECT_EQ(Text(ControlId::LaCutOutcome),
              "Clean cut: blade force 110 g, blade offset " + offset + ".");
    EXPECT_EQ(Text(ControlId::LaCutStep3), "3: 110 g, " + offset + ", clean");
}

TEST_F(WindowDriverTest, APresetSavedFromThePageIsWrittenBackAndReadBack) {
    // On "Test Cut", where the loop left the window. A name of this run's own: the prefix,
    // and the presets file in it, outlive a run.
    const std::string name = "Vinyl " + std::to_string(GetTickCount());
    Type(ControlId::CBPreset, name);
    Click(ControlId::BuSavePreset);
    NextPage(VK_LEFT); // to "Setting"
    NextPage(VK_LEFT);
    Choose(ControlId::CBAccel, "Draft");
    Click(ControlId::BuUpdate);
    EXPECT_TRUE(Idle());

    NextPage(); // back to "Test Cut"
    NextPage();
    Log.Mark();
    Choose(ControlId::CBPreset, name);
    Click(ControlId::BuApplyPreset);
    EXPECT_TRUE(Log.ShowsSinceMark("ESC.C1;18;0:")) << Log.SinceMark();
    EXPECT_TRUE(Shows(ControlId::CBAccel, "Fine")) << "the read-back shows the preset";
    EXPECT_TRUE(Idle());
}

TEST_F(WindowDriverTest, TheHistoryPageUndoesAnUpdate) {
    // From "Test Cut", where the presets left the window: an Update on "Setting"...
    NextPage(VK_LEFT);
    NextPage(VK_LEFT);
    Choose(ControlId::CBAccel, "Draft");
    Click(ControlId::BuUpdate);
    EXPECT_TRUE(Idle());

    // ... is the newest line of "History", and its undo writes Fine back and reads it back.
    NextPage();
    NextPage();
    NextPage();
    EXPECT_TRUE(Eventually([] {
        return Text(ControlId::LaHistory1).find("Update: quality Fine -> Draft") !=
               std::string::npos;
    })) << Text(ControlId::LaHistory1);
    Log.Mark();
    Click(ControlId::BuUndo);
    EXPECT_TRUE(Log.ShowsSinceMark("ESC.C1;18;0:")) << Log.SinceMark();
    EXPECT_TRUE(Log.ShowsSinceMark("ESC.R1:")) << "read back";
    EXPECT_EQ(Text(ControlId::StatusLine).rfind("Undo of ", 0), 0u) << Text(ControlId::StatusLine);
    EXPECT_NE(Text(ControlId::StatusLine).find(": written and read back."), std::string::npos);
    EXPECT_NE(Text(ControlId::LaHistory1).find("quality Draft -> Fine"), std::string::npos)
        << Text(ControlId::LaHistory1);
    EXPECT_TRUE(Idle());
}

} // namespace

// Card from the cutter's default force, in a session of its own (run-windows-leg.sh starts a
// cutter with card loaded): a force strip, an offset strip, each cell answered as the
// cutter's log judges it, and the test cut after the second answer is clean: three rounds.
TEST_F(WindowDriverTest, LaddersReachACleanCutFromCard) {
    if (Env("ZOPRA_WIN_LADDER").empty())
        GTEST_SKIP() << "needs the card: run-windows-leg.sh runs it against a cutter of its own";
    Choose(ControlId::CBConnects, Env("ZOPRA_WIN_COM"));
    Click(ControlId::BuConnect);
    ASSERT_TRUE(Idle());
    NextPage();
    NextPage();
    const ControlId cells[] = {ControlId::CBLadderSeen1, ControlId::CBLadderSeen2,
                               ControlId::CBLadderSeen3, ControlId::CBLadderSeen4,
                               ControlId::CBLadderSeen5, ControlId::CBLadderSeen6,
                               ControlId::CBLadderSeen7, ControlId::CBLadderSeen8};
    struct Sight {
        const char* logged;
        const char* entry;
    };
    const auto round = [&](const char* mode, int count, const std::array<Sight, 3>& sights) {
        Choose(ControlId::CBCutMode, mode);
        Log.Mark();
        Click(ControlId::BuCutTest);
        const std::string of = " of " + std::to_string(count) + " (";
        ASSERT_TRUE(Log.ShowsSinceMark("test cut " + std::to_string(count) + of))
            << Log.SinceMark();
        const std::string log = Log.SinceMark();
        for (int cell = 1; cell <= count; ++cell) {
            const std::size_t at = log.find("test cut " + std::to_string(cell) + of);
            const std::string line = log.substr(at, log.find('\n', at) - at);
            for (const Sight& sight : sights)
                if (line.find(sight.logged) != std::string::npos)
                    Choose(cells[cell - 1], sight.entry);
        }
        Log.Mark();
        Click(ControlId::BuCutFix);
    };
    round("Force ladder", 5,
          {{{"not cut through", "Not cut"},
            {"cut through cleanly", "Clean"},
            {"cut into the backing", "Backing"}}});
    EXPECT_EQ(Text(ControlId::LaCutOutcome), "Ladder answer: 264 g written");
    // The cutter plots 1 % long in X: the square comes out 8.1 mm.
    EXPECT_TRUE(Log.ShowsSinceMark(" mm: corners rounded (offset 0.250 mm)")) << Log.SinceMark();
    round("Offset ladder", 8,
          {{{"corners rounded", "Rounded"},
            {"corners sharp", "Sharp"},
            {"corners overcut", "Overcut"}}});
    EXPECT_EQ(Text(ControlId::LaCutOutcome), "Ladder answer: 0" + Separator() + "500 mm written");
    EXPECT_TRUE(Log.ShowsSinceMark(" mm: clean")) << Log.SinceMark();
}
