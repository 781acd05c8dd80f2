#include "shell/AutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using orvane::AutostartEntry;

TEST(AutostartEntry, OnOnlyWhenExecEqualsTheCommandIgnoringCase)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("config/autostart");
    AutostartEntry entry(folder, QStringLiteral("/usr/bin/orvane -h"));
    EXPECT_FALSE(entry.isOn());
    EXPECT_TRUE(entry.canWrite());  // the folder does not exist yet but can be made
    ASSERT_TRUE(entry.write());
    EXPECT_TRUE(entry.isOn());
    EXPECT_TRUE(AutostartEntry(folder, QStringLiteral("/USR/BIN/Orvane -H")).isOn());
    EXPECT_FALSE(AutostartEntry(folder, QStringLiteral("/usr/bin/orvane")).isOn());
    ASSERT_TRUE(entry.remove());
    EXPECT_FALSE(QFile::exists(entry.filePath()));
    EXPECT_TRUE(entry.remove());  // nothing left to remove is no failure
}

TEST(AutostartEntry, PathsWithBlanksAreQuotedAndReadBack)
{
    QTemporaryDir dir;
    const QString command = QStringLiteral("\"/opt/my apps/orvane\" -h");
    AutostartEntry entry(dir.path(), command);
    ASSERT_TRUE(entry.write());
    EXPECT_TRUE(entry.isOn());
    QFile file(entry.filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(AutostartEntry::execOf(file.readAll()), command);
    EXPECT_EQ(AutostartEntry::execOf("[Other]\nExec=x\n[Desktop Entry]\nExecutable=y\nExec = a\\\\b -h\n"),
              QStringLiteral("a\\b -h"));
    EXPECT_EQ(AutostartEntry::execOf("[Desktop Entry]\nName=x\n"), QString());
}
