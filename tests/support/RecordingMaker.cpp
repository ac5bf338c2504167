#include "support/RecordingMaker.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace RecordingMaker {

namespace {

void run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(60000)) << program.toStdString();
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}

QByteArray made(const QStringList &parts, const QStringList *options)
{
    const QTemporaryDir folder;
    const QString wavFile = folder.filePath(QStringLiteral("made.wav"));
    QStringList pieces;
    for (const QString &part : parts) {
        pieces.append(folder.filePath(QStringLiteral("part%1.wav").arg(pieces.size())));
        run(QStringLiteral("sox"),
            QStringList{QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                        QStringLiteral("-c"), QStringLiteral("2"), pieces.last(),
                        QStringLiteral("synth")} +
                part.split(u' '));
    }
    run(QStringLiteral("sox"), pieces + QStringList{wavFile});
    QString result = wavFile;
    if (options) {
        result = folder.filePath(QStringLiteral("made.mp3"));
        run(QStringLiteral("lame"),
            QStringList{QStringLiteral("--quiet")} + *options + QStringList{wavFile, result});
    }
    QFile file(result);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << result.toStdString();
    return file.readAll();
}

} // namespace

QByteArray wav(const QStringList &parts)
{
    return made(parts, nullptr);
}

QByteArray mp3(const QStringList &parts, const QStringList &options)
{
    return made(parts, &options);
}

} // namespace RecordingMaker
