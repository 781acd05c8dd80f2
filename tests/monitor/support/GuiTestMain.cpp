// main() of the GUI tests: one QApplication on the offscreen platform, the built-in texts
// registered as at program start.
#include "config/BuiltinTexts.h"
#include "config/ConfigStore.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    lumivex::config::registerBuiltinTexts(lumivex::config::ConfigStore::instance());
    return RUN_ALL_TESTS();
}
