// The yardstick for the uploader's start-up: the least a Qt Widgets program does to put up a
// window. Once its window is shown it appends one line to the file named by its argument. The
// uploader's own clock stops at its first flush, which comes before its window is shown, but after
// it has built that window; a yardstick stopped before show() would skip the font set-up that
// showing brings and so measure less than any real window needs.

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Minimal window"));
    window.setCentralWidget(new QLabel(QStringLiteral("Idle")));
    window.show();

    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) {
        QFile marker(arguments.at(1));
        if (marker.open(QIODevice::WriteOnly | QIODevice::Append))
            marker.write("shown\r\n");
    }
    return app.exec();
}
