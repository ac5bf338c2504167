#include "support/ScriptedDialogs.h"

using namespace Qt::StringLiterals;

void ScriptedDialogs::keepOpen()
{
    if (whileOpen)
        whileOpen();
}

void ScriptedDialogs::showMessage(const QString &text, const QString &title, Icon icon)
{
    shown.append({u"message"_s, text, title, icon});
    keepOpen();
}

QString ScriptedDialogs::askText(const QString &prompt, const QString &title)
{
    shown.append({u"text"_s, prompt, title, Icon::None});
    keepOpen();
    return textAnswers.isEmpty() ? QString() : textAnswers.takeFirst();
}

QString ScriptedDialogs::chooseFileToOpen(const QString &filterName, const QString &patterns)
{
    shown.append({u"file"_s, patterns, filterName, Icon::None});
    keepOpen();
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QList<ScriptedDialogs::Shown> ScriptedDialogs::messages() const
{
    QList<Shown> result;
    for (const Shown &item : shown) {
        if (item.kind == u"message"_s)
            result.append(item);
    }
    return result;
}
