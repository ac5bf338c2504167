#pragma once

#include "platform/Dialogs.h"

// For runs without a window: a message box becomes one line on standard error, with no wait;
// questions are answered as cancelled.
class StderrDialogs : public Dialogs
{
public:
    void showMessage(const QString &text, const QString &title, Icon icon) override;
    QString askText(const QString &prompt, const QString &title) override;
    QString chooseFileToOpen(const QString &filterName, const QString &patterns) override;
};
