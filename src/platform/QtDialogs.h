#pragma once

#include "platform/Dialogs.h"

// The toolkit's own message box, input box and file-open dialog.
class QtDialogs : public Dialogs
{
public:
    void showMessage(const QString &text, const QString &title, Icon icon) override;
    QString askText(const QString &prompt, const QString &title) override;
    QString chooseFileToOpen(const QString &filterName, const QString &patterns) override;
};
