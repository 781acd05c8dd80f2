#include "shell/advert/AdvertPane.h"

#include "LocalHttpServer.h"
#include "PixelProbe.h"
#include "TestImages.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace orvane {
namespace {

class FakeOpener : public UrlOpener {
public:
    bool open(const QUrl& url) override
    {
        opened.append(url);
        return true;
    }
    QList<QUrl> opened;
};

constexpr const char* kRecordTarget = "/Lumivex%5Cv3free.php";
const QColor kBannerRed(210, 20, 30);

// The advert window against a server on 127.0.0.1 that the test fills.
class AdvertFlowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listening());
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("onlineHelpNotice"))
                delete w;
    }

    AdvertSettings settings(int pauseMs = 20) const
    {
        AdvertSettings s;
        s.serviceHost = QStringLiteral("127.0.0.1");
        s.port = server.port();
        s.pauseMs = pauseMs;
        s.dataDir = dir.path() + '/';
        s.systemProxy = false;
        s.transferTimeoutMs = 5000;
        return s;
    }

    void serveRecord(const QByteArray& body, int status = 200) { server.answer(kRecordTarget, {status, body}); }

    std::unique_ptr<AdvertPane> start(const AdvertSettings& s)
    {
        auto window = std::make_unique<AdvertPane>(s, opener);
        window->resize(360, 46);
        return window;
    }
    std::unique_ptr<AdvertPane> start() { return start(settings()); }

    // Waits until the worker ended its fetch.
    static bool fetched(AdvertPane&, QSignalSpy& done, int count = 1)
    {
        return QTest::qWaitFor([&] { return done.count() >= count; }, 10000);
    }

    static QMessageBox* helpNotice()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("onlineHelpNotice"))
                return qobject_cast<QMessageBox*>(w);
        return nullptr;
    }

    LocalHttpServer server;
    QTemporaryDir dir;
    FakeOpener opener;
};

TEST_F(AdvertFlowTest, RecordWithFewerFieldsLeavesTheRestEmptyAndHelpUnavailable)
{
    serveRecord("127.0.0.1;");
    auto window = start();
    QSignalSpy done(window.get(), &AdvertPane::fetchDone);
    ASSERT_TRUE(fetched(*window, done));
    EXPECT_TRUE(window->recordOk());
    EXPECT_EQ(window->record().imageHost, "127.0.0.1");
    EXPECT_EQ(window->record().imagePath, "");
    EXPECT_EQ(window->record().helpPage, "");
    EXPECT_FALSE(window->showingBanner());

    ASSERT_EQ(server.requests().size(), 1);  // no image path: no download
    const auto& request = server.requests()[0];
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.headers.value("user-agent"), "Lumivex");
    EXPECT_EQ(request.headers.value("connection").toLower(), "close");

    window->openOnlineHelp();
    QMessageBox* notice = helpNotice();
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->text(), QStringLiteral("无法获取在线帮助，请稍后再试。"));
    EXPECT_EQ(notice->windowTitle(), QStringLiteral("Lumivex"));
    EXPECT_TRUE(opener.opened.isEmpty());
}

TEST_F(AdvertFlowTest, BodyOf4096BytesIsRejectedAndTheTextStays)
{
    serveRecord(QByteArray(4096, 'a'));
    auto window = start();
    QSignalSpy done(window.get(), &AdvertPane::fetchDone);
    ASSERT_TRUE(fetched(*window, done));
    EXPECT_FALSE(window->recordOk());
    EXPECT_FALSE(window->showingBanner());
    window->openOnlineHelp();
    EXPECT_NE(helpNotice(), nullptr);
    EXPECT_TRUE(opener.opened.isEmpty());
    // The free-edition text in grey on the background.
    const QImage image = renderOf(*window);
    keepShot(image, "advert_text");
    EXPECT_GT(countColour(image, window->rect(), QColor(160, 160, 160), 30), 20);
}

