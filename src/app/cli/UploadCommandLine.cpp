#include "app/cli/UploadCommandLine.h"

#include "app/core/Lifecycle.h"
#include "audit/AuditLog.h"
#include "config/ConfigLocation.h"
#include "config/ConfigReader.h"
#include "core/AppContext.h"
#include "platform/ConsoleOutput.h"
#include "platform/ControlText.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"
#include "platform/TerminationSignals.h"
#include "schedule/ScheduleCheck.h"
#include "upload/ManualUpload.h"

#include <QFileInfo>

namespace {

int fail(int status, const QString &reason)
{
    ConsoleOutput::write(
        ConsoleOutput::Stream::Error,
        QStringLiteral("tunebarn-uploader: %1\n").arg(ControlText::escaped(reason)));
    return status;
}

// The configuration as Refresh Config would find it; its lines stay out of the audit trail,
// which gets only the upload's own lines.
QString loadConfiguration(Platform &platform, AppContext &ctx)
{
    AppContext scratch(platform);
    scratch.CFG.LocalAppFolder = ctx.CFG.LocalAppFolder;
    GetConfigPath(scratch);
    const QString path = scratch.CFG.configFile();
    if (!fileExists(path))
        return QStringLiteral("the configuration file does not exist: ") + path;
    if (!ReadConfig(scratch, path))
        return QStringLiteral("cannot read the configuration file: ") +
               scratch.Audit.lines().last().mid(10);
    if (scratch.CFG.UploadURL.isEmpty())
        return QStringLiteral("the configuration file has no upload address: ") + path;
    ctx.CFG.UploadURL = scratch.CFG.UploadURL;
    ctx.CFG.ConfigPath = scratch.CFG.ConfigPath;
    ctx.Options = scratch.Options;
    return {};
}

} // namespace

int runCommandLineUpload(Platform &platform, const QString &file, const QString &title,
                         const QString &description)
{
    if (title.isEmpty())
        return fail(2, QStringLiteral("the title is empty"));
    const QString recording = nativePath(QFileInfo(file).absoluteFilePath());
    if (!fileExists(recording))
        return fail(2, QStringLiteral("no such file: ") + file);

    AppContext ctx(platform);
    ctx.WorkingDirectory = withTrailingSeparator(nativePath(platform.environment.programFolder()));
    ctx.CFG.LocalAppFolder = localAppFolder(platform.environment);
    const QString configProblem = loadConfiguration(platform, ctx);
    if (!configProblem.isEmpty())
        return fail(2, configProblem);

    if (ctx.Options.insecureTls)
        ConsoleOutput::write(ConsoleOutput::Stream::Error,
                             QStringLiteral("tunebarn-uploader: warning: %1\n")
                                 .arg(ScheduleCheck::insecureTlsText()));
    CheckAuditFolderExists(ctx, ctx.CFG.LocalAppFolder);
    // SIGTERM and SIGINT stop curl at once: whoever stops a command wants it ended. The upload
    // ends as cut, with all its lines.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested,
                     [&ctx](int) { ctx.requestShutdown(0); });
    QString failureReason;
    const UploadEnd end = uploadManually(ctx, recording, title, description, &failureReason);
    WriteLog(ctx);
    if (end == UploadEnd::Failed)
        return fail(1, QStringLiteral("the upload failed: ") + failureReason);
    if (end != UploadEnd::Taken)
        return fail(1, failureReason);
    ConsoleOutput::write(ConsoleOutput::Stream::Output,
                         QStringLiteral("Uploaded '%1' as '%2'.\n")
                             .arg(ControlText::escaped(recording), ControlText::escaped(title)));
    return 0;
}
