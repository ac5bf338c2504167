#include "platform/DesignFont.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QStringList>

namespace DesignFont {

namespace {

QString &standInFamily()
{
    static QString family;
    return family;
}

} // namespace

void loadStandIns()
{
    if (QFontDatabase::families().contains(QStringLiteral("MS Sans Serif"))) {
        standInFamily() = QStringLiteral("MS Sans Serif");
        return;
    }
    for (const QString &family : {QStringLiteral("Liberation Sans"), QStringLiteral("Arial")}) {
        if (QFontDatabase::families().contains(family)) {
            standInFamily() = family;
            return;
        }
    }
}

QFont msSansSerif(qreal pointSize, bool bold)
{
    QFont font;
    if (!standInFamily().isEmpty())
        font.setFamily(standInFamily());
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

QFont windowDefault()
{
    return msSansSerif(8.25);
}

} // namespace DesignFont