TEST_F(AdvertFlowTest, JpegBannerIsDownloadedIntoTheDataFolderAndShown)
{
    const QByteArray jpeg = testimages::jpeg(QSize(360, 46), kBannerRed);
    serveRecord("127.0.0.1;/ads/banner.jpg;http://click.example/offer;https://help.example/guide\n");
    server.answer("/ads/banner.jpg", {200, jpeg});
    auto window = start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->showingBanner(); }, 10000));
    EXPECT_EQ(window->banner().kind, BannerImage::Still);
    EXPECT_EQ(window->cursor().shape(), Qt::PointingHandCursor);

    QFile file(dir.filePath("preal.dat"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), jpeg);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"preal.dat"});  // no leftovers

    const QImage image = renderOf(*window);
    keepShot(image, "advert_jpeg");
    const QColor c = image.pixelColor(180, 23);
    EXPECT_NEAR(c.red(), kBannerRed.red(), 8);
    EXPECT_NEAR(c.green(), kBannerRed.green(), 8);

    window->openOnlineHelp();
    ASSERT_EQ(opener.opened.size(), 1);
    EXPECT_EQ(opener.opened[0], QUrl("https://help.example/guide"));
    EXPECT_EQ(helpNotice(), nullptr);
}

TEST_F(AdvertFlowTest, GifWithZeroDelaysAnimatesAt100MsAndPausesWhileHidden)
{
    const QList<QColor> colours{QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255)};
    serveRecord("127.0.0.1;/banner.gif;http://click.example/;");
    server.answer("/banner.gif", {200, testimages::gif(QSize(360, 46), colours, {0, 0, 0})});
    auto window = start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->showingBanner(); }, 10000));
    ASSERT_EQ(window->banner().kind, BannerImage::Animated);
    EXPECT_EQ(window->banner().delaysMs, (QList<int>{100, 100, 100}));
    EXPECT_TRUE(window->animating());
    EXPECT_EQ(window->frameTimerInterval(), 100);

    QElapsedTimer clock;
    clock.start();
    const int first = window->frameIndex();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->frameIndex() != first; }, 3000));
    EXPECT_GE(clock.elapsed(), 90);
    const int shown = window->frameIndex();
    EXPECT_EQ(renderOf(*window).pixelColor(10, 10), colours[shown]);

    window->setAnimation(false);  // the main window went to the tray
    EXPECT_FALSE(window->animating());
    const int paused = window->frameIndex();
    QTest::qWait(350);
    EXPECT_EQ(window->frameIndex(), paused);
    window->setAnimation(true);
    EXPECT_TRUE(window->animating());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->frameIndex() != paused; }, 3000));
}

TEST_F(AdvertFlowTest, ClickOpensTheClickPageAndBringsTheTextBack)
{
    serveRecord("127.0.0.1;/banner.jpg;http://click.example/offer?id=7;");
    server.answer("/banner.jpg", {200, testimages::jpeg(QSize(360, 46), kBannerRed)});
    auto window = start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->showingBanner(); }, 10000));
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(100, 20));
    ASSERT_EQ(opener.opened.size(), 1);
    EXPECT_EQ(opener.opened[0], QUrl("http://click.example/offer?id=7"));
    EXPECT_FALSE(window->showingBanner());
    EXPECT_NE(window->cursor().shape(), Qt::PointingHandCursor);
    const QImage image = renderOf(*window);
    EXPECT_EQ(countColour(image, window->rect(), kBannerRed, 20), 0);
    EXPECT_GT(countColour(image, window->rect(), QColor(160, 160, 160), 30), 20);
    // A click on the text opens nothing.
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(100, 20));
    EXPECT_EQ(opener.opened.size(), 1);
}

TEST_F(AdvertFlowTest, PagesThatAreNotWebPagesAreNeverOpened)
{
    serveRecord("127.0.0.1;/banner.jpg;file:///bin/sh;javascript:alert(1)");
    server.answer("/banner.jpg", {200, testimages::jpeg(QSize(360, 46), kBannerRed)});
    auto window = start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->showingBanner(); }, 10000));
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(100, 20));
    window->openOnlineHelp();
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_NE(helpNotice(), nullptr);
}

