#pragma once

#include <QList>
#include <QStringList>

class QTextStream;

// Rows as aligned columns, the first right-justified, for the command-line reports.
void printTable(const QList<QStringList> &rows, QTextStream &out);
