#include "platform/IniFile.h"

#include <QStringDecoder>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\v';
}

QStringView trimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

QString withoutOuterQuotes(QStringView value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return value.mid(1, value.size() - 2).toString();
    }
    return value.toString();
}

QString decode(const QByteArray &bytes, QStringConverter::Encoding ansi,
               IniFile::Encoding *encoding)
{
    if (bytes.startsWith("\xFF\xFE")) {
        *encoding = IniFile::Encoding::Utf16Bom;
        QStringDecoder utf16(QStringDecoder::Utf16LE);
        return utf16(bytes.mid(2));
    }
    // An editor that saves with a UTF-8 byte-order mark must not hide the first section.
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        *encoding = IniFile::Encoding::Utf8Bom;
        return QString::fromUtf8(bytes.mid(3));
    }
    // A text in an 8-bit code page with any letter beyond ASCII is almost never valid UTF-8, so
    // valid UTF-8 is taken for what it is.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (!utf8.hasError()) {
        *encoding = IniFile::Encoding::Utf8;
        return text;
    }
    *encoding = IniFile::Encoding::Ansi;
    QStringDecoder local(ansi);
    return local(bytes);
}

QString ansiCodePageName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("ANSI code page %1").arg(GetACP());
#else
    return QStringLiteral("the system's 8-bit encoding");
#endif
}

} // namespace

IniFile IniFile::parse(const QByteArray &bytes, QStringConverter::Encoding ansi)
{
    IniFile ini;
    const QString text = decode(bytes, ansi, &ini.m_encoding);
    Section *current = nullptr;
    bool currentIsFirst = false;
    int lineNumber = 0;

    for (QStringView line : QStringView(text).split(u'\n')) {
        ++lineNumber;
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QStringView content = trimBlanks(line);
        if (content.startsWith(u'[')) {
            qsizetype close = content.indexOf(u']');
            if (close < 0)
                close = content.size();
            Section section;
            section.name = trimBlanks(content.mid(1, close - 1)).toString();
            section.line = lineNumber;
            ini.m_sections.append(section);
            current = &ini.m_sections.last();
            const QString folded = current->name.toLower();
            currentIsFirst = !ini.m_firstSection.contains(folded);
            if (currentIsFirst)
                ini.m_firstSection.insert(folded, int(ini.m_sections.size() - 1));
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!current || equals < 0)
            continue;
        const QStringView name = trimBlanks(line.left(equals));
        if (name.startsWith(u';'))
            continue;
        const QStringView after = line.mid(equals + 1);
        current->keys.append(Key{name.toString(), withoutOuterQuotes(trimBlanks(after)),
                                 after.toString(), lineNumber});
    }
    return ini;
}

std::optional<IniFile> IniFile::load(const QString &path, FileError *error)
{
    const FileRead read = readWholeFile(path, MaxFileBytes);
    if (read.error.failed()) {
        if (error)
            *error = read.error;
        return std::nullopt;
    }
    return parse(read.bytes);
}

QString IniFile::encodingName() const
{
    switch (m_encoding) {
    case Encoding::Utf16Bom:
        return QStringLiteral("UTF-16 with byte-order mark");
    case Encoding::Utf8Bom:
        return QStringLiteral("UTF-8 with byte-order mark");
    case Encoding::Utf8:
        return QStringLiteral("UTF-8");
    case Encoding::Ansi:
        break;
    }
    return ansiCodePageName() + QStringLiteral(" (not valid UTF-8)");
}

const IniFile::Key *IniFile::find(const QString &section, const QString &key) const
{
    const auto it = m_firstSection.constFind(section.toLower());
    if (it == m_firstSection.constEnd())
        return nullptr;
    for (const Key &candidate : m_sections.at(*it).keys) {
        if (candidate.name.compare(key, Qt::CaseInsensitive) == 0)
            return &candidate;
    }
    return nullptr;
}

QString IniFile::value(const QString &section, const QString &key) const
{
    const Key *found = find(section, key);
    return found ? found->value : QString();
}

QString IniFile::rawValue(const QString &section, const QString &key) const
{
    const Key *found = find(section, key);
    return found ? found->rawValue : QString();
}

bool IniFile::contains(const QString &section, const QString &key) const
{
    return find(section, key) != nullptr;
}
