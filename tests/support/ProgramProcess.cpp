#include "support/ProgramProcess.h"

#include "support/QtPrinters.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

ProgramProcess::ProgramProcess()
{
    for (const char *sub : {"local", "config", "shows", "home/.config", "home/.local/share", "run"})
        QDir().mkpath(path(QString::fromLatin1(sub)));
    QFile::setPermissions(path(QStringLiteral("run")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void ProgramProcess::write(const QString &sub, const QByteArray &bytes) const
{
    QDir().mkpath(QFileInfo(path(sub)).path());
    QFile file(path(sub));
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

QProcessEnvironment ProgramProcess::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &name : env.keys()) {
        if (name.startsWith(QStringLiteral("LC_")) ||
            name.endsWith(QStringLiteral("_proxy"), Qt::CaseInsensitive))
            env.remove(name);
    }
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("en_GB.UTF-8"));
    env.insert(QStringLiteral("HOME"), path(QStringLiteral("home")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("home/.config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("home/.local/share")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("run")));
    env.insert(QStringLiteral("LocalAppData"), path(QStringLiteral("local")));
    env.insert(QStringLiteral("NO_PROXY"), QStringLiteral("*"));
    return env;
}

void ProgramProcess::start(QProcess &process, const QString &program,
                           const QStringList &arguments) const
{
    process.setProcessEnvironment(environment());
    process.setWorkingDirectory(path(QStringLiteral("home")));
    process.start(program, arguments);
}

QStringList ProgramProcess::auditFiles() const
{
    return QDir(auditFolder()).entryList({QStringLiteral("Tunebarn*Adt.txt")}, QDir::Files,
                                         QDir::Time | QDir::Reversed);
}

QStringList ProgramProcess::auditTexts() const
{
    QStringList texts;
    const QDir folder(auditFolder());
    for (const QString &name : auditFiles()) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (!line.isEmpty())
                texts.append(QString::fromLocal8Bit(line.chopped(1)).mid(10));
        }
    }
    return texts;
}

QString builtProgram(const QString &name)
{
    const QString dir = qEnvironmentVariable("TUNEBARN_BUILD_DIR");
    return QDir(dir.isEmpty() ? QCoreApplication::applicationDirPath() : dir).filePath(name);
}

QString asterisks()
{
    return QString(108, u'*');
}

QString hyphens()
{
    return QString(108, u'-');
}

void expectNoSanitizerReport(const QByteArray &errorOutput)
{
    EXPECT_FALSE(errorOutput.contains("Sanitizer") || errorOutput.contains("runtime error:"))
        << errorOutput.constData();
}

void expectTexts(const QStringList &actual, const QStringList &expected)
{
    QStringList compared = actual;
    for (qsizetype i = 0; i < qMin(actual.size(), expected.size()); ++i) {
        const QString &want = expected[i];
        if (want.endsWith(u'*') && actual[i].startsWith(want.chopped(1)))
            compared[i] = want;
    }
    EXPECT_EQ(compared, expected);
}
