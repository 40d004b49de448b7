#pragma once
// `zopra-cli preset ...`: the user's material presets (settings/PresetStore.h) listed, saved
// from a cutter, shown, applied to one cutter or every cutter, deleted, exported and
// imported. Each ends as the other commands do: UsageError (exit 2) for a wrong name, file or
// a preset the cutter cannot take (nothing sent), CutterFailure (exit 1) when the read-back
// differs.
#include "cli/Workflows.h"
#include "settings/PresetStore.h"

#include <ostream>
#include <string>

namespace zopra::cli {

struct PresetArguments {
    std::string name;
    std::string device;
    std::string file;
    std::string note;
    bool replace = false;
    bool all = false;
};

void RunPresetList(settings::PresetStore& store, const Options& options, std::ostream& out);
void RunPresetSave(settings::PresetStore& store, const PresetArguments& a, const Options& options,
                   std::ostream& out, std::ostream& err);
void RunPresetShow(settings::PresetStore& store, const PresetArguments& a, std::ostream& out);
void RunPresetApply(settings::PresetStore& store, const PresetArguments& a, const Options& options,
                    std::ostream& out, std::ostream& err);
void RunPresetDelete(settings::PresetStore& store, const PresetArguments& a, std::ostream& out);
void RunPresetExport(settings::PresetStore& store, const PresetArguments& a, std::ostream& out);
void RunPresetImport(settings::PresetStore& store, const PresetArguments& a, std::ostream& out);

} // namespace zopra::cli
