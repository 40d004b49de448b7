#include "VirtualCutter.h"

#include "CommandReader.h"
#include "CutterEnd.h"
#include "CutterModel.h"
#include "platform/virtual/RuntimeDir.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <poll.h>
#include <stdexcept>
#include <thread>

namespace zopra::vc {

namespace fs = std::filesystem;

const char* LinkKind(Link link) {
    switch (link) {
    case Link::Printer:
        return "printer";
    case Link::UsbApi:
        return "usbapi";
    case Link::Serial:
        break;
    }
    return "serial";
}

struct VirtualCutter::Impl {
    explicit Impl(Options o)
        : options(std::move(o)),
          model(options.state, options.errorX, options.errorY, options.material),
          faults(options.faults), onCommand(options.onCommand) {}

    void Start();
    void Open();
    void Stop();
    void Run();
    bool Process(const std::string& bytes);
    void Deliver(const std::string& reply, const Faults& f);
    bool WriteBlock(const std::string& block);
    bool Pause(int milliseconds);
    void Vanish();
    void Log(const std::string& line) const;
    std::string LineEnd() const;
    Faults CurrentFaults() const;

    const Options options;

    // Everything below the mutex is shared with the test thread.
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    CutterModel model;
    Faults faults;
    std::size_t vanishBase = 0; // command count when the vanish fault was armed
    std::vector<std::string> commands;
    std::string received;
    std::vector<std::string> writes;
    std::size_t commandCount = 0;
    bool started = false;
    bool running = false;
    bool stopped = false;
    bool vanished = false;
    fs::path devicePath;
    fs::path announcementPath;
    std::function<void(const std::string&)> onCommand;

    // Start and Stop run one at a time.
    std::mutex lifecycle;
    // Made in Start; used by the cutter's thread; released by Stop after the thread ended.
    std::unique_ptr<Line> line;
    std::unique_ptr<Announcement> announcement;
    WakePipe wake;
    std::atomic<bool> stop{false};
    std::thread thread;
    std::atomic<std::thread::id> ioThread{};

    // The cutter's thread only.
    CommandReader reader;
    std::optional<std::string> held; // a reply waiting for its partner (glue fault)
};

void VirtualCutter::Impl::Start() {
    std::lock_guard<std::mutex> life(lifecycle);
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (started)
            throw std::logic_error("the virtual cutter was already started");
        started = true;
    }
    try {
        Open();
    } catch (...) {
        // Leave nothing half made behind: no announcement without a line behind it.
        announcement.reset();
        line.reset();
        throw;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        devicePath = line->DevicePath();
        announcementPath = announcement->Path();
        running = true;
    }
    thread = std::thread(&Impl::Run, this);
}

void VirtualCutter::Impl::Open() {
    const char* kind = LinkKind(options.link);
    const fs::path root = options.runtimeDir.empty() ? platform::RuntimeDir() : options.runtimeDir;
    const fs::path dir = options.runtimeDir.empty() ? platform::AnnouncementDir(kind) : root / kind;
    EnsurePrivateDirectory(root);
    EnsurePrivateDirectory(dir);
    const std::string base = EntryName(options.state.model);

    if (options.link == Link::UsbApi) {
        // The sockets live beside the announcement folders, so that a listing of usbapi/
        // shows nothing but the announcements.
        const fs::path sockets = root / "sockets";
        EnsurePrivateDirectory(sockets);
        announcement = std::make_unique<Announcement>(
            dir, base, [&](const std::string& name) { return sockets / name; });
        line = OpenSeqpacketLine(announcement->Target());
    } else {
        line = OpenPtyLine();
        const fs::path device = line->DevicePath();
        announcement =
            std::make_unique<Announcement>(dir, base, [&](const std::string&) { return device; });
    }
}

