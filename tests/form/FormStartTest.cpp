// The form before any cutter is connected: what its construction and first show write, the
// guard every event handler runs in, and the separator taken from the host's settings.
#include "FormFixture.h"

#include "form/DecimalSeparator.h"
#include "form/EventGuard.h"

#include <new>
#include <stdexcept>

namespace zopra::testing {
namespace {

class FormStartTest : public FormTest {};

TEST_F(FormStartTest, CaptionsBeforeShow) {
    MakeForm(nullptr, false);
    std::vector<std::pair<ControlId, const char*>> rows = {
        {C::Label28, "g"},
        {C::LaLength, "0"},
        {C::LaWidth, "0"},
        {C::LaForce, "0"},
        {C::LaMName, " "},
        {C::LaVer, " "},
        {C::LaAASII_X_Offset, "0.000"},
        {C::LaAASII_Y_Offset, "0.000"},
        // The adjustment fields read "0" and "0.000" until the first show replaces both.
        {C::EdAASII_X_Offset, "0"},
        {C::EdAASII_Y_Offset, "0.000"}};
    // The form's construction sets the nine length units, in millimetres.
    for (ControlId unit : {C::Label20, C::Label21, C::Label29, C::Label32, C::Label33, C::Label18,
                           C::Label35, C::Label27, C::Label26})
        rows.emplace_back(unit, "mm");
    for (const auto& [control, text] : rows)
        EXPECT_EQ(Text(control), text) << RowOf(control).name;
}

TEST_F(FormStartTest, TextsAfterShow) {
    MakeForm();
    for (ControlId size : {C::EdTestDraw_X, C::EdTestDraw_Y, C::EdMeasure_x, C::EdMeasure_y})
        EXPECT_EQ(Text(size), "500.0") << RowOf(size).name;
    for (ControlId adjustment : {C::EdAASII_X_Offset, C::EdAASII_Y_Offset})
        EXPECT_EQ(Text(adjustment), "0.0") << RowOf(adjustment).name;
    EXPECT_TRUE(W.Messages.empty());
}

TEST_F(FormStartTest, OffsetListFilledOnShow) {
    MakeForm(nullptr, false);
    EXPECT_EQ(W.ListOf(C::CBOffset).Count(), 0);
    W.Show();
    const std::vector<std::string> expected{"0.000", "0.175", "0.250", "0.275",
                                            "0.300", "0.500", "0.750", "1.000"};
    EXPECT_EQ(W.ListOf(C::CBOffset).Entries(), expected);
    EXPECT_EQ(W.ListOf(C::CBOffset).Position(), -1);
    EXPECT_EQ(Text(C::CBOffset), "");
}

enum class Raise { Nothing, RuntimeError, ConversionError, Integer, OwnType };

struct GuardCase {
    const char* name;
    Raise raise;
    int reached; // 1: ended at the error, 2: ran to its end
    bool shown;
    const char* message;
};

class EventGuardTest : public ::testing::TestWithParam<GuardCase> {};

TEST_P(EventGuardTest, ShowsTheMessage) {
    struct NotAStdException {};
    RecordingWindow window;
    int reached = 0;
    RunGuarded(window, [&] {
        ++reached;
        switch (GetParam().raise) {
        case Raise::Nothing:
            break;
        case Raise::RuntimeError:
            throw std::runtime_error("Port not open (Error: 2)");
        case Raise::ConversionError:
            throw std::invalid_argument("'abc' is not a valid floating point value");
        case Raise::Integer:
            throw 42;
        case Raise::OwnType:
            throw NotAStdException{};
        }
        ++reached;
    });
    EXPECT_EQ(reached, GetParam().reached);
    if (GetParam().shown)
        EXPECT_EQ(window.Messages, (std::vector<RecordingWindow::Message>{
                                       {MessageKind::Error, GetParam().message}}));
    else
        EXPECT_TRUE(window.Messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Errors, EventGuardTest,
    ::testing::Values(GuardCase{"NoError", Raise::Nothing, 2, false, ""},
                      GuardCase{"SerialError", Raise::RuntimeError, 1, true,
                                "Port not open (Error: 2)"},
                      GuardCase{"ConversionError", Raise::ConversionError, 1, true,
                                "'abc' is not a valid floating point value"},
                      GuardCase{"NotAnExceptionClass", Raise::Integer, 1, true, ""},
                      GuardCase{"UnknownExceptionClass", Raise::OwnType, 1, true, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EventGuard, SurvivesAFailingBox) {
    // Even a box that cannot be shown must not take the event loop down.
    RecordingWindow window;
    window.OnMessage = [](const RecordingWindow::Message&) { throw std::bad_alloc(); };
    int reached = 0;
    RunGuarded(window, [&] {
        ++reached;
        throw std::runtime_error("Port not open (Error: 2)");
    });
    EXPECT_EQ(reached, 1);
}

TEST_F(FormStartTest, TypingAnOffsetMarksTheFieldInsteadOfABoxPerKey) {
    MakeForm();
    W.ListOf(C::CBOffset).SetEnabled(true);
    W.Type(C::CBOffset, "ab");
    EXPECT_TRUE(W.Messages.empty());
    EXPECT_TRUE(W.ListOf(C::CBOffset).Marked());
    EXPECT_EQ(Text(C::StatusLine), "Blade Offset: 'ab' is not a number");

    // A number typed next is taken, and the mark and the field's message go.
    W.ListOf(C::CBOffset).SetText("");
    W.Type(C::CBOffset, "0.5");
    EXPECT_FALSE(W.ListOf(C::CBOffset).Marked());
    EXPECT_EQ(Text(C::StatusLine), "");
    EXPECT_EQ(F->Record().Read().FBladeOffset, 500);
    EXPECT_TRUE(W.Messages.empty());
}

// The number texts are UTF-8 with a one-byte separator: only ASCII punctuation can be one.
TEST(HostSeparator, OnlyAnAsciiPunctuationMarkIsTaken) {
    const struct {
        std::u16string host;
        char taken;
    } cases[] = {
        {u".", '.'},      {u",", ','}, {u"'", '\''}, {u"\u00B7", '.'}, // middle dot: a byte of its
                                                                       // own inside UTF-8 text
        {u"\u066B", '.'},                                              // Arabic decimal separator
        {u"\u00E9", '.'}, {u"", '.'},  {u",.", '.'}, {u"5", '.'},      {u"a", '.'},
        {u" ", '.'},      {u"-", '.'}, {u"+", '.'}};
    for (const auto& c : cases)
        EXPECT_EQ(UsableDecimalSeparator(c.host), c.taken) << c.host.size();
}

} // namespace
} // namespace zopra::testing
