#include "upload/CommandRunner.h"

#include "support/QtPrinters.h"
#include "support/TestApp.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

const QDate Today(2026, 12, 6);

class CommandRunnerTest : public ::testing::Test
{
protected:
    // A program in the temporary home that the runner can start.
    QString executable(const QString &name, const QByteArray &content) const
    {
        const QString path = app.writeFile(app.home() + QStringLiteral("/bin/") + name, content);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                        QFile::ExeGroup | QFile::ExeOther);
        return path;
    }

    QString script(const QString &name, const QByteArray &body) const
    {
        return executable(name, "#!/bin/sh\n" + body + '\n');
    }

    CommandOutcome run(const QString &program, const QStringList &arguments = {},
                       const QString &display = QStringLiteral("the display line"))
    {
        return Shell32Bit(app.ctx, CommandLine{program, arguments, display});
    }

    QString curlBeside() const { return app.programFolder() + QStringLiteral("/curl"); }

    TestApp app;
};

} // namespace

TEST_F(CommandRunnerTest, ProgramThatEndsAtOnceGivesTwoLines)
{
    const QString program = script(QStringLiteral("done"), "exit 0");

    const CommandOutcome outcome = run(program, {}, QStringLiteral("/opt/curl -o \"x\" URL"));

    EXPECT_TRUE(outcome.started);
    EXPECT_EQ(outcome.exitValue, 0);
    EXPECT_EQ(app.heldTexts(),
              QStringList({QStringLiteral("Shell32Bit| Command: /opt/curl -o \"x\" URL"),
                           QStringLiteral("Shell32Bit| Command exit value: 0")}));
    EXPECT_FALSE(QFile::exists(app.auditFilePath(Today)));
    EXPECT_TRUE(app.dialogs.shown.isEmpty());
    EXPECT_EQ(app.ctx.runningProcessCount(), 0);
}

TEST_F(CommandRunnerTest, ExitValueIsLoggedAndNothingIsShown)
{
    for (const int value : {6, 26, 255}) {
        app.ctx.Audit.reset();

        const CommandOutcome outcome =
            run(script(QStringLiteral("exit%1").arg(value), "exit " + QByteArray::number(value)));

        EXPECT_EQ(outcome.exitValue, value);
        EXPECT_EQ(app.heldTexts().value(1),
                  QStringLiteral("Shell32Bit| Command exit value: %1").arg(value));
    }
    EXPECT_TRUE(app.dialogs.shown.isEmpty());
}

TEST_F(CommandRunnerTest, ProgramEndedByASignalGives128PlusTheSignal)
{
    struct Case
    {
        const char *signal;
        int exitValue;
    };
    for (const Case &c : {Case{"KILL", 137}, Case{"TERM", 143}, Case{"SEGV", 139}}) {
        app.ctx.Audit.reset();

        const CommandOutcome outcome =
            run(script(QStringLiteral("killed") + QLatin1String(c.signal),
                       QByteArray("kill -") + c.signal + " $$"));

        EXPECT_EQ(outcome.exitValue, c.exitValue) << c.signal;
        EXPECT_EQ(app.heldTexts().value(1),
                  QStringLiteral("Shell32Bit| Command exit value: %1").arg(c.exitValue));
    }
}

TEST_F(CommandRunnerTest, ArgumentsReachTheProgramExactlyAndItsOutputComesBack)
{
    const QString program =
        script(QStringLiteral("echo args"), R"(for a in "$@"; do printf '[%s]\n' "$a"; done
echo "curl: (6) first" >&2
echo "curl: (7) last" >&2)");
    const QStringList arguments{QString(),
                                QStringLiteral(" two  blanks "),
                                QStringLiteral(R"("quoted" 'single')"),
                                QStringLiteral("a;b|c&d>e<f"),
                                QStringLiteral("$HOME `id` $(id)"),
                                QStringLiteral(R"(\back\slash\)"),
                                QStringLiteral("*"),
                                QStringLiteral("Café ☕ 早上好"),
                                QStringLiteral("-o"),
                                QStringLiteral("name=@/etc/passwd")};

    const CommandOutcome outcome = run(program, arguments, QStringLiteral("shown"));

    QByteArray expected;
    for (const QString &argument : arguments)
        expected += '[' + argument.toUtf8() + "]\n";
    EXPECT_EQ(outcome.output.toStdString(), expected.toStdString());
    EXPECT_EQ(outcome.errorOutput.toStdString(), "curl: (6) first\ncurl: (7) last\n");
    EXPECT_EQ(app.heldTexts().value(0), QStringLiteral("Shell32Bit| Command: shown"));
}

TEST_F(CommandRunnerTest, MissingProgramIsALaunchErrorInTheAuditAndABox)
{
    const CommandOutcome outcome = run(app.home() + QStringLiteral("/bin/nothing here"));

    EXPECT_FALSE(outcome.started);
    EXPECT_EQ(app.heldTexts(),
              QStringList({QStringLiteral("Shell32Bit| Error: 2 - No such file or directory")}));
    ASSERT_EQ(app.dialogs.shown.size(), 1);
    EXPECT_EQ(app.dialogs.shown[0].kind, QStringLiteral("message"));
    EXPECT_EQ(app.dialogs.shown[0].text, QStringLiteral("2 - No such file or directory"));
    EXPECT_EQ(app.dialogs.shown[0].title, QStringLiteral("Tunebarn Uploader"));
    EXPECT_EQ(app.dialogs.shown[0].icon, Dialogs::Icon::None);
}

