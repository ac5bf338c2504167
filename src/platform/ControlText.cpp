#include "platform/ControlText.h"

namespace ControlText {

namespace {

QString escapedBut(const QString &text, QChar kept)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c.category() != QChar::Other_Control || c == u'\t' || c == kept) {
            escaped += c;
            continue;
        }
        escaped += QStringLiteral("\\x") +
                   QString::number(c.unicode(), 16).toUpper().rightJustified(2, u'0');
    }
    return escaped;
}

} // namespace

QString escaped(const QString &text)
{
    return escapedBut(text, u'\t');
}

QString escapedKeepingLineFeeds(const QString &text)
{
    return escapedBut(text, u'\n');
}

} // namespace ControlText