void VirtualCutter::Impl::Stop() {
    // From a callback on the cutter's own thread the thread would wait for itself.
    if (std::this_thread::get_id() == ioThread.load())
        throw std::logic_error("the virtual cutter cannot be stopped from its own callbacks");
    std::lock_guard<std::mutex> life(lifecycle);
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!started || stopped)
            return;
        stopped = true;
        running = false;
    }
    stop = true;
    wake.Wake();
    if (thread.joinable())
        thread.join();
    if (line)
        line->Close();
    announcement.reset();
    std::lock_guard<std::mutex> lock(mutex);
    announcementPath.clear();
    changed.notify_all();
}

void VirtualCutter::Impl::Run() {
    ioThread = std::this_thread::get_id();
    while (!stop) {
        if (held && !CurrentFaults().glue) {
            const std::string block = std::move(*held);
            held.reset();
            WriteBlock(block);
        }
        Incoming in = line->Wait(wake);
        for (const auto& note : in.notes)
            Log("  " + note);
        if (in.newPeer) {
            reader.Reset();
            held.reset();
        }
        if (!in.bytes.empty() && Process(in.bytes))
            return; // vanished
    }
}

// True when the cutter vanished on one of the commands.
bool VirtualCutter::Impl::Process(const std::string& bytes) {
    if (options.keepHistory) {
        std::lock_guard<std::mutex> lock(mutex);
        received += bytes;
    }
    std::vector<StreamItem> items;
    reader.Feed(bytes, items);
    for (const auto& item : items) {
        if (item.kind == StreamItem::Kind::Junk) {
            Log("  junk " + Readable(item.bytes) + " skipped");
            continue;
        }
        // The faults in force when a command arrives decide how it is answered, so that a
        // change made after a test saw the command never reaches back to it.
        Outcome outcome;
        Faults f;
        {
            std::lock_guard<std::mutex> lock(mutex);
            outcome = model.Execute(item.bytes);
            f = faults;
        }
        // Logged before it is counted: whoever waited for the count finds the log complete.
        Log(Readable(item.bytes));
        for (const auto& note : outcome.notes)
            Log("  " + note);
        bool vanishNow = false;
        std::function<void(const std::string&)> callback;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (options.keepHistory)
                commands.push_back(item.bytes);
            ++commandCount;
            vanishNow = faults.vanishAfter > 0 &&
                        commandCount - vanishBase >= static_cast<std::size_t>(faults.vanishAfter);
            callback = onCommand;
        }
        changed.notify_all();
        if (callback)
            callback(item.bytes);
        if (vanishNow) {
            Vanish();
            return true;
        }
        if (outcome.reply) {
            // A delay meant for one query holds back only that query's reply.
            if (!f.delayOnly.empty() && item.bytes != f.delayOnly)
                f.delayMs = 0;
            Deliver(*outcome.reply, f);
        }
        if (stop)
            break;
    }
    return false;
}

void VirtualCutter::Impl::Deliver(const std::string& reply, const Faults& f) {
    if (f.silent) {
        Log("  not answered (silent)");
        return;
    }
    std::string block = f.garbage ? options.garbageText : reply;
    if (!f.noLineEnd)
        block += LineEnd();
    if (f.glue && !held) {
        held = std::move(block);
        Log("  reply held back to go out with the next one");
        return;
    }
    if (held) {
        block.insert(0, *held);
        held.reset();
    }
    if (f.delayMs > 0 && !Pause(f.delayMs))
        return;
    if (f.split && block.size() >= 2) {
        const std::size_t half = block.size() / 2;
        if (WriteBlock(block.substr(0, half)) && Pause(f.splitPauseMs))
            WriteBlock(block.substr(half));
        return;
    }
    WriteBlock(block);
}

bool VirtualCutter::Impl::WriteBlock(const std::string& block) {
    // Recorded before it goes out: a test that has read the reply must find it here.
    if (options.keepHistory) {
        std::lock_guard<std::mutex> lock(mutex);
        writes.push_back(block);
    }
    if (!line->Write(block, wake, stop)) {
        if (options.keepHistory) {
            std::lock_guard<std::mutex> lock(mutex);
            if (!writes.empty() && writes.back() == block)
                writes.pop_back();
        }
        Log("  reply " + Readable(block) + " dropped: the line is closed or nobody is connected");
        return false;
    }
    Log("  reply " + Readable(block));
    return true;
}

