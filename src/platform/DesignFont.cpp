#include "platform/DesignFont.h"

#include <QGuiApplication>

namespace DesignFont {

QStringList standInFamilies()
{
    return {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans")};
}

QFont msSansSerif(qreal pointSize, bool bold)
{
    QFont font;
    font.setFamilies(standInFamilies());
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

QFont windowDefault()
{
    return msSansSerif(8.25);
}

void loadStandIns()
{
    QGuiApplication::setFont(windowDefault());
}

} // namespace DesignFont
