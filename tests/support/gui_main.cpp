// main() of the format and GUI test executables: a Qt application on the offscreen platform
// with a fixed locale and DPI, so that results do not depend on the machine. The format tests
// get a QGuiApplication, so that they prove the formats need no widgets.

#include <gtest/gtest.h>

#include <QLocale>
#ifdef ORMELIT_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_FONT_DPI", "96");
    qputenv("QT_SCALE_FACTOR", "1");
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
