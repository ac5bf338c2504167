#include <QApplication>
#include <QLocale>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(QStringLiteral("en_GB")));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunebarn Uploader"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
