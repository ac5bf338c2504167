// Grabs the main window and the About window as PNG files for the documentation, on a fixed
// day in a temporary home, with no display needed.

#include "about/AboutDialog.h"
#include "app/core/AppController.h"
#include "app/gui/MainWindow.h"
#include "platform/DesignFont.h"
#include "support/TestApp.h"

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QTest>

#include <cstdio>

namespace {

const QByteArray SampleConfig = "[General]\nUploadURL=https://shows.example/upload\n"
                                "[Show1]\nFilename=/srv/recordings/breakfast.mp3\n"
                                "Title=Breakfast Show - %date%\nDescription=Weekday mornings\n"
                                "UploadDay=Sun\nUploadTime=14:05\n";

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

    TestApp app(QDateTime(QDate(2026, 12, 6), QTime(14, 5, 9)));
    app.writeConfig(SampleConfig);
    AppController controller(app.ctx);
    MainWindow window(app.ctx, controller);
    app.ctx.setView(&window);
    controller.load();
    // As the window looks once the Sunday show has gone out.
    window.setTitleText(QStringLiteral("Breakfast Show - 06th December 2026"));
    window.setStatusText(QStringLiteral("Finished Upload: 14:05:09"));

    app.ctx.CFG.ConfigPath = QStringLiteral("/home/studio/.local/share/TunebarnUploader/");
    AboutDialog about(app.ctx);

    const bool saved = save(window, output.filePath(QStringLiteral("main-window.png"))) &&
                       save(about, output.filePath(QStringLiteral("about-window.png")));
    app.ctx.setView(nullptr);
    if (!saved) {
        std::fprintf(stderr, "tunebarn-screenshots: could not write the pictures to %s\n", argv[1]);
        return 1;
    }
    return 0;
}
