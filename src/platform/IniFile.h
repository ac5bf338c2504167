#pragma once

#include "platform/FileSystem.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringConverter>
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

    // How the file's bytes were read: a byte-order mark decides; without one, text that is valid
    // UTF-8 is read as UTF-8 (what Notepad saves today) and anything else in `ansi`, the
    // system's 8-bit code page unless a test gives another.
    enum class Encoding
    {
        Utf16Bom,
        Utf8Bom,
        Utf8,
        Ansi
    };

    static IniFile parse(const QByteArray &bytes,
                         QStringConverter::Encoding ansi = QStringConverter::System);
    // Reads and parses a file; on failure returns nothing and sets `error`.
    static std::optional<IniFile> load(const QString &path, FileError *error = nullptr);

    // Empty text when the section or key is missing.
    QString value(const QString &section, const QString &key) const;
    QString rawValue(const QString &section, const QString &key) const;
    bool contains(const QString &section, const QString &key) const;

    Encoding encoding() const { return m_encoding; }
    // For people: "UTF-8", "ANSI code page 1252"...
    QString encodingName() const;

    // Every section in file order, duplicates included, for tools that report what is ignored.
    const QList<Section> &sections() const { return m_sections; }

private:
    const Key *find(const QString &section, const QString &key) const;

    Encoding m_encoding = Encoding::Utf8;
    QList<Section> m_sections;
    QHash<QString, int> m_firstSection; // lower-case name -> index into m_sections
};
