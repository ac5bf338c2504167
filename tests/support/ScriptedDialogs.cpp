#include "support/ScriptedDialogs.h"

void ScriptedDialogs::keepOpen()
{
    if (whileOpen)
        whileOpen();
}

void ScriptedDialogs::showMessage(const QString &text, const QString &title, Icon icon)
{
    shown.append({QStringLiteral("message"), text, title, icon});
    keepOpen();
}

QString ScriptedDialogs::askText(const QString &prompt, const QString &title)
{
    shown.append({QStringLiteral("text"), prompt, title, Icon::None});
    keepOpen();
    return textAnswers.isEmpty() ? QString() : textAnswers.takeFirst();
}

QString ScriptedDialogs::chooseFileToOpen(const QString &filterName, const QString &patterns)
{
    shown.append({QStringLiteral("file"), patterns, filterName, Icon::None});
    keepOpen();
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QList<ScriptedDialogs::Shown> ScriptedDialogs::messages() const
{
    QList<Shown> result;
    for (const Shown &item : shown) {
        if (item.kind == QStringLiteral("message"))
            result.append(item);
    }
    return result;
}
