#pragma once

#include "PixelProbe.h"
#include "TestEngine.h"

#include "shell/OrvaneApp.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// Records the start-up message boxes instead of showing them.
class RecordingNotices : public orvane::Notices {
public:
    void warn(const QString& text) override { warnings << text; }
    void refuse(const QString& text) override { refusals << text; }
    QStringList warnings;
    QStringList refusals;
};

// The whole window program on the offscreen platform, over a test engine, with its data
// folder, lock file and autostart folder in a fresh temporary folder. The data folder holds
// the shipped skin and images unless a test writes its own before start().
class ShellFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Copies the shipped config.dat and ui/ images into the data folder.
    void installShippedSkin();
    void writeDataFile(const QString& name, const QByteArray& content);
    QByteArray readDataFile(const QString& name) const;
    // Makes the program; start() runs its start-up.
    orvane::OrvaneApp& makeApp();
    bool start();
    QImage grabFrame();

    QString dataDir() const { return m_dir.filePath("dat") + '/'; }
    QString lockPath() const { return m_dir.filePath("orvane.lock"); }
    QString autostartDir() const { return m_dir.filePath("autostart"); }

    QTemporaryDir m_dir;
    TestEngine test;
    RecordingNotices notices;
    QStringList arguments{QStringLiteral("orvane")};
    bool trayAvailable = true;
    bool privileged = true;
    QString autostartFolder;  // empty: autostartDir()
    std::unique_ptr<orvane::OrvaneApp> app;
};
