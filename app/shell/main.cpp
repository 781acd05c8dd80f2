// orvane: the window program of Lumivex.
#include "shell/OrvaneApp.h"

#include <QApplication>

#include <chrono>

int main(int argc, char** argv)
{
    const auto startedAt = std::chrono::steady_clock::now();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orvane"));
    QApplication::setDesktopFileName(QStringLiteral("orvane"));
    // The window hides to the tray; only Exit (or a termination signal) ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    orvane::ShellOptions options;
    options.arguments = QApplication::arguments();
    options.startedAt = startedAt;
    orvane::OrvaneApp program(std::move(options));
    if (!program.start())
        return 1;
    const int rc = QApplication::exec();
    program.shutdown();
    return rc;
}
