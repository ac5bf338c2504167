#include "app/cli/TextTable.h"

#include "platform/ControlText.h"

#include <QTextStream>

void printTable(const QList<QStringList> &cells, QTextStream &out)
{
    // A cell's line break would start a row of its own.
    QList<QStringList> rows;
    for (const QStringList &row : cells) {
        rows.append(QStringList());
        for (const QString &cell : row)
            rows.last().append(ControlText::escaped(cell));
    }
    QList<qsizetype> widths;
    for (const QStringList &row : rows) {
        for (qsizetype column = 0; column < row.size(); ++column) {
            if (widths.size() <= column)
                widths.append(0);
            widths[column] = std::max(widths[column], row[column].size());
        }
    }
    for (const QStringList &row : rows) {
        QString line;
        for (qsizetype column = 0; column < row.size(); ++column) {
            const bool last = column == row.size() - 1;
            line += column == 0 ? row[column].rightJustified(widths[column])
                                : (last ? row[column] : row[column].leftJustified(widths[column]));
            if (!last)
                line += QStringLiteral("  ");
        }
        // An empty last column would leave the padding of the one before it behind.
        while (line.endsWith(u' '))
            line.chop(1);
        out << line << '\n';
    }
}
