// Any title on any date: expansion must not crash, must leave a title without '%' alone, and
// must never leave a variable that it replaces in a title whose variables cannot overlap.
#include "upload/DateVariables.h"

#include <QLocale>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    static const bool localeSet = [] {
        QLocale::setDefault(QLocale(QStringLiteral("en_GB")));
        return true;
    }();
    Q_UNUSED(localeSet);
    const int dayNumber = int(data[0]) | (int(data[1]) << 8) | (int(data[2] & 0x3f) << 16);
    const QDate date = QDate(1900, 1, 1).addDays(dayNumber % 200000);
    const QString title =
        QString::fromUtf8(reinterpret_cast<const char *>(data + 3), qsizetype(size - 3));
    const QString expanded = DateVariables::expand(title, date);
    if (!title.contains(u'%'))
        check(expanded == title);
    for (const auto &[variable, value] : DateVariables::values(date)) {
        if (title == variable)
            check(expanded == value);
    }
    const QString once = DateVariables::expand(QStringLiteral("x%date%y"), date);
    check(once.startsWith(u'x') && once.endsWith(u'y') && !once.contains(QStringLiteral("%date%")));
    return 0;
}
