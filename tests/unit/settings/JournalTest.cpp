// The journal: files that are not sound are named and never written to (the journal goes on
// in the next name), two processes appending at once lose and interleave nothing, and the
// bound keeps the newest entries with their ids.
#include "settings/Journal.h"
#include "settings/History.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zopra::settings {
namespace {

namespace fs = std::filesystem;

const std::string kHeader = R"({"document":"zopra-journal","version":1})";

class JournalTest : public ::testing::Test {
protected:
    JournalTest()
        : folder_(fs::temp_directory_path() /
                  ("zopra-journal-" + std::to_string(std::random_device()()))) {
        fs::create_directories(folder_);
    }
    ~JournalTest() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    static std::string Text(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    fs::path folder_;
};

JournalEntry Entry(const std::string& action, double forceBefore, double forceAfter) {
    CutterValues before;
    before.values.FModelName = "Vantor 52";
    before.values.FCName = "QRM";
    before.values.FBladeForce = forceBefore;
    before.values.FBladeOffset = 250;
    JournalEntry entry = MakeJournalEntry(before, "/dev/pts/3", action);
    entry.after = before;
    entry.after->values.FBladeForce = forceAfter;
    entry.afterReadBack = true;
    entry.outcome = "all written";
    return entry;
}

TEST_F(JournalTest, AFileThatIsNotSoundIsNamedKeptAndTheJournalGoesOnBesideIt) {
    const std::string good = [&] {
        Journal(folder_).Append(Entry("Update", 120, 150));
        return Text(folder_ / "journal.jsonl");
    }();
    fs::remove(folder_ / "journal.jsonl");
    struct Case {
        const char* name;
        std::string bytes; // what journal.jsonl holds; "FIFO" makes a FIFO
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"foreign", "name,force\nvinyl,120\n", "not a journal of zopra"},
        {"truncated mid-line", good.substr(0, good.size() - 9), "middle of a line"},
        {"a line that is no entry", kHeader + "\n{\"id\": \"one\"}\n",
         "line 2 is no journal entry"},
        {"ids not increasing", good + good.substr(kHeader.size() + 1),
         "line 3 is no journal entry"},
        {"oversized", kHeader + "\n" + std::string(9u << 20, ' ') + "\n", "more than 8 MiB"},
        {"FIFO", "FIFO", "not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = folder_ / "journal.jsonl";
        if (c.bytes == "FIFO")
            ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
        else
            std::ofstream(file, std::ios::binary) << c.bytes;

        const JournalWrite written = Journal(folder_).Append(Entry("Set force=130", 150, 130));
        ASSERT_TRUE(written.entry);
        EXPECT_NE(written.problem.find("journal.jsonl cannot be used: "), std::string::npos)
            << written.problem;
        EXPECT_NE(written.problem.find(c.reason), std::string::npos) << written.problem;
        EXPECT_NE(written.problem.find("goes on in"), std::string::npos);
        if (c.bytes != "FIFO") {
            EXPECT_EQ(Text(file), c.bytes);
        }
        const JournalRead read = Journal(folder_).Read();
        EXPECT_EQ(read.file.filename(), "journal-2.jsonl");
        ASSERT_EQ(read.entries.size(), 1u);
        EXPECT_EQ(read.entries[0].action, "Set force=130");
        fs::remove(file);
        fs::remove(folder_ / "journal-2.jsonl");
    }
}

TEST_F(JournalTest, TwoProcessesAppendingAtOnceLoseAndInterleaveNothing) {
    constexpr int kEach = 60;
    auto appendMany = [&](const std::string& prefix) {
        const Journal journal(folder_);
        for (int i = 0; i < kEach; ++i)
            if (!journal.Append(Entry(prefix + std::to_string(i), 100, 110)).entry)
                return false;
        return true;
    };
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(appendMany("child ") ? 0 : 1);
    EXPECT_TRUE(appendMany("parent "));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    const JournalRead read = Journal(folder_).Read();
    EXPECT_EQ(read.problem, "");
    ASSERT_EQ(read.entries.size(), 2u * kEach);
    for (std::size_t i = 0; i < read.entries.size(); ++i)
        EXPECT_EQ(read.entries[i].id, static_cast<std::int64_t>(i) + 1);
}

TEST_F(JournalTest, TheBoundKeepsTheNewestEntriesAndNeverReusesAnId) {
    {
        // 2000 entries written directly: appending them one by one would take long.
        std::ofstream out(folder_ / "journal.jsonl", std::ios::binary);
        out << kHeader << "\n";
        for (int id = 1; id <= static_cast<int>(kJournalEntries); ++id) {
            JournalEntry entry = Entry("Update " + std::to_string(id), 100, 110);
            entry.id = id;
            entry.time = "2026-12-08T14:02:31+01:00";
            out << JournalEntryJson(entry) << "\n";
        }
    }
    const JournalWrite written = Journal(folder_).Append(Entry("Update", 110, 120));
    ASSERT_TRUE(written.entry);
    EXPECT_EQ(written.entry->id, static_cast<std::int64_t>(kJournalEntries) + 1);
    const std::vector<JournalEntry> entries = Journal(folder_).Read().entries;
    ASSERT_LE(entries.size(), kJournalEntries);
    EXPECT_EQ(entries.back().id, static_cast<std::int64_t>(kJournalEntries) + 1);
    EXPECT_EQ(entries.front().action, "Update " + std::to_string(entries.front().id));
}

TEST(History, UndoChecksWhatTheNewestEntryLeftAndNamesWhatDiffers) {
    std::vector<JournalEntry> entries = {Entry("Update", 120, 150),
                                         Entry("Set force=160", 150, 160)};
    entries[0].id = 1;
    entries[1].id = 2;
    EXPECT_NE(HistoryLine(entries[0]).find("Update: force 120 -> 150 g"), std::string::npos);
    EXPECT_NE(HistoryLine(entries[1]).find("Set force=160: force 150 -> 160 g"), std::string::npos);

    CutterValues now = *entries[1].after;
    UndoPlan plan = PlanUndo(entries, std::nullopt, now);
    EXPECT_EQ(plan.target, 2);
    EXPECT_TRUE(plan.changedElsewhere.empty());
    EXPECT_EQ(plan.restore.values.FBladeForce, 150);

    plan = PlanUndo(entries, 1, now);
    EXPECT_EQ(plan.action, "Undo of 1 to 2");
    EXPECT_EQ(plan.restore.values.FBladeForce, 120);

    now.values.FBladeForce = 130; // changed at the front panel
    plan = PlanUndo(entries, std::nullopt, now);
    ASSERT_EQ(plan.changedElsewhere.size(), 1u);
    EXPECT_EQ(plan.changedElsewhere[0], "force 160 -> 130 g");

    EXPECT_THROW(PlanUndo(entries, 7, now), UndoError);
    EXPECT_THROW(PlanUndo({}, std::nullopt, now), UndoError);
}

} // namespace
} // namespace zopra::settings
