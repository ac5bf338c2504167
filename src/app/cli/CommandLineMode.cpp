#include "app/cli/CommandLineMode.h"

#include "app/cli/CheckCommand.h"
#include "app/cli/HeadlessRunner.h"
#include "app/cli/HistoryCommand.h"
#include "app/cli/UploadCommandLine.h"
#include "audit/UploadHistory.h"
#include "core/AppContext.h"
#include "platform/Clock.h"
#include "platform/ConsoleOutput.h"
#include "platform/DesktopLauncher.h"
#include "platform/Environment.h"
#include "platform/EventPump.h"
#include "platform/SettingsStore.h"
#include "platform/StderrDialogs.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

namespace {

using ConsoleOutput::Stream;

struct Options
{
    QCommandLineOption check{
        QStringLiteral("check"),
        QStringLiteral("Print the schedule and its problems; upload nothing.")};
    QCommandLineOption json{QStringLiteral("json"),
                            QStringLiteral("With --check or --history: print one JSON document.")};
    QCommandLineOption history{
        QStringLiteral("history"),
        QStringLiteral("Print the results of the uploads tried in the last days, oldest first.")};
    QCommandLineOption days{QStringLiteral("days"),
                            QStringLiteral("With --history: how many days back, today included "
                                           "(1 to 90, default 7)."),
                            QStringLiteral("N"), QStringLiteral("7")};
    QCommandLineOption headless{
        QStringLiteral("headless"),
        QStringLiteral("Run the scheduler without a window until stopped (SIGTERM, "
                       "SIGINT, Ctrl+C); SIGHUP reloads the configuration.")};
    QCommandLineOption upload{QStringLiteral("upload"),
                              QStringLiteral("Upload FILE now, like Manual Upload."),
                              QStringLiteral("FILE")};
    QCommandLineOption title{QStringLiteral("title"),
                             QStringLiteral("With --upload: the title to send."),
                             QStringLiteral("TITLE")};
    QCommandLineOption description{QStringLiteral("description"),
                                   QStringLiteral("With --upload: the description to send."),
                                   QStringLiteral("TEXT")};
};

int usageError(const QString &message)
{
    ConsoleOutput::write(Stream::Error,
                         QStringLiteral("tunebarn-uploader: %1 (see --help)\n").arg(message));
    return 2;
}

// Which one mode was asked for, or why the arguments do not make sense together.
QString argumentProblem(const QCommandLineParser &parser, const Options &options)
{
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("unexpected argument '%1'")
            .arg(parser.positionalArguments().constFirst());
    const int modes = int(parser.isSet(options.check)) + int(parser.isSet(options.headless)) +
                      int(parser.isSet(options.upload)) + int(parser.isSet(options.history));
    if (modes != 1)
        return QStringLiteral("choose one of --check, --headless, --upload and --history");
    if (parser.isSet(options.json) && !parser.isSet(options.check) &&
        !parser.isSet(options.history))
        return QStringLiteral("--json goes with --check or --history");
    if (parser.isSet(options.days) && !parser.isSet(options.history))
        return QStringLiteral("--days goes with --history");
    bool whole = false;
    const int days = parser.value(options.days).toInt(&whole);
    if (!whole || days < 1 || days > UploadHistory::RetentionDays)
        return QStringLiteral("--days takes a whole number from 1 to %1")
            .arg(UploadHistory::RetentionDays);
    if ((parser.isSet(options.title) || parser.isSet(options.description)) &&
        !parser.isSet(options.upload))
        return QStringLiteral("--title and --description go with --upload");
    if (parser.isSet(options.upload) && !parser.isSet(options.title))
        return QStringLiteral("--upload needs --title");
    return {};
}

int runMode(QCoreApplication &app, const QCommandLineParser &parser, const Options &options)
{
    SystemClock clock;
    StderrDialogs dialogs;
    QtEventPump events;
    Environment environment;
    UserSettingsStore settings(environment);
    DesktopLauncher desktop;
    Platform platform{clock, dialogs, events, settings, environment, desktop};

    if (parser.isSet(options.check)) {
        QString outText;
        QString errText;
        QTextStream out(&outText);
        QTextStream err(&errText);
        const int status = runCheck(platform, parser.isSet(options.json), out, err);
        out.flush();
        err.flush();
        ConsoleOutput::write(Stream::Output, outText);
        ConsoleOutput::write(Stream::Error, errText);
        return status;
    }
    if (parser.isSet(options.headless))
        return runHeadless(app, platform);
    if (parser.isSet(options.history)) {
        QString outText;
        QTextStream out(&outText);
        const int status = runHistory(platform, parser.value(options.days).toInt(),
                                      parser.isSet(options.json), out);
        ConsoleOutput::write(Stream::Output, outText);
        return status;
    }
    return runCommandLineUpload(platform, parser.value(options.upload), parser.value(options.title),
                                parser.value(options.description));
}

} // namespace

int runCommandLine(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tunebarn-uploader"));
    QCoreApplication::setApplicationVersion(AppContext::versionText());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Uploads the station's weekly shows at their day and minute. Without "
                       "options it opens its window."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const Options options;
    parser.addOptions({options.check, options.json, options.headless, options.upload, options.title,
                       options.description, options.history, options.days});

    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        ConsoleOutput::write(Stream::Output, parser.helpText());
        return 0;
    }
    if (parser.isSet(version)) {
        ConsoleOutput::write(
            Stream::Output,
            QStringLiteral("Tunebarn Uploader %1\n").arg(AppContext::versionText()));
        return 0;
    }
    const QString problem = argumentProblem(parser, options);
    if (!problem.isEmpty())
        return usageError(problem);
    return runMode(app, parser, options);
}
