// The virtual cutter's command reader on any byte stream, cut into pieces at places the
// input chooses. However the stream is cut, it must find the same commands, hand on every
// byte exactly once and in order (commands and junk), and keep only a started command back.
#include "virtual-cutter/CommandReader.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using zopra::vc::CommandReader;
using zopra::vc::StreamItem;

void Require(bool condition) {
    if (!condition)
        std::abort();
}

std::vector<std::string> Commands(const std::vector<StreamItem>& items) {
    std::vector<std::string> commands;
    for (const StreamItem& item : items)
        if (item.kind == StreamItem::Kind::Command)
            commands.push_back(item.bytes);
    return commands;
}

std::string AllBytes(const std::vector<StreamItem>& items) {
    std::string bytes;
    for (const StreamItem& item : items)
        bytes += item.bytes;
    return bytes;
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte says how long the pieces are (1 to 16 bytes); the rest is the stream.
    const std::size_t piece = (data[0] & 15) + 1;
    const std::string stream(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::vector<StreamItem> whole;
    CommandReader oneGo;
    oneGo.Feed(stream, whole);

    std::vector<StreamItem> pieces;
    CommandReader inPieces;
    for (std::size_t at = 0; at < stream.size(); at += piece)
        inPieces.Feed(std::string_view(stream).substr(at, piece), pieces);

    Require(Commands(whole) == Commands(pieces));
    const std::string handedOn = AllBytes(whole);
    Require(AllBytes(pieces) == handedOn);
    // Everything but a command still being read was handed on, in order.
    Require(stream.compare(0, handedOn.size(), handedOn) == 0);
    const std::string kept = stream.substr(handedOn.size());
    Require(kept.empty() || kept[0] == '\x1b' || IsLetter(kept[0]));

    for (const StreamItem& item : whole) {
        Require(!item.bytes.empty());
        if (item.kind == StreamItem::Kind::Command) {
            const bool escape = item.bytes[0] == '\x1b';
            Require(item.bytes.back() == (escape ? ':' : ';'));
            if (escape)
                Require(item.bytes.size() >= 4 && item.bytes[1] == '.' && IsLetter(item.bytes[2]));
            else
                Require(item.bytes.size() >= 3 && IsLetter(item.bytes[0]) &&
                        IsLetter(item.bytes[1]));
        }
        Require(!zopra::vc::Readable(item.bytes).empty());
    }
    return 0;
}
