#pragma once
// The cutter's own texts (identity, model names, replies) as zopra-cli writes them out.
#include <string>
#include <string_view>

namespace zopra::settings {

// A cutter's text for output. The cutter sends single bytes; each is taken as the Latin-1
// character of its number, so that every text is valid UTF-8 (as JSON must be) and the same
// bytes give the same text everywhere: in JSON, in text output, and where a backup's model
// is compared with the cutter's.
std::string CutterText(std::string_view bytes);
// CutterText for text output and messages: control characters (the C1 ones too) become '?',
// so that a cutter's text never breaks a line or drives the terminal.
std::string ShownText(std::string_view bytes);

} // namespace zopra::settings
