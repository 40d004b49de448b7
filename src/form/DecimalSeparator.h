#pragma once
// The decimal separator from the host's regional settings, as the window's number texts can
// carry it. The texts are UTF-8 and the separator is one byte of them: a character outside
// ASCII would be a stray byte that breaks every number, and a letter, digit, sign or space
// would be read as part of the number.
#include <string_view>

namespace zopra {

// The host's separator (UTF-16, as Win32 and Qt give it) when it is one ASCII punctuation
// character other than a sign, else ".".
char UsableDecimalSeparator(std::u16string_view hostSeparator);

} // namespace zopra
