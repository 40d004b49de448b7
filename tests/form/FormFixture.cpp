#include "FormFixture.h"

#include <random>

namespace zopra::testing {

void LogLines::Attach(vc::Options& options) {
    options.onLog = [this](const std::string& line) {
        std::lock_guard lock(mutex_);
        lines_.push_back(line);
    };
}

int LogLines::Count(const std::string& text) const {
    std::lock_guard lock(mutex_);
    int count = 0;
    for (const std::string& line : lines_)
        count += line.find(text) != std::string::npos ? 1 : 0;
    return count;
}

std::string LogLines::Last(const std::string& text) const {
    std::lock_guard lock(mutex_);
    for (auto line = lines_.rbegin(); line != lines_.rend(); ++line)
        if (line->find(text) != std::string::npos)
            return *line;
    return "";
}

TestPresets::TestPresets()
    : folder(std::filesystem::temp_directory_path() /
             ("zopra-form-settings-" + std::to_string(std::random_device()()))),
      file(folder / "presets.json") {
    std::filesystem::create_directories(folder);
}

TestPresets::~TestPresets() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

void FormTest::MakeForm(std::unique_ptr<CutterConnections> links, bool show) {
    if (!links)
        links = std::make_unique<CutterConnections>();
    F = std::make_unique<TMainForm_>(W, std::move(links), std::make_unique<KeptPort>(LastPort),
                                     Presets.Store());
    F->Dispatcher().SetReplyBound(std::chrono::milliseconds(1500));
    if (show)
        W.Show();
}

std::unique_ptr<FormCutter> FormTest::StartCutter(vc::Options options) {
    Log.Attach(options);
    auto cutter = StartFormCutter(std::move(options));
    if (!F)
        MakeForm(cutter->MakeLinks());
    return cutter;
}

void FormTest::Choose(const std::string& entry) {
    W.OpenList(C::CBConnects);
    W.Choose(C::CBConnects, entry);
}

void FormTest::Connect() {
    W.Click(C::BuConnect);
    WaitForDisplay();
}

void FormTest::WaitForDisplay() {
    EXPECT_TRUE(W.RunUntil([&] { return !F->Timer1.Active(); })) << "no display tick";
}

void FormTest::WaitForWorkButtons() {
    EXPECT_TRUE(W.RunUntil([&] { return W.EnabledOf(C::BuQuery); })) << "no work buttons";
}

void FormTest::ConnectTo(FormCutter& cutter) {
    Choose(cutter.Entry());
    Connect();
    // The display's offset query, where the model has one, has been answered too.
    EXPECT_TRUE(W.RunUntil([&] { return !F->Timer2.Active(); })) << "the offsets were not shown";
    cutter.ClearHistory();
}

std::unique_ptr<FormCutter> FormTest::ConnectTo(vc::Options options) {
    auto cutter = StartCutter(std::move(options));
    ConnectTo(*cutter);
    return cutter;
}

} // namespace zopra::testing
