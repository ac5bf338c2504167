#pragma once

#include "platform/FileSystem.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

// An INI file parsed once, answering lookups the way the Windows profile reader does: names
// match without regard to case, the first of duplicated sections and keys counts, blanks around
// names and values are ignored and one pair of matching outer quotes is removed from a value.
class IniFile
{
public:
    struct Key
    {
        QString name;     // as written, blanks removed
        QString value;    // profile-reader value
        QString rawValue; // everything after the first '=' up to the end of the line
        int line = 0;
    };
    struct Section
    {
        QString name; // as written, blanks removed
        int line = 0;
        QList<Key> keys;
    };

    // Larger files are refused: no configuration comes near it, and reading one whole would
    // take the memory and the time of a start-up.
    static constexpr qint64 MaxFileBytes = 4 * 1024 * 1024;

    static IniFile parse(const QByteArray &bytes);
    // Reads and parses a file; on failure returns nothing and sets `error`.
    static std::optional<IniFile> load(const QString &path, FileError *error = nullptr);

    // Empty text when the section or key is missing.
    QString value(const QString &section, const QString &key) const;
    QString rawValue(const QString &section, const QString &key) const;
    bool contains(const QString &section, const QString &key) const;

    // Every section in file order, duplicates included, for tools that report what is ignored.
    const QList<Section> &sections() const { return m_sections; }

private:
    const Key *find(const QString &section, const QString &key) const;

    QList<Section> m_sections;
    QHash<QString, int> m_firstSection; // lower-case name -> index into m_sections
};
