#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A temporary home for the built program run as a process: no setting or file of the real user
// is read or written.
class ProgramProcess
{
public:
    ProgramProcess();
    virtual ~ProgramProcess() = default;

    QString path(const QString &sub) const { return m_dir.filePath(sub); }
    QString auditFolder() const { return path(QStringLiteral("local/TunebarnUploader/")); }

    // Writes a file below the home, folders created as needed.
    void write(const QString &sub, const QByteArray &bytes) const;

    virtual QProcessEnvironment environment() const;
    void start(QProcess &process, const QString &program, const QStringList &arguments) const;

    // The names of the audit files, oldest first.
    QStringList auditFiles() const;
    // Every audit file's texts without their time stamps, oldest file first.
    QStringList auditTexts() const;
    bool auditContains(const QString &text) const { return auditTexts().contains(text); }

private:
    QTemporaryDir m_dir;
};

// A program of this build: tunebarn-uploader or tunebarn-test-receiver.
QString builtProgram(const QString &name);

// The lines that open and close a block of the audit.
QString asterisks();
QString hyphens();

// Sanitizer reports from a child count as failures.
void expectNoSanitizerReport(const QByteArray &errorOutput);

// Expected texts ending in '*' only give how the actual text starts.
void expectTexts(const QStringList &actual, const QStringList &expected);
