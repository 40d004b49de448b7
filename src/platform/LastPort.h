#pragma once
// What the program keeps between runs: the connection last used, so that the window offers it
// again, and beside it the folder of the file last saved or opened, where the next file
// dialog starts. Kept where the system keeps a user's settings: on Linux the files
// $XDG_CONFIG_HOME/zopra/last-port and last-folder (~/.config when the variable is unset), on
// Windows the values LastPort and LastFolder under HKCU\Software\zopra. Neither reading nor
// storing ever fails for the user: a failure is traced (ZOPRA_DEBUG) and reads as nothing.
#include <memory>
#include <string>

namespace zopra::platform {

class LastPortStore {
public:
    virtual ~LastPortStore() = default;
    // The port stored, or "" when there is none or it cannot be read.
    virtual std::string Read() = 0;
    virtual void Write(const std::string& port) = 0;
    // The folder last used (UTF-8), or "".
    virtual std::string ReadFolder() = 0;
    virtual void WriteFolder(const std::string& folder) = 0;
};

// The store of the user running the program.
std::unique_ptr<LastPortStore> UserLastPortStore();

// A stored text is a port (or a folder) only when it is one line of printable text of a sensible
// length: anything else (an edited or damaged file) is no port.
bool PlausiblePortText(const std::string& text);

} // namespace zopra::platform
