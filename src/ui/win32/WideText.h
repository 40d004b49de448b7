#pragma once
// The window keeps every text in UTF-8, as the rest of the program does; the Win32 calls take
// and give UTF-16. The conversions are the platform layer's, shared with the device calls.
#include "platform/win32/WideText.h"

namespace zopra::win32 {

using platform::Narrow;
using platform::Widen;

} // namespace zopra::win32
