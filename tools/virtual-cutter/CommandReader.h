#pragma once
// Cuts the byte stream from the computer into commands, as the cutter's firmware does:
// an escape command runs from ESC "." and a letter to the next ":", an HP-GL instruction
// from its two-letter mnemonic to the next ";". Everything in between (CR, LF, noise) is
// junk: handed on for the log and otherwise skipped, so it never stops the reader.
#include <string>
#include <string_view>
#include <vector>

namespace zopra::vc {

struct StreamItem {
    enum class Kind { Command, Junk };
    Kind kind = Kind::Junk;
    std::string bytes; // exactly as received
};

class CommandReader {
public:
    // Appends what the bytes complete to items. A command cut off at the end of the bytes
    // waits for the next call; junk is handed on at the end of every call.
    void Feed(std::string_view bytes, std::vector<StreamItem>& items);

    // Forgets a half-read command (a new peer starts a new stream).
    void Reset();

private:
    enum class Step { Idle, Esc, EscDot, EscBody, Mnemonic, Parameters };

    void Take(char byte, std::vector<StreamItem>& items);
    void Begin(Step step, char byte);
    void Finish(std::vector<StreamItem>& items);
    void Abandon();
    void FlushJunk(std::vector<StreamItem>& items);

    Step step_ = Step::Idle;
    std::string partial_;
    std::string junk_;
};

// The bytes in a form fit for a log line: ESC as "ESC" joined to what follows, other
// control bytes as CR, LF, TAB or 0xNN, separated by blanks from the printable text.
std::string Readable(std::string_view bytes);

} // namespace zopra::vc
