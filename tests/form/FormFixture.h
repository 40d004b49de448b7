#pragma once
// The one set-up of the form tests: the recording window, the form over it, and the steps a
// user takes to reach a cutter (open the list, choose the entry, Connect, wait for the
// display).
#include "FormCutter.h"

#include "form/MainForm.h"
#include "support/RecordingWindow.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zopra::testing {

inline const std::string Esc = "\x1b";

// What the window says when a reply does not come.
inline const char* const kNoAnswerInTheWindow =
    "The machine did not answer. Check that it is switched on, that its cable is plugged in at "
    "both ends, and that the port chosen is the machine's.";

// The cutter's readable log, collected from whichever thread the cutter writes it on.
class LogLines {
public:
    void Attach(vc::Options& options);
    int Count(const std::string& text) const;
    bool Contains(const std::string& text) const { return Count(text) > 0; }
    // The last line holding `text`, or "".
    std::string Last(const std::string& text) const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// The last port kept in memory, where the test sees it, instead of in the user's settings.
class KeptPort : public platform::LastPortStore {
public:
    explicit KeptPort(std::shared_ptr<std::string> port) : port_(std::move(port)) {}
    std::string Read() override { return *port_; }
    void Write(const std::string& port) override { *port_ = port; }
    std::string ReadFolder() override { return folder_; }
    void WriteFolder(const std::string& folder) override { folder_ = folder; }

private:
    std::shared_ptr<std::string> port_;
    std::string folder_;
};

// A settings folder of the test's own (the presets file and the journal beside it) in the
// temporary folder, gone with the test.
struct TestPresets {
    TestPresets();
    ~TestPresets();
    TestPresets(const TestPresets&) = delete;
    TestPresets& operator=(const TestPresets&) = delete;
    std::filesystem::path folder;
    std::filesystem::path file;
    settings::Journal Journal() const { return settings::Journal(folder); }
    settings::PresetStore Store() const { return settings::PresetStore(file); }
};

class FormTest : public ::testing::Test {
protected:
    using C = ControlId;
    using Message = RecordingWindow::Message;

    // Makes the form over `links` (this computer's when null) and shows the window.
    void MakeForm(std::unique_ptr<CutterConnections> links = nullptr, bool show = true);
    // Starts a cutter, and makes the form over its links when there is no form yet.
    std::unique_ptr<FormCutter> StartCutter(vc::Options options = {});
    // Opens the connection list (which rebuilds it) and chooses `entry`.
    void Choose(const std::string& entry);
    // Clicks "Connect" and waits for the parameter display's tick.
    void Connect();
    void WaitForDisplay();
    // Waits until the work buttons are back after their two seconds.
    void WaitForWorkButtons();
    // Connects to the cutter, waits until the display (and its offset read) is done and
    // clears the cutter's history.
    void ConnectTo(FormCutter& cutter);
    // The same with a cutter started for it.
    std::unique_ptr<FormCutter> ConnectTo(vc::Options options = {});

    std::string Text(ControlId id) { return W.TextOf(id); }

    RecordingWindow W;
    std::shared_ptr<std::string> LastPort = std::make_shared<std::string>();
    // The presets of the form, in a file of the test's own.
    TestPresets Presets;
    LogLines Log; // outlives every cutter, which writes it from its own thread
    std::unique_ptr<TMainForm_> F;
};

} // namespace zopra::testing
