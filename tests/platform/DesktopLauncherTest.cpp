#include "platform/DesktopLauncher.h"
#include "platform/DisplayCheck.h"
#include "support/QtPrinters.h"
#include "support/TestApp.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct Opening
{
    const char *opener; // the shell script that stands in for the desktop's opener; none if empty
    QString started;    // how what launching reports at once starts, when the opener cannot run
    QString later;      // what it reports when the opener has ended
};

// The opener is found on PATH, is given the folder as its one argument, and its failure is told
// whether it could not start or ended badly.
class DesktopLauncherTest : public ::testing::TestWithParam<Opening>
{
};

TEST_P(DesktopLauncherTest, OpensTheFolderAndTellsWhatWentWrong)
{
    SKIP_ON_WINDOWS("Explorer is not replaced on PATH");
    const Opening &opening = GetParam();
    QTemporaryDir bin;
    const QString folder = bin.path() + u"/Show folder"_s;
    if (*opening.opener) {
        QFile script(bin.path() + u"/xdg-open"_s);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        const QByteArray opener = opening.opener;
        const QByteArray recorder =
            "#!/bin/sh\nprintf '%s|' \"$@\" > \"$(dirname \"$0\")/args.tmp\"\n"
            "mv \"$(dirname \"$0\")/args.tmp\" \"$(dirname \"$0\")/args\"\n";
        script.write(opener.startsWith("#!") ? opener : recorder + opener);
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit() + ':' + path);
    QString reported = u"nothing"_s;
    DesktopLauncher launcher([&](const QString &failure) { reported = failure; });
    const QString started = launcher.openFolder(folder);
    qputenv("PATH", path);

    // The launcher lets go of its process, once the opener has ended or could not start.
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return QCoreApplication::instance()->findChildren<QProcess *>().isEmpty(); }, 20000));
    if (!opening.started.isEmpty()) {
        EXPECT_TRUE(started.startsWith(opening.started.arg(folder))) << started.toStdString();
        return;
    }
    EXPECT_EQ(started, QString());
    EXPECT_EQ(reported, opening.later.contains(u'%') ? opening.later.arg(folder) : opening.later);
    EXPECT_EQ(QString::fromLocal8Bit(fileBytes(bin.path() + u"/args"_s)), folder + u"|"_s);
}

INSTANTIATE_TEST_SUITE_P(
    Openers, DesktopLauncherTest,
    ::testing::Values(
        Opening{"", u"Could not start xdg-open to open %1: the program was not found."_s, {}},
        Opening{"#!/nonexistent/sh\n", u"Could not start xdg-open to open %1: "_s, {}},
        Opening{"exit 0\n", {}, u"nothing"_s}, // a success is not reported
        Opening{"exit 4\n", {}, u"xdg-open could not open %1 (exit value 4)."_s}));

} // namespace

// Any one of the three is a display: a platform named outright, X or Wayland.
TEST(DisplayCheck, AnyOneOfTheVariablesIsADisplay)
{
    SKIP_ON_WINDOWS("Windows always has a display to open a window on");
    const QList<QByteArray> names{"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
    QList<QByteArray> kept;
    for (const QByteArray &name : names)
        kept.append(qgetenv(name));
    for (qsizetype set = -1; set < names.size(); ++set) {
        for (qsizetype i = 0; i < names.size(); ++i)
            qputenv(names[i], i == set ? "offscreen" : "");
        EXPECT_EQ(missingDisplayReason().isEmpty(), set >= 0) << set;
    }
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (kept[i].isNull())
            qunsetenv(names[i]);
        else
            qputenv(names[i], kept[i]);
    }
}
