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
        FPath = path;
        setenv("XDG_RUNTIME_DIR", path.c_str(), 1);
    }
    ~PrivateRuntimeDir() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }

private:
    std::filesystem::path FPath;
};

class VirtualFormCutter : public FormCutter {
public:
    explicit VirtualFormCutter(vc::Options options) : FCutter(std::move(options)) {
        FCutter.Start();
    }

    std::unique_ptr<CutterConnections> MakeLinks() const override {
        return std::make_unique<CutterConnections>();
    }
    // Its device on the serial presentation, the model its probe answered on the printer
    // class, the first vendor-library number on that presentation.
    std::string Entry() const override {
        switch (FCutter.GetLink()) {
        case vc::Link::Printer:
            return FCutter.State().model;
        case vc::Link::UsbApi:
            return "QRM USB0";
        case vc::Link::Serial:
            break;
        }
        return FCutter.DevicePath().string();
    }
    std::vector<std::string> Commands() const override { return FCutter.Commands(); }
    void ClearHistory() override { FCutter.ClearHistory(); }
    vc::CutterState State() const override { return FCutter.State(); }
    void SetState(const vc::CutterState& state) override { FCutter.SetState(state); }

    vc::VirtualCutter& Cutter() { return FCutter; }

private:
    vc::VirtualCutter FCutter;
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
