#pragma once

#include <QString>

// Whether a window can be opened at all, asked before the toolkit starts (it aborts otherwise).
// Returns an explanation when it cannot, empty text when it can.
QString missingDisplayReason();
