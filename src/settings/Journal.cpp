#include "settings/Journal.h"

#include "platform/LocalFiles.h"
#include "platform/SystemInfo.h"
#include "platform/UserFiles.h"
#include "settings/CutterText.h"
#include "settings/DocumentFiles.h"
#include "settings/SettingsJson.h"

#include <cmath>
#include <stdexcept>
#include <system_error>

namespace zopra::settings {

namespace fs = std::filesystem;

namespace {

// The first line of every journal: what tells ours from any other file.
constexpr const char* kHeader = R"({"document":"zopra-journal","version":1})";
// An entry's texts are cut to these lengths, so a line stays far below kLineLimit.
constexpr std::size_t kTextLimit = 200;
constexpr std::size_t kLineLimit = 16384;
// 2000 entries of a few KB: a larger file is no journal of ours.
constexpr std::size_t kFileLimit = std::size_t{8} << 20;
// Trimming keeps this many fewer than the bound, so it happens once in 200 writes.
constexpr std::size_t kTrimSlack = 200;
// journal.jsonl, journal-2.jsonl, ... journal-9.jsonl.
constexpr int kJournalFiles = 9;

std::string Cut(const std::string& text) {
    return text.size() <= kTextLimit ? text : text.substr(0, kTextLimit);
}

fs::path JournalFile(const fs::path& folder, int number) {
    return folder / (number == 1 ? std::string("journal.jsonl")
                                 : "journal-" + std::to_string(number) + ".jsonl");
}

double Field(const Json& object, const char* key) {
    const Json& value = object.at(key);
    if (!value.is_number())
        throw std::invalid_argument(std::string(key) + " is not a number");
    return value.get<double>();
}

std::optional<CutterValues> ValuesFrom(const Json& json) {
    if (json.is_null())
        return std::nullopt;
    CutterValues v;
    MachineSettings& m = v.values;
    const Json& p = json.at("parameters");
    m.FSpeed = Field(p, "speed");
    m.FBladeForce = Field(p, "blade_force_g");
    m.FBladeOffset = Field(p, "blade_offset_um");
    m.FVectorQuality = Field(p, "vector_quality");
    m.FVectorSmooth = Field(p, "vector_smooth");
    m.FAutoUnroll = Field(p, "auto_unroll");
    m.FMediaType = Field(p, "media_type");
    v.bladeHolder = !p.at("blade_holder").is_null();
    if (v.bladeHolder)
        m.FBladeHolder = Field(p, "blade_holder");
    m.FXScale = Field(json.at("scale"), "x");
    m.FYScale = Field(json.at("scale"), "y");
    m.FScalesRead = true;
    const Json& aas = json.at("aas_offsets_units");
    v.aasOffsets = !aas.is_null();
    if (v.aasOffsets) {
        m.FAASXOffset = Field(aas, "x");
        m.FAASYOffset = Field(aas, "y");
        m.FAasOffsetsRead = true;
    }
    return v;
}

Json ValuesJson(const std::optional<CutterValues>& v) {
    return v ? CutterValuesJson(v->values, v->bladeHolder, v->aasOffsets) : Json(nullptr);
}

Json EntryJson(const JournalEntry& e) {
    Json after = ValuesJson(e.after);
    if (e.after)
        after["read_back"] = e.afterReadBack;
    return Json{
        {"id", e.id},
        {"time", e.time},
        {"cutter",
         {{"model", e.cutter.model}, {"identity", e.cutter.identity}, {"port", e.cutter.port}}},
        {"action", e.action},
        {"before", ValuesJson(e.before)},
        {"after", after},
        {"outcome", e.outcome}};
}

JournalEntry EntryFrom(const std::string& line) {
    const Json json = Json::parse(line);
    JournalEntry e;
    e.id = json.at("id").get<std::int64_t>();
    e.time = json.at("time").get<std::string>();
    const Json& cutter = json.at("cutter");
    e.cutter = {cutter.at("model").get<std::string>(), cutter.at("identity").get<std::string>(),
                cutter.at("port").get<std::string>()};
    e.action = json.at("action").get<std::string>();
    e.before = ValuesFrom(json.at("before"));
    e.after = ValuesFrom(json.at("after"));
    if (e.after)
        e.afterReadBack = json.at("after").at("read_back").get<bool>();
    e.outcome = json.at("outcome").get<std::string>();
    return e;
}

// One journal file as found: missing, sound (its entries), or refused (why).
struct FileState {
    bool missing = false;
    std::vector<JournalEntry> entries;
    std::string refusal;
};

FileState ReadFile(const fs::path& path) {
    std::error_code error;
    if (fs::symlink_status(path, error).type() == fs::file_type::not_found)
        return {true, {}, {}};
    const platform::InputRead read = platform::ReadRegularFile(path, kFileLimit);
    switch (read.status) {
    case platform::InputRead::Status::Done:
        break;
    case platform::InputRead::Status::NotRegularFile:
        return {false, {}, "it is not a regular file"};
    case platform::InputRead::Status::TooLarge:
        return {false, {}, "it holds more than 8 MiB, more than any journal of 2000 entries"};
    default:
        return {false, {}, "it cannot be read: " + std::system_category().message(read.error)};
    }
    const std::string& text = read.bytes;
    FileState state;
    if (text.empty())
        return state; // made and never written to: the header goes first
    if (text.back() != '\n')
        return {false, {}, "it ends in the middle of a line (cut off while it was written)"};
    std::size_t start = 0;
    for (std::size_t number = 1; start < text.size(); ++number) {
        const std::size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (number == 1) {
            if (line != kHeader)
                return {false, {}, "it is not a journal of zopra"};
            continue;
        }
        if (line.size() > kLineLimit || state.entries.size() >= kJournalEntries)
            return {false, {}, "it is larger than any journal of zopra gets"};
        try {
            JournalEntry entry = EntryFrom(line);
            if (!state.entries.empty() && entry.id <= state.entries.back().id)
                throw std::invalid_argument("its id is not above the one before");
            state.entries.push_back(std::move(entry));
        } catch (const std::exception& failure) {
            return {false,
                    {},
                    "line " + std::to_string(number) + " is no journal entry (" + failure.what() +
                        ")"};
        }
    }
    return state;
}

// The first journal file that is missing or sound, and the refusals of those before it.
struct Chosen {
    fs::path path;
    FileState state;
    std::string problem;
};

Chosen Choose(const fs::path& folder) {
    Chosen chosen;
    for (int number = 1; number <= kJournalFiles; ++number) {
        chosen.path = JournalFile(folder, number);
        chosen.state = ReadFile(chosen.path);
        if (chosen.state.refusal.empty())
            return chosen;
        chosen.problem += (chosen.problem.empty() ? "" : " ") + std::string("The journal ") +
                          PathText(chosen.path) + " cannot be used: " + chosen.state.refusal +
                          "; it is kept as it is.";
    }
    chosen.path.clear();
    chosen.problem += " No journal is written: move the files away.";
    return chosen;
}

std::string Lines(const std::vector<JournalEntry>& entries) {
    std::string text;
    for (const JournalEntry& entry : entries)
        text += JournalEntryJson(entry) + "\n";
    return text;
}

} // namespace

JournalEntry MakeJournalEntry(const CutterValues& before, const std::string& port,
                              const std::string& action) {
    JournalEntry entry;
    entry.cutter = {Cut(CutterText(before.values.FModelName)),
                    Cut(CutterText(before.values.FCName)), Cut(CutterText(port))};
    entry.action = action;
    entry.before = before;
    return entry;
}

std::string JournalEntryJson(const JournalEntry& entry, int indent) {
    // A text that is not UTF-8 (a file name from an old system) is kept with U+FFFD in its
    // place: an entry must never fail to be written for the way a name is spelled.
    return EntryJson(entry).dump(indent, ' ', false, Json::error_handler_t::replace);
}

Journal::Journal(fs::path folder, std::chrono::milliseconds lockBound)
    : folder_(std::move(folder)), lockBound_(lockBound) {}

Journal Journal::ForUser() {
    return Journal(platform::UserSettingsFolder());
}

JournalRead Journal::Read() const {
    if (folder_.empty())
        return {{}, {}, "There is no journal: the system names no settings folder."};
    Chosen chosen = Choose(folder_);
    return {std::move(chosen.state.entries), chosen.path, chosen.problem};
}

JournalWrite Journal::Append(JournalEntry entry) const {
    // Never throws: it runs from a destructor when a workflow ends with an error.
    try {
        return AppendUnderLock(std::move(entry));
    } catch (const std::exception& failure) {
        return {std::nullopt, std::string("The write was not journaled: ") + failure.what()};
    }
}

JournalWrite Journal::AppendUnderLock(JournalEntry entry) const {
    const std::string notWritten = "The write was not journaled: ";
    if (folder_.empty())
        return {std::nullopt, notWritten + "the system names no settings folder."};
    std::error_code error;
    fs::create_directories(folder_, error);
    const platform::LockResult lock = platform::LockFile(folder_ / "presets.json.lock", lockBound_);
    if (!lock.lock)
        return {std::nullopt,
                notWritten + (lock.timedOut ? "another zopra held the lock too long."
                                            : std::system_category().message(lock.error))};
    Chosen chosen = Choose(folder_);
    if (chosen.path.empty())
        return {std::nullopt, chosen.problem};
    std::vector<JournalEntry>& entries = chosen.state.entries;
    entry.id = entries.empty() ? 1 : entries.back().id + 1;
    if (entry.time.empty())
        entry.time = platform::LocalTimeText();
    entry.action = Cut(entry.action);
    entry.outcome = Cut(entry.outcome);

    int failed = 0;
    if (entries.size() + 1 > kJournalEntries) {
        entries.erase(entries.begin(),
                      entries.end() - static_cast<std::ptrdiff_t>(kJournalEntries - kTrimSlack));
        entries.push_back(entry);
        failed = platform::ReplaceFileAtomically(chosen.path,
                                                 std::string(kHeader) + "\n" + Lines(entries));
    } else {
        // A new file, or one made and never written to, gets its header first.
        const bool needsHeader = chosen.state.missing || fs::file_size(chosen.path, error) == 0;
        failed = platform::AppendToFile(
            chosen.path,
            (needsHeader ? std::string(kHeader) + "\n" : std::string()) + Lines({entry}));
    }
    if (failed != 0)
        return {std::nullopt,
                chosen.problem + (chosen.problem.empty() ? "" : " ") + notWritten +
                    "cannot write " + PathText(chosen.path) + ": " +
                    (failed == platform::kNotRegularFile ? std::string("it is not a regular file")
                                                         : std::system_category().message(failed))};
    if (!chosen.problem.empty())
        chosen.problem += " The journal goes on in " + PathText(chosen.path) + ".";
    return {std::move(entry), chosen.problem};
}

} // namespace zopra::settings
