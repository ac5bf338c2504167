#pragma once

#include <QFont>
#include <QStringList>

// The windows were designed in MS Sans Serif. Qt can use only the smallest bitmap strike of the
// free clone, so an outline face with nearly the same widths stands in: Microsoft Sans Serif
// where it exists, Liberation Sans (within a few per cent at 8.25, 9.75 and 12 pt) after it,
// and the platform default when neither is installed.
namespace DesignFont {

QStringList standInFamilies();
QFont msSansSerif(qreal pointSize, bool bold = false);
// The platform's default dialog font of the design (MS Sans Serif 8.25 pt).
QFont windowDefault();
// Makes the window default the application's font, so menus and the standard dialogs match
// the windows. Call once after the application starts.
void loadStandIns();

} // namespace DesignFont
