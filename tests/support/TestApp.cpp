#include "support/TestApp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TestApp::TestApp(const QDateTime &start) : clock(start)
{
    for (const char *sub : {"local", "config", "program", "data"})
        QDir(home()).mkpath(QString::fromLatin1(sub));
    environment.programDir = home() + u"/program"_s;
    environment.dataDir = home() + u"/data"_s;
    environment.configDir = home() + u"/config"_s;
    environment.variables.insert(u"LocalAppData"_s, localAppData());
    ctx.setView(&view);
    ctx.CFG.LocalAppFolder = localAppData() + QDir::separator();
    ctx.WorkingDirectory = QDir::toNativeSeparators(environment.programDir) + QDir::separator();
    ctx.LastMinute = start.time().toString(u"HH:mm"_s);
}

QString TestApp::writeFile(const QString &path, const QByteArray &bytes) const
{
    const QString full = QDir(home()).filePath(path);
    QDir().mkpath(QFileInfo(full).path());
    QFile file(full);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(full));
    file.write(bytes);
    file.flush();
    // A recording is judged by its age on the test's clock, not the machine's: an hour old is
    // neither still being written nor last week's.
    if (path.startsWith(u"shows/"_s))
        file.setFileTime(clock.now().addSecs(-3600), QFileDevice::FileModificationTime);
    return full;
}

QString TestApp::writeConfig(const QByteArray &text) const
{
    return writeFile(auditFolder() + u"tunebarn.ini"_s, text);
}

void TestApp::writePlayoutSetting(const QString &rawValue) const
{
    writeFile(u"config/Rulmo Playout System.ini"_s,
              "[Settings]\nCFG Folder=" + rawValue.toUtf8() + '\n');
}

QString TestApp::auditFilePath(const QDate &date) const
{
    return auditFolder() + u"Tunebarn"_s + date.toString(u"ddMMyy"_s) + u"Adt.txt"_s;
}

QStringList TestApp::auditTexts(const QDate &date) const
{
    QStringList lines = QString::fromLocal8Bit(fileBytes(auditFilePath(date))).split(u"\r\n"_s);
    lines.removeLast();
    return withoutTimes(lines);
}

QStringList TestApp::heldTexts() const
{
    return withoutTimes(ctx.Audit.lines());
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList withoutTimes(const QStringList &lines)
{
    QStringList texts;
    for (const QString &line : lines)
        texts.append(line.mid(10));
    return texts;
}

void expectTexts(const QStringList &actual, const QStringList &expected)
{
    ASSERT_EQ(actual.size(), expected.size()) << actual.join(u'\n').toStdString();
    for (qsizetype i = 0; i < expected.size(); ++i) {
        if (expected[i].endsWith(u'*'))
            EXPECT_TRUE(actual[i].startsWith(expected[i].chopped(1))) << actual[i].toStdString();
        else
            EXPECT_EQ(actual[i], expected[i]);
    }
}
