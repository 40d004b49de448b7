#pragma once
// UTF-8 inside the program, UTF-16 at the Win32 boundary: the only two crossings, for the
// platform calls and the window alike. Invalid sequences become U+FFFD.
#include <string>
#include <string_view>

namespace zopra::platform {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

} // namespace zopra::platform
