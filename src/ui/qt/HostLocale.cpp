#include "ui/qt/HostLocale.h"

#include <QLocale>

namespace zopra {

char HostDecimalSeparator() {
    // QLocale() is the system locale unless a test has made another the default.
    const QString separator = QLocale().decimalPoint();
    if (separator.size() != 1 || separator.front().unicode() > 0xFF) {
        return '.';
    }
    return separator.front().toLatin1();
}

} // namespace zopra
