#pragma once

#include <QString>

// Whether a window can be opened at all, asked before the toolkit starts (it aborts otherwise).
// Returns an explanation when it cannot, empty text when it can.
QString missingDisplayReason();

// Whether anyone can see the windows once the toolkit runs. On the offscreen and minimal
// platforms a modal box would wait for ever for a click that cannot come.
bool windowsCanBeSeen();
