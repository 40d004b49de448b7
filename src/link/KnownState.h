#pragma once
// What the cutter now connected holds, as far as this connection knows: the values its
// replies reported, never a page's edits. A write of a setting, the scale factors or the AAS
// offsets makes that part "written, not read back" until the cutter reports it again; a
// workflow that builds writes or a file from the cutter's values reads those parts first
// (ReadsToConfirm). The session keeps one per connection and feeds it every reply and write;
// the window and zopra-cli read it, and nothing else changes it.
#include "protocol/CommandCode.h"
#include "protocol/MachineSettings.h"

#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

namespace zopra {

struct KnownValues {
    // As reported. Parts never reported since the opening stay as MachineSettings{} has them.
    MachineSettings values;
    // The identity came in: a complete read of this connection is in `values`.
    bool read = false;
    // The CutterPart bits written since the cutter last reported them.
    unsigned writtenNotReadBack = 0;

    bool Confirmed() const { return read && writtenNotReadBack == 0; }
};

class KnownState {
public:
    // A new opening: the cutter may be another one.
    void Forget();
    // A reply, read by the code of the query it answers. A part whose reply could not be
    // read is no longer known to be what it was: it counts as not read back.
    void Reported(CommandCode code, std::string_view reply);
    // A write went to the cutter: the parts it changes (PartsChangedBy) are not read back
    // from now on.
    void Written(std::string_view bytes);

    KnownValues Now() const;
    // The queries that bring the parts written since their last report up to date:
    // "ESC.R1:" for the settings, "ESC.R3:" for the scale factors, "ESC.R5:" for the AAS
    // offsets. The blade holder has no place in "ESC.R1:": it is taken as written once the
    // read-back shows the rest of the update (the holder's own query is part of a full read).
    std::vector<CommandCode> ReadsToConfirm() const;

private:
    mutable std::mutex mutex_;
    KnownValues known_;
    // The blade holder of the last update written, taken once "ESC.R1:" confirms the update.
    std::optional<int> pendingHolder_;
};

} // namespace zopra
