// main() of the window program's GUI tests: one QApplication on the offscreen platform, the
// shipped skin and data with the built-in texts, as at program start.
#include "ShippedData.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    useShippedData();
    return RUN_ALL_TESTS();
}
