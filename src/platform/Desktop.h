#pragma once

#include <QString>

// Hands a folder or a text file to the desktop's own application without waiting for it, and
// tells whether the desktop has a notification area for the program's icon.
class Desktop
{
public:
    virtual ~Desktop() = default;
    // Each returns an empty text on success, otherwise which program failed and why.
    virtual QString openFolder(const QString &folder) = 0;
    virtual QString editTextFile(const QString &path) = 0;
    virtual bool hasSystemTray() const = 0;
};
