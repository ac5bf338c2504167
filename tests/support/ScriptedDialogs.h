#pragma once

#include "platform/Dialogs.h"

#include <QList>
#include <QStringList>

#include <functional>

// Dialogs whose answers the test gives in advance. Every question is recorded. A box can run
// `whileOpen` before it returns, as a real modal box keeps the event loop running.
class ScriptedDialogs : public Dialogs
{
public:
    struct Shown
    {
        QString kind; // "message", "text" or "file"
        QString text;
        QString title;
        Icon icon = Icon::None;
    };

    void showMessage(const QString &text, const QString &title, Icon icon) override;
    QString askText(const QString &prompt, const QString &title) override;
    QString chooseFileToOpen(const QString &filterName, const QString &patterns) override;

    QList<Shown> shown;
    QStringList textAnswers; // taken in order; none left means "cancelled"
    QStringList fileAnswers;
    std::function<void()> whileOpen;

    QList<Shown> messages() const;

private:
    void keepOpen();
};
