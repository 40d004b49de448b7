#pragma once
// The last port (and the last folder) as a one-line file, at a place of the caller's choosing
// (tests) or in the user's configuration folder.
#include "platform/LastPort.h"

#include <filesystem>

namespace zopra::platform {

class LastPortFile final : public LastPortStore {
public:
    explicit LastPortFile(std::filesystem::path file) : file_(std::move(file)) {}
    std::string Read() override;
    void Write(const std::string& port) override;
    // The folder in the file last-folder beside the port's file.
    std::string ReadFolder() override;
    void WriteFolder(const std::string& folder) override;

private:
    std::filesystem::path file_;
    std::filesystem::path FolderFile() const;
};

// $XDG_CONFIG_HOME/zopra/last-port, or ~/.config/zopra/last-port; empty when neither
// XDG_CONFIG_HOME nor HOME is set to an absolute path.
std::filesystem::path LastPortFilePath();

} // namespace zopra::platform
