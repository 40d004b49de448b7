#pragma once

#include <string>
#include <string_view>

namespace zopra::win32 {

// The window keeps every text in UTF-8, as the rest of the program does; the Win32 calls take
// and give UTF-16. These two are the only crossings. Invalid sequences become U+FFFD.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

} // namespace zopra::win32
