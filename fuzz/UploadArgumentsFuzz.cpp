// Any title, description, paths and address: the curl arguments must be exactly the intended
// ones (no extra form field, no lost character), read back the way curl reads its -F syntax,
// and the address must come back whole from the configuration curl reads on its input.
#include "upload/UploadCommand.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool isAsciiBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

QString trimAsciiBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isAsciiBlank(text.at(begin)))
        ++begin;
    while (end > begin && isAsciiBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

// curl's reading of the file name after "@": a quoted word with \\ and \" escapes, else
// everything up to ';' or ',' with surrounding blanks dropped.
QString curlFileName(const QString &word)
{
    if (word.startsWith(u'"')) {
        QString name;
        for (qsizetype i = 1; i < word.size(); ++i) {
            const QChar c = word.at(i);
            if (c == u'\\' && i + 1 < word.size() &&
                (word.at(i + 1) == u'\\' || word.at(i + 1) == u'"')) {
                name += word.at(++i);
                continue;
            }
            if (c == u'"') {
                check(i == word.size() - 1);
                return name;
            }
            name += c;
        }
    }
    qsizetype end = 0;
    while (end < word.size() && word.at(end) != u';' && word.at(end) != u',')
        ++end;
    check(end == word.size());
    return trimAsciiBlanks(word.left(end));
}

// curl's reading of a "url = \"...\"" configuration line: \t, \n, \r and \v stand for those
// characters, a backslash before any other character for that character.
QString curlConfigUrl(const QByteArray &input)
{
    const QString line = QString::fromUtf8(input);
    check(line.startsWith(QStringLiteral("url = \"")) && line.endsWith(QStringLiteral("\"\n")));
    const QString quoted = line.mid(7, line.size() - 9);
    QString url;
    for (qsizetype i = 0; i < quoted.size(); ++i) {
        QChar c = quoted.at(i);
        if (c == u'\\') {
            check(i + 1 < quoted.size());
            c = quoted.at(++i);
            const qsizetype named = QStringLiteral("tnrv").indexOf(c);
            if (named >= 0)
                c = QStringLiteral("\t\n\r\v").at(named);
        } else {
            check(c != u'\n' && c != u'\r');
            check(c != u'"');
        }
        url += c;
    }
    return url;
}

QStringList splitFields(const QByteArray &bytes)
{
    QStringList fields = QString::fromUtf8(bytes).split(QChar(0));
    while (fields.size() < 5)
        fields.append(QString());
    return fields;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList fields =
        splitFields(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    const UploadRequest request{fields[0], fields[1], fields[2],
                                fields[3], fields[4], QStringLiteral("/tmp/upload.txt")};
    const CommandLine command = UploadCommand::build(QStringLiteral("/usr/bin/curl"), request);
    const QStringList &args = command.arguments;
    const bool withPicture = !request.picture.isEmpty();
    check(args.size() == (withPicture ? 17 : 15));
    check(args.at(0) == QStringLiteral("-q"));
    check(!args.contains(QStringLiteral("-k")));
    check(args.at(7) == QStringLiteral("-F") && args.at(9) == QStringLiteral("--form-string") &&
          args.at(11) == QStringLiteral("--form-string"));
    check(args.at(8).startsWith(QStringLiteral("mp3=@")));
    check(curlFileName(args.at(8).mid(5)) == request.recording);
    check(args.at(10) == QStringLiteral("name=") + request.title);
    check(args.at(12) == QStringLiteral("description=") + request.description);
    if (withPicture) {
        check(args.at(13) == QStringLiteral("-F") &&
              args.at(14).startsWith(QStringLiteral("picture=@")));
        check(curlFileName(args.at(14).mid(9)) == request.picture);
    }
    check(args.mid(args.size() - 2) ==
          QStringList({QStringLiteral("--config"), QStringLiteral("-")}));
    check(curlConfigUrl(command.input) == request.uploadUrl);
    check(command.display.startsWith(QStringLiteral("/usr/bin/curl -q -o \"/tmp/upload.txt\"")));
    return 0;
}
