#include "ui/qt/HostLocale.h"

#include "form/DecimalSeparator.h"

#include <QLocale>

namespace zopra {

char HostDecimalSeparator() {
    // QLocale() is the system locale unless a test has made another the default.
    const QString separator = QLocale().decimalPoint();
    return UsableDecimalSeparator(
        std::u16string_view(reinterpret_cast<const char16_t*>(separator.utf16()),
                            static_cast<std::size_t>(separator.size())));
}

} // namespace zopra
