#include "form/DecimalSeparator.h"

namespace zopra {

char UsableDecimalSeparator(std::u16string_view hostSeparator) {
    if (hostSeparator.size() != 1)
        return '.';
    const char16_t c = hostSeparator.front();
    // ASCII punctuation: ! to /, : to @, [ to `, { to ~.
    const bool punctuation = (c >= u'!' && c <= u'/') || (c >= u':' && c <= u'@') ||
                             (c >= u'[' && c <= u'`') || (c >= u'{' && c <= u'~');
    if (!punctuation || c == u'-' || c == u'+')
        return '.';
    return static_cast<char>(c);
}

} // namespace zopra
