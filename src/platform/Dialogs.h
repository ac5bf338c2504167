#pragma once

#include <QString>

// Modal questions to the operator. The window build shows real dialogs; tests script the answers.
class Dialogs
{
public:
    enum class Icon
    {
        None,
        Critical
    };

    virtual ~Dialogs() = default;
    // Returns when the operator has closed the box.
    virtual void showMessage(const QString &text, const QString &title, Icon icon) = 0;
    // An empty result means the operator gave no text or cancelled.
    virtual QString askText(const QString &prompt, const QString &title) = 0;
    // `patterns` are the file-name patterns offered, e.g. "*.mp3 *.MP3". Empty on cancel.
    virtual QString chooseFileToOpen(const QString &filterName, const QString &patterns) = 0;
};
