// Any title, description and paths: the curl arguments must be exactly the intended ones (no
// extra form field, no lost character), read back the way curl reads its -F syntax.
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
            if (c == u'\\' && i + 1 < word.size() && (word.at(i + 1) == u'\\' || word.at(i + 1) == u'"')) {
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

QStringList splitFields(const QByteArray &bytes)
{
    QStringList fields = QString::fromUtf8(bytes).split(QChar(0));
    while (fields.size() < 4)
        fields.append(QString());
    return fields;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList fields = splitFields(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    const UploadRequest request{fields[0], fields[1], fields[2], fields[3],
                                QStringLiteral("http://127.0.0.1:9/upload"), QStringLiteral("/tmp/upload.txt")};
    const CommandLine command = UploadCommand::build(QStringLiteral("/usr/bin/curl"), request);
    const QStringList &args = command.arguments;
    const bool withPicture = !request.picture.isEmpty();
    check(args.size() == (withPicture ? 16 : 14));
    check(args.at(7) == QStringLiteral("-F") && args.at(9) == QStringLiteral("--form-string")
          && args.at(11) == QStringLiteral("--form-string"));
    check(args.at(8).startsWith(QStringLiteral("mp3=@")));
    check(curlFileName(args.at(8).mid(5)) == request.recording);
    check(args.at(10) == QStringLiteral("name=") + request.title);
    check(args.at(12) == QStringLiteral("description=") + request.description);
    if (withPicture) {
        check(args.at(13) == QStringLiteral("-F") && args.at(14).startsWith(QStringLiteral("picture=@")));
        check(curlFileName(args.at(14).mid(9)) == request.picture);
    }
    check(args.last() == request.uploadUrl);
    check(command.display.startsWith(QStringLiteral("/usr/bin/curl -o \"/tmp/upload.txt\"")));
    return 0;
}