TEST_F(CommandRunnerTest, ProgramThatCannotBeRunReportsThePlatformsError)
{
    const QString plain =
        app.writeFile(app.home() + QStringLiteral("/bin/plain"), "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(plain, QFile::ReadOwner | QFile::WriteOwner);
    struct Case
    {
        QString program;
        QString error;
    };
    const Case cases[] = {
        {plain, QStringLiteral("13 - Permission denied")},
        {app.home() + QStringLiteral("/bin"), QStringLiteral("13 - Permission denied")},
        {plain + QStringLiteral("/curl"), QStringLiteral("20 - Not a directory")},
        {executable(QStringLiteral("lost interpreter"), "#!/no/such/shell\nexit 0\n"),
         QStringLiteral("2 - No such file or directory")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.program.toStdString());
        app.ctx.Audit.reset();
        app.dialogs.shown.clear();

        EXPECT_FALSE(run(c.program).started);

        EXPECT_EQ(app.heldTexts(), QStringList({QStringLiteral("Shell32Bit| Error: ") + c.error}));
        ASSERT_EQ(app.dialogs.messages().size(), 1);
        EXPECT_EQ(app.dialogs.messages()[0].text, c.error);
    }
}

TEST_F(CommandRunnerTest, WindowEventsKeepRunningThroughoutTheWait)
{
    int ticks = 0;
    int ticksWhileRunning = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        if (app.ctx.runningProcessCount() == 1)
            ++ticksWhileRunning;
    });
    timer.start(50);

    run(script(QStringLiteral("sleeper"), "sleep 1"));

    EXPECT_EQ(ticksWhileRunning, ticks);
    EXPECT_GE(ticks, 10);
}

TEST_F(CommandRunnerTest, ARunnerStartedInsideTheWaitEndsFirst)
{
    const QString inner = script(QStringLiteral("inner"), "exit 3");
    QTimer::singleShot(100, [&] { run(inner, {}, QStringLiteral("inner")); });

    run(script(QStringLiteral("outer"), "sleep 1"), {}, QStringLiteral("outer"));

    EXPECT_EQ(app.heldTexts(), QStringList({QStringLiteral("Shell32Bit| Command: outer"),
                                            QStringLiteral("Shell32Bit| Command: inner"),
                                            QStringLiteral("Shell32Bit| Command exit value: 3"),
                                            QStringLiteral("Shell32Bit| Command exit value: 0")}));
}

TEST_F(CommandRunnerTest, ShutDownStopsTheRunningCommand)
{
    QTimer::singleShot(200, [&] { app.ctx.requestShutdown(); });
    QElapsedTimer elapsed;
    elapsed.start();

    const CommandOutcome outcome = run(script(QStringLiteral("long"), "exec sleep 60"));

    EXPECT_LT(elapsed.elapsed(), 30000);
    EXPECT_EQ(outcome.exitValue, 143);
    EXPECT_EQ(app.heldTexts().value(1), QStringLiteral("Shell32Bit| Command exit value: 143"));
}

TEST_F(CommandRunnerTest, CurlCheckFindsCurlInTheProgramFolderFirst)
{
    ASSERT_TRUE(QFile::link(QStringLiteral("/usr/bin/curl"), curlBeside()));
    app.environment.pathDirs = {QStringLiteral("/usr/bin")};

    EXPECT_EQ(CurlCheck(app.ctx), curlBeside());

    EXPECT_EQ(app.heldTexts(),
              QStringList({QStringLiteral("CurlCheck| File exists: '") + curlBeside() + u'\''}));
    EXPECT_TRUE(app.dialogs.shown.isEmpty());
    EXPECT_FALSE(QFile::exists(app.auditFilePath(Today)));
}

TEST_F(CommandRunnerTest, CurlCheckFallsBackToCurlOnThePath)
{
    QDir().mkpath(curlBeside());
    app.environment.pathDirs = {app.home() + QStringLiteral("/bin"), QStringLiteral("/usr/bin")};

    EXPECT_EQ(CurlCheck(app.ctx), QStringLiteral("/usr/bin/curl"));

    EXPECT_EQ(app.heldTexts(),
              QStringList({QStringLiteral("CurlCheck| File exists: '/usr/bin/curl'")}));
    EXPECT_TRUE(app.dialogs.shown.isEmpty());
}

TEST_F(CommandRunnerTest, CurlCheckWithNoCurlAnywhereWarnsWithTheProgramFolderPath)
{
    QDir().mkpath(curlBeside());
    app.environment.pathDirs = {app.home() + QStringLiteral("/bin")};

    EXPECT_TRUE(CurlCheck(app.ctx).isEmpty());

    EXPECT_EQ(app.heldTexts(), QStringList({QStringLiteral("CurlCheck| File doesnt exist. '") +
                                            curlBeside() + u'\''}));
    ASSERT_EQ(app.dialogs.shown.size(), 1);
    EXPECT_EQ(app.dialogs.shown[0].kind, QStringLiteral("message"));
    EXPECT_EQ(app.dialogs.shown[0].title, QStringLiteral("Curl.exe is Missing."));
    EXPECT_EQ(app.dialogs.shown[0].text,
              QStringLiteral("File doesnt exist:\r'") + curlBeside() + u'\'');
    EXPECT_EQ(app.dialogs.shown[0].icon, Dialogs::Icon::Critical);
}
