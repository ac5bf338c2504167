// Grabs the main window and the About window as PNG files for the documentation, on a fixed
// day in a temporary home, with no display needed.

#include "about/AboutDialog.h"
#include "app/core/AppController.h"
#include "app/gui/MainWindow.h"
#include "core/AppContext.h"
#include "platform/Clock.h"
#include "platform/DesignFont.h"
#include "platform/DesktopLauncher.h"
#include "platform/Environment.h"
#include "platform/EventPump.h"
#include "platform/SettingsStore.h"
#include "platform/StderrDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

const QByteArray SampleConfig = "[General]\nUploadURL=https://shows.example/upload\n"
                                "[Show1]\nFilename=/srv/recordings/breakfast.mp3\n"
                                "Title=Breakfast Show - %date%\nDescription=Weekday mornings\n"
                                "UploadDay=Sun\nUploadTime=14:05\n";

class FixedClock : public Clock
{
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 12, 6), QTime(14, 5, 9)); }
};

class TemporaryHome : public Environment
{
public:
    explicit TemporaryHome(const QString &home) : m_home(home) {}
    QString variable(const QString &name) const override
    {
        return name == QLatin1String("LocalAppData") ? m_home : Environment::variable(name);
    }
    QString userConfigFolder() const override { return m_home; }

private:
    QString m_home;
};

bool save(QWidget &window, const QString &path)
{
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return false;
    return window.grab().save(path);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(QStringLiteral("en_GB")));
    QApplication application(argc, argv);
    QApplication::setApplicationName(AppContext::applicationTitle());
    DesignFont::loadStandIns();
    if (argc != 2) {
        std::fprintf(stderr, "usage: tunebarn-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));

    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("TunebarnUploader"));
    QFile config(home.filePath(QStringLiteral("TunebarnUploader/tunebarn.ini")));
    if (!config.open(QIODevice::WriteOnly) || config.write(SampleConfig) != SampleConfig.size())
        return 1;
    config.close();

    FixedClock clock;
    StderrDialogs dialogs;
    QtEventPump events;
    TemporaryHome environment(home.path());
    UserSettingsStore settings(environment);
    DesktopLauncher desktop;
    Platform platform{clock, dialogs, events, settings, environment, desktop};
    AppContext ctx(platform);
    AppController controller(ctx);
    MainWindow window(ctx, controller);
    ctx.setView(&window);
    controller.load();
    // As the window looks once the Sunday show has gone out.
    window.setTitleText(QStringLiteral("Breakfast Show - 06th December 2026"));
    window.setStatusText(QStringLiteral("Finished Upload: 14:05:09"));

    ctx.CFG.ConfigPath = QStringLiteral("/home/studio/.local/share/TunebarnUploader/");
    AboutDialog about(ctx);

    const bool saved = save(window, output.filePath(QStringLiteral("main-window.png"))) &&
                       save(about, output.filePath(QStringLiteral("about-window.png")));
    ctx.setView(nullptr);
    if (!saved) {
        std::fprintf(stderr, "tunebarn-screenshots: could not write the pictures to %s\n", argv[1]);
        return 1;
    }
    return 0;
}
