// Windows: the virtual cutter's model behind a vendor USB library in memory. The form's
// commands reach the model through the real vendor-library link and receive thread; each
// reply is one read, without a line end, as on that presentation.
#include "FormCutter.h"

#include "link/PrinterClassLink.h"
#include "platform/SerialDriver.h"
#include "platform/UsbApi.h"
#include "virtual-cutter/CommandReader.h"
#include "virtual-cutter/CutterModel.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>

namespace zopra::testing {

namespace {

// The model and what it received, shared by the library the links own and the test.
struct ModelLine {
    explicit ModelLine(const vc::Options& options)
        : model(options.state, options.errorX, options.errorY, options.material), onLog(options.onLog) {}

    mutable std::mutex mutex;
    vc::CutterModel model;
    vc::CommandReader reader;
    std::deque<std::string> replies;
    std::vector<std::string> commands;
    std::function<void(const std::string&)> onLog;
};

class ModelUsbApi : public platform::UsbApi {
public:
    explicit ModelUsbApi(std::shared_ptr<ModelLine> line) : line_(std::move(line)) {}

    std::int32_t UsbOpenDevice(std::int32_t index) override { return index == 0 ? 1 : kNoDevice; }
    std::int32_t UsbCloseDevice(std::int32_t /*handle*/) override { return 0; }

    std::int32_t UsbWrite(std::int32_t handle, const void* bytes, std::int32_t count) override {
        if (handle != 1 || count < 0)
            return -1;
        std::vector<vc::StreamItem> items;
        std::lock_guard lock(line_->mutex);
        line_->reader.Feed({static_cast<const char*>(bytes), static_cast<std::size_t>(count)},
                           items);
        for (const vc::StreamItem& item : items) {
            if (item.kind != vc::StreamItem::Kind::Command)
                continue;
            const vc::Outcome outcome = line_->model.Execute(item.bytes);
            if (line_->onLog)
                for (const std::string& note : outcome.notes)
                    line_->onLog("  " + note);
            line_->commands.push_back(item.bytes);
            if (outcome.reply)
                line_->replies.push_back(*outcome.reply);
        }
        return count;
    }

    std::int32_t UsbQueryInput(std::int32_t handle, std::int32_t* count) override {
        std::lock_guard lock(line_->mutex);
        if (handle != 1 || line_->replies.empty())
            return -1;
        *count = static_cast<std::int32_t>(line_->replies.front().size());
        return 0;
    }

    std::int32_t UsbRead(std::int32_t handle, void* buffer, std::int32_t capacity,
                         std::int32_t* count) override {
        std::lock_guard lock(line_->mutex);
        if (handle != 1 || line_->replies.empty())
            return -1;
        const std::string reply = std::move(line_->replies.front());
        line_->replies.pop_front();
        const auto size = std::min<std::size_t>(reply.size(), static_cast<std::size_t>(capacity));
        std::memcpy(buffer, reply.data(), size);
        *count = static_cast<std::int32_t>(size);
        return 0;
    }

private:
    std::shared_ptr<ModelLine> line_;
};

class ModelFormCutter : public FormCutter {
public:
    explicit ModelFormCutter(const vc::Options& options)
        : line_(std::make_shared<ModelLine>(options)) {}

    std::unique_ptr<CutterConnections> MakeLinks() const override {
        // No serial port is listed: the leg's COM port belongs to other tests.
        return std::make_unique<CutterConnections>(
            std::make_unique<CUsbIF>(), std::make_unique<ModelUsbApi>(line_),
            platform::SystemSerialDriver(), [] { return std::vector<std::string>{}; });
    }
    std::string Entry() const override { return "QRM USB0"; }
    std::vector<std::string> Commands() const override {
        std::lock_guard lock(line_->mutex);
        return line_->commands;
    }
    void ClearHistory() override {
        std::lock_guard lock(line_->mutex);
        line_->commands.clear();
    }
    vc::CutterState State() const override {
        std::lock_guard lock(line_->mutex);
        return line_->model.State();
    }
    void SetState(const vc::CutterState& state) override {
        std::lock_guard lock(line_->mutex);
        line_->model.SetState(state);
    }

private:
    std::shared_ptr<ModelLine> line_;
};

} // namespace

std::unique_ptr<FormCutter> StartFormCutter(vc::Options options) {
    return std::make_unique<ModelFormCutter>(options);
}

} // namespace zopra::testing

namespace zopra::testing {

std::vector<vc::Link> FormCutterLinks() {
    return {vc::Link::Serial};
}

} // namespace zopra::testing
