#pragma once

#include <QFont>

// The windows were designed in MS Sans Serif. Where that face is missing, the closest metric
// match that is installed stands in, and the platform default after that.
namespace DesignFont {

// Makes the stand-in fonts known to the toolkit; call once after the application starts.
void loadStandIns();
QFont msSansSerif(qreal pointSize, bool bold = false);
// The platform's default dialog font of the design (MS Sans Serif 8.25 pt).
QFont windowDefault();

} // namespace DesignFont
