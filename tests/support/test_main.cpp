#include <QApplication>
#include <QLocale>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(u"en_GB"_s));
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Tunebarn Uploader"_s);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