TEST_F(AdvertFlowTest, StopDuringThePauseEndsAtOnceAndDownloadsNothing)
{
    serveRecord("127.0.0.1;/banner.jpg;http://click.example/;http://help.example/");
    server.answer("/banner.jpg", {200, testimages::jpeg(QSize(360, 46), kBannerRed)});
    auto window = start(settings(60000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->recordOk(); }, 10000));
    QElapsedTimer clock;
    clock.start();
    window.reset();
    EXPECT_LT(clock.elapsed(), 5000);
    QTest::qWait(100);
    EXPECT_FALSE(server.wasAsked("/banner.jpg"));
    EXPECT_FALSE(QFile::exists(dir.filePath("preal.dat")));
}

TEST_F(AdvertFlowTest, WithoutAServiceHostNothingIsAskedAndHelpIsUnavailable)
{
    AdvertSettings s = settings();
    s.serviceHost.clear();
    auto window = start(s);
    QSignalSpy done(window.get(), &AdvertPane::fetchDone);
    ASSERT_TRUE(fetched(*window, done));
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(100, 20));  // asks for a refetch
    ASSERT_TRUE(fetched(*window, done, 2));
    EXPECT_FALSE(window->recordOk());
    EXPECT_TRUE(server.requests().isEmpty());
    window->openOnlineHelp();
    EXPECT_NE(helpNotice(), nullptr);
}

TEST_F(AdvertFlowTest, FailedRecordIsFetchedAgainOnAClick)
{
    serveRecord("", 500);
    auto window = start();
    QSignalSpy done(window.get(), &AdvertPane::fetchDone);
    ASSERT_TRUE(fetched(*window, done));
    EXPECT_FALSE(window->recordOk());
    serveRecord(";;;http://help.example/");
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(100, 20));
    ASSERT_TRUE(fetched(*window, done, 2));
    EXPECT_TRUE(window->recordOk());
    EXPECT_EQ(server.requests().size(), 2);
    window->openOnlineHelp();
    EXPECT_EQ(opener.opened, QList<QUrl>{QUrl("http://help.example/")});
}

TEST_F(AdvertFlowTest, HostileBannersAreRefusedAndLeaveNoFile)
{
    struct Case {
        const char* record;
        LocalHttpServer::Answer banner;
    };
    const QByteArray big = testimages::jpeg(QSize(360, 46), kBannerRed);
    const Case cases[] = {
        {"127.0.0.1;/big.jpg", {200, big}},                                      // over the byte limit
        {"127.0.0.1;/bomb.jpg", {200, testimages::withJpegSize(testimages::jpeg(QSize(8, 8), Qt::red), 50000, 50000)}},
        {"127.0.0.1;/page.html", {200, "<html><body>no image</body></html>"}},
        {"127.0.0.1;/gone.jpg", {404, big}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.record);
        const QByteArray path = QByteArray(c.record).mid(QByteArray(c.record).indexOf(';') + 1);
        serveRecord(c.record);
        server.answer(path, c.banner);
        AdvertSettings s = settings();
        s.bannerByteLimit = big.size() - 1;
        auto window = start(s);
        QSignalSpy done(window.get(), &AdvertPane::fetchDone);
        ASSERT_TRUE(fetched(*window, done));
        EXPECT_TRUE(server.wasAsked(path));
        EXPECT_FALSE(window->showingBanner());
        const QStringList files = QDir(dir.path()).entryList(QDir::Files);
        EXPECT_TRUE(files.isEmpty() || files == QStringList{"preal.dat"}) << files.join(',').toStdString();
        QFile::remove(dir.filePath("preal.dat"));
    }
}

TEST_F(AdvertFlowTest, ImageHostThatIsNotAPlainHostIsNeverContacted)
{
    serveRecord("127.0.0.1/../x;/banner.jpg");
    auto window = start();
    QSignalSpy done(window.get(), &AdvertPane::fetchDone);
    ASSERT_TRUE(fetched(*window, done));
    EXPECT_TRUE(window->recordOk());
    EXPECT_EQ(server.requests().size(), 1);
}

} // namespace
} // namespace orvane
