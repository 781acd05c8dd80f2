#pragma once

// The real orvane on a private X display (Xvfb): a copy of the program with a data folder of
// its own, started, found by its window, driven with the X tools and ended.
#include "XServer.h"

#include <QByteArray>
#include <QColor>
#include <QProcess>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

inline constexpr QSize kFrameSize(960, 680);
inline constexpr int kBorder = 4;

class RealWindow : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void writeUserIni(const QByteArray& content);
    QByteArray userIni() const;
    QProcessEnvironment programEnvironment() const;
    void startTray();
    void startProgram(QProcess& process);
    // The main window: the program's 960 x 680 window.
    XServer::Window frame() const;
    bool frameViewable() const { return frame().viewable; }
    QPoint closeButtonCentre(const XServer::Window& w) const;
    // SIGTERM; the program must end normally within 3 seconds with every thread joined.
    void terminateAndCheck(QProcess& process);
    // Everything the process printed so far (kept for later checks).
    QString output(QProcess& process);

    XServer x;
    QString m_output;
    QTemporaryDir m_dir;
    QString program;
    // LANG for the program, with LC_ALL, LC_MESSAGES and LANGUAGE unset; empty: the tester's.
    QString locale;
    QProcess orvane;
    QProcess second;
    QProcess tray;
};
