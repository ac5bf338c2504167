#pragma once

#include <QStringList>

class TestApp;

// The audit lines every Refresh Config starts with when no playout setting exists: the
// configuration is looked for in the audit folder.
QStringList configLookupLines(const TestApp &app);
