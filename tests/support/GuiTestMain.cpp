// main() of the window program's GUI tests: one QApplication on the offscreen platform, the
// shipped skin and data with the built-in texts, as at program start. The tests run as a
// Chinese user's program would (a program started by a test follows this locale); a test of
// English texts chooses English itself.
#include "ShippedData.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    qputenv("LANG", "zh_CN.UTF-8");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    useShippedData();
    return RUN_ALL_TESTS();
}
