#include "ShellFixture.h"

#include "ShippedData.h"

#include "config/ConfigStore.h"
#include "config/DataFileStore.h"
#include "shell/MainFrame.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

using lumivex::config::ConfigStore;
using lumivex::config::DataFileStore;

void ShellFixture::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    QDir().mkpath(dataDir());
    // The history page reads (and the privacy actions change) the history of this folder,
    // never the user's.
    qputenv("XDG_DATA_HOME", m_dir.filePath("xdg").toUtf8());
    qunsetenv("STATE_DIRECTORY");
    // The program makes its own stores over this test's data folder.
    ConfigStore::release();
    DataFileStore::release();
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
    DataFileStore::release();
    useShippedData();
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