// Sleeps, but wakes up for Stop; false when stopping.
bool VirtualCutter::Impl::Pause(int milliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!stop) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return true;
        pollfd fd = {wake.ReadFd(), POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(left.count()) + 1) > 0)
            wake.Drain();
    }
    return false;
}

void VirtualCutter::Impl::Vanish() {
    Log("  vanished: line closed");
    line->Close();
    announcement.reset();
    {
        std::lock_guard<std::mutex> lock(mutex);
        vanished = true;
        running = false;
        announcementPath.clear();
    }
    changed.notify_all();
}

void VirtualCutter::Impl::Log(const std::string& text) const {
    if (options.onLog)
        options.onLog(text);
}

std::string VirtualCutter::Impl::LineEnd() const {
    switch (options.lineEnd) {
    case LineEnd::None:
        return "";
    case LineEnd::Cr:
        return "\r";
    case LineEnd::CrLf:
        return "\r\n";
    case LineEnd::Default:
        break;
    }
    // A serial line is read up to CR; a USB read is a reply by itself.
    return options.link == Link::Serial ? "\r" : "";
}

Faults VirtualCutter::Impl::CurrentFaults() const {
    std::lock_guard<std::mutex> lock(mutex);
    return faults;
}

VirtualCutter::VirtualCutter(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}

VirtualCutter::~VirtualCutter() {
    Stop();
}

void VirtualCutter::Start() {
    impl_->Start();
}

void VirtualCutter::Stop() {
    impl_->Stop();
}

bool VirtualCutter::Running() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->running;
}

fs::path VirtualCutter::DevicePath() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->devicePath;
}

fs::path VirtualCutter::AnnouncementPath() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->announcementPath;
}

Link VirtualCutter::GetLink() const {
    return impl_->options.link;
}

CutterState VirtualCutter::State() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->model.State();
}

void VirtualCutter::SetState(const CutterState& state) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->model.SetState(state);
}

Faults VirtualCutter::GetFaults() const {
    return impl_->CurrentFaults();
}

void VirtualCutter::SetFaults(const Faults& faults) {
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        if (faults.vanishAfter != impl_->faults.vanishAfter)
            impl_->vanishBase = impl_->commandCount;
        impl_->faults = faults;
    }
    impl_->wake.Wake(); // a held reply goes out at once when gluing was switched off
}

std::vector<std::string> VirtualCutter::Commands() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->commands;
}

std::string VirtualCutter::Received() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->received;
}

std::vector<std::string> VirtualCutter::Writes() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->writes;
}

std::size_t VirtualCutter::CommandCount() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->commandCount;
}

void VirtualCutter::ClearHistory() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->commands.clear();
    impl_->received.clear();
    impl_->writes.clear();
}

std::vector<Figure> VirtualCutter::Figures() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    const auto& figures = impl_->model.Figures();
    return {figures.begin(), figures.end()};
}

std::optional<Figure> VirtualCutter::LastClosedFigure() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    const auto& figures = impl_->model.Figures();
    for (auto it = figures.rbegin(); it != figures.rend(); ++it)
        if (it->closed)
            return *it;
    return std::nullopt;
}

bool VirtualCutter::WaitForCommands(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    return impl_->changed.wait_for(lock, timeout, [&] { return impl_->commandCount >= count; });
}

bool VirtualCutter::WaitUntilVanished(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    return impl_->changed.wait_for(lock, timeout, [&] { return impl_->vanished; });
}

bool VirtualCutter::Vanished() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->vanished;
}

void VirtualCutter::SetCommandCallback(std::function<void(const std::string&)> callback) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->onCommand = std::move(callback);
}

} // namespace zopra::vc
