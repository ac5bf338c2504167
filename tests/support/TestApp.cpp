#include "support/TestApp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TestApp::TestApp(const QDateTime &start) : clock(start)
{
    QDir(home()).mkpath(QStringLiteral("local"));
    QDir(home()).mkpath(QStringLiteral("config"));
    QDir(home()).mkpath(QStringLiteral("program"));
    QDir(home()).mkpath(QStringLiteral("data"));
    environment.programDir = programFolder();
    environment.dataDir = home() + QStringLiteral("/data");
    environment.configDir = home() + QStringLiteral("/config");
    environment.variables.insert(QStringLiteral("LocalAppData"), localAppData());
    ctx.setView(&view);
    ctx.CFG.LocalAppFolder = localAppData() + QDir::separator();
    ctx.WorkingDirectory = programFolder() + QDir::separator();
    ctx.LastMinute = start.time().toString(QStringLiteral("HH:mm"));
}

QString TestApp::writeFile(const QString &path, const QByteArray &text) const
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(text);
    return path;
}

QString TestApp::writeConfig(const QByteArray &text, const QString &folder) const
{
    const QString dir = folder.isEmpty() ? auditFolder() : folder;
    return writeFile(QDir(dir).filePath(QStringLiteral("tunebarn.ini")), text);
}

void TestApp::writePlayoutSetting(const QString &rawValue) const
{
    writeFile(environment.configDir + QStringLiteral("/Rulmo Playout System.ini"),
              QByteArray("[Settings]\nCFG Folder=") + rawValue.toUtf8() + '\n');
}

QString TestApp::auditFilePath(const QDate &date) const
{
    return auditFolder() + QStringLiteral("Tunebarn") + date.toString(QStringLiteral("ddMMyy"))
           + QStringLiteral("Adt.txt");
}

QStringList TestApp::auditLines(const QDate &date) const
{
    QFile file(auditFilePath(date));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromLocal8Bit(file.readAll());
    if (text.endsWith(QStringLiteral("\r\n")))
        text.chop(2);
    if (text.isEmpty())
        return {};
    return text.split(QStringLiteral("\r\n"));
}

QStringList TestApp::auditTexts(const QDate &date) const
{
    return withoutTimes(auditLines(date));
}

QStringList TestApp::heldTexts() const
{
    return withoutTimes(ctx.Audit.heldLines());
}

QStringList withoutTimes(const QStringList &lines)
{
    QStringList texts;
    for (const QString &line : lines)
        texts.append(line.mid(10));
    return texts;
}
