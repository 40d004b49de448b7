#include "CommandReader.h"

#include <cstdio>

namespace zopra::vc {

namespace {

constexpr char kEsc = '\x1b';
// Longer than any command the cutter knows; a run this long without its end is noise.
constexpr std::size_t kMaxEscape = 64;
constexpr std::size_t kMaxInstruction = 4096;

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsControl(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == '\x7f';
}

// HP-GL parameters are numbers separated by commas; blanks are tolerated.
bool IsParameterByte(char c) {
    return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == ',' || c == ' ';
}

} // namespace

void CommandReader::Feed(std::string_view bytes, std::vector<StreamItem>& items) {
    for (char byte : bytes)
        Take(byte, items);
    FlushJunk(items);
}

void CommandReader::Reset() {
    step_ = Step::Idle;
    partial_.clear();
    junk_.clear();
}

void CommandReader::Take(char byte, std::vector<StreamItem>& items) {
    switch (step_) {
    case Step::Idle:
        if (byte == kEsc)
            Begin(Step::Esc, byte);
        else if (IsLetter(byte))
            Begin(Step::Mnemonic, byte);
        else
            junk_ += byte;
        return;
    case Step::Esc:
        if (byte == '.') {
            partial_ += byte;
            step_ = Step::EscDot;
            return;
        }
        break;
    case Step::EscDot:
        if (IsLetter(byte)) {
            partial_ += byte;
            step_ = Step::EscBody;
            return;
        }
        break;
    case Step::EscBody:
        if (byte == ':') {
            partial_ += byte;
            Finish(items);
            return;
        }
        if (!IsControl(byte) && partial_.size() < kMaxEscape) {
            partial_ += byte;
            return;
        }
        break;
    case Step::Mnemonic:
        if (IsLetter(byte)) {
            partial_ += byte;
            step_ = Step::Parameters;
            return;
        }
        break;
    case Step::Parameters:
        if (byte == ';') {
            partial_ += byte;
            Finish(items);
            return;
        }
        if (IsParameterByte(byte) && partial_.size() < kMaxInstruction) {
            partial_ += byte;
            return;
        }
        break;
    }
    // The byte does not continue the command: what was read of it is noise, and the byte
    // itself may start the next command (a fresh ESC after a broken one, for example).
    Abandon();
    Take(byte, items);
}

void CommandReader::Begin(Step step, char byte) {
    partial_.assign(1, byte);
    step_ = step;
}

void CommandReader::Finish(std::vector<StreamItem>& items) {
    // Noise before a command, including a false start that turned out not to be one, goes
    // out as one piece ahead of it.
    FlushJunk(items);
    items.push_back({StreamItem::Kind::Command, std::move(partial_)});
    partial_.clear();
    step_ = Step::Idle;
}

void CommandReader::Abandon() {
    junk_ += partial_;
    partial_.clear();
    step_ = Step::Idle;
}

void CommandReader::FlushJunk(std::vector<StreamItem>& items) {
    if (junk_.empty())
        return;
    items.push_back({StreamItem::Kind::Junk, std::move(junk_)});
    junk_.clear();
}

std::string Readable(std::string_view bytes) {
    std::string out;
    bool lastWasName = false; // a control byte's name was written last
    auto separate = [&] {
        if (!out.empty() && out.back() != ' ')
            out += ' ';
    };
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == kEsc) {
            separate();
            out += "ESC"; // joined to the command text that follows
            lastWasName = false;
            continue;
        }
        if (u >= 0x20 && u < 0x7f) {
            if (lastWasName)
                separate();
            out += c;
            lastWasName = false;
            continue;
        }
        separate();
        if (c == '\r') {
            out += "CR";
        } else if (c == '\n') {
            out += "LF";
        } else if (c == '\t') {
            out += "TAB";
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", u);
            out += hex;
        }
        lastWasName = true;
    }
    return out;
}

} // namespace zopra::vc
