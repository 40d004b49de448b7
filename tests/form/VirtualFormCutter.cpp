// Linux: the virtual cutter in this process, announced in the runtime folder that the
// form's own discovery reads.
#include "VirtualFormCutter.h"

#include "virtual-cutter/VirtualCutter.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace zopra::testing {

namespace {

// Virtual cutters announce themselves under XDG_RUNTIME_DIR; a private folder for the test's
// process keeps other tests' cutters out of the connection list. Short, because socket paths
// are.
class PrivateRuntimeDir {
public:
    PrivateRuntimeDir() {
        std::string path = "/tmp/zf-XXXXXX";
        if (mkdtemp(path.data()) == nullptr)
            throw std::runtime_error("no private runtime folder");
        path_ = path;
        setenv("XDG_RUNTIME_DIR", path.c_str(), 1);
    }
    ~PrivateRuntimeDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

private:
    std::filesystem::path path_;
};

class VirtualFormCutter : public FormCutter {
public:
    explicit VirtualFormCutter(vc::Options options) : cutter_(std::move(options)) {
        cutter_.Start();
    }

    std::unique_ptr<CutterConnections> MakeLinks() const override {
        return std::make_unique<CutterConnections>();
    }
    // Its device on the serial presentation, the model its probe answered and its device on
    // the printer class, the first vendor-library number on that presentation.
    std::string Entry() const override {
        switch (cutter_.GetLink()) {
        case vc::Link::Printer:
            return cutter_.State().model + " (" + cutter_.DevicePath().string() + ")";
        case vc::Link::UsbApi:
            return "QRM USB0";
        case vc::Link::Serial:
            break;
        }
        return cutter_.DevicePath().string();
    }
    std::vector<std::string> Commands() const override { return cutter_.Commands(); }
    void ClearHistory() override { cutter_.ClearHistory(); }
    vc::CutterState State() const override { return cutter_.State(); }
    void SetState(const vc::CutterState& state) override { cutter_.SetState(state); }

    vc::VirtualCutter& Cutter() { return cutter_; }

private:
    vc::VirtualCutter cutter_;
};

} // namespace

std::unique_ptr<FormCutter> StartFormCutter(vc::Options options) {
    static const PrivateRuntimeDir runtimeDir;
    return std::make_unique<VirtualFormCutter>(std::move(options));
}

vc::VirtualCutter& VirtualCutterOf(FormCutter& cutter) {
    return dynamic_cast<VirtualFormCutter&>(cutter).Cutter();
}

std::vector<vc::Link> FormCutterLinks() {
    return {vc::Link::Serial, vc::Link::Printer};
}

} // namespace zopra::testing
