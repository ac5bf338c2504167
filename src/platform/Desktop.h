#pragma once

#include <QString>

// Hands a folder or a text file to the desktop's own application without waiting for it.
class Desktop
{
public:
    virtual ~Desktop() = default;
    // Each returns an empty text on success, otherwise which program failed and why.
    virtual QString openFolder(const QString &folder) = 0;
    virtual QString editTextFile(const QString &path) = 0;
};
