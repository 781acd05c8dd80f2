#include "ShellFixture.h"

#include "config/ConfigStore.h"
#include "shell/MainFrame.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdlib>

using lumivex::config::ConfigStore;

void ShellFixture::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    QDir().mkpath(dataDir());
}

void ShellFixture::TearDown()
{
    // A quit the program posted must not end a later test's event loop.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    if (app)
        app->shutdown();
    app.reset();
    ConfigStore::release();
}

void ShellFixture::installShippedSkin()
{
    const QString shipped = QStringLiteral(LUMIVEX_DAT_DIR);
    QFile::copy(shipped + "config.dat", dataDir() + "config.dat");
    QDir().mkpath(dataDir() + "ui");
    for (const QString& file : QDir(shipped + "ui").entryList(QDir::Files))
        QFile::copy(shipped + "ui/" + file, dataDir() + "ui/" + file);
}

void ShellFixture::writeDataFile(const QString& name, const QByteArray& content)
{
    QFile file(dataDir() + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QByteArray ShellFixture::readDataFile(const QString& name) const
{
    QFile file(dataDir() + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

orvane::OrvaneApp& ShellFixture::makeApp()
{
    ConfigStore::instanceAt(dataDir().toStdString(), "");
    orvane::ShellOptions options;
    options.arguments = arguments;
    options.lockPath = lockPath().toStdString();
    options.autostart = orvane::AutostartEntry(autostartFolder.isEmpty() ? autostartDir() : autostartFolder,
                                               QStringLiteral("/opt/lumivex/bin/orvane -h"));
    options.trayAvailable = [this] { return trayAvailable; };
    options.privileged = [this] { return privileged; };
    options.notices = &notices;
    app = std::make_unique<orvane::OrvaneApp>(std::move(options), &test.engine());
    return *app;
}

bool ShellFixture::start()
{
    return makeApp().start();
}

QImage ShellFixture::grabFrame()
{
    return app->frame()->grab().toImage();
}

int colorDistance(QColor a, QColor b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

::testing::AssertionResult colorNear(QColor actual, QColor expected, int tolerance)
{
    if (colorDistance(actual, expected) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "colour " << actual.red() << "," << actual.green() << "," << actual.blue()
                                         << " is not within " << tolerance << " of " << expected.red() << ","
                                         << expected.green() << "," << expected.blue();
}
