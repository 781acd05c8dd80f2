#include "shell/advert/AdvertPane.h"

#include "shell/advert/AdvertFetcher.h"

#include "views/FittedText.h"
#include "views/Skin.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QEvent>

namespace orvane {

namespace {

constexpr int kStopWaitMs = 5000;
const QColor kTextColour(160, 160, 160);

QString text(const char* key)
{
    return skin::text(key);
}

} // namespace

AdvertPane::AdvertPane(QWidget* parent)
    : AdvertPane(AdvertSettings::standard(), std::make_unique<DesktopUrlOpener>(), nullptr, parent)
{
}

AdvertPane::AdvertPane(AdvertSettings settings, UrlOpener& opener, QWidget* parent)
    : AdvertPane(std::move(settings), nullptr, &opener, parent)
{
}

AdvertPane::AdvertPane(AdvertSettings settings, std::unique_ptr<UrlOpener> own, UrlOpener* opener,
                           QWidget* parent)
    : QWidget(parent), m_ownOpener(std::move(own)), m_opener(opener ? opener : m_ownOpener.get())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setObjectName(QStringLiteral("advertPane"));
    m_background = skin::color("cbk_advertwnd");
    m_font = skin::fontOfFace(QStringLiteral("Tahoma"), 18);
    m_font.setWeight(QFont::Thin);
    loadText();

    m_frameTimer.setSingleShot(true);
    connect(&m_frameTimer, &QTimer::timeout, this, &AdvertPane::nextFrame);
    startWorker(std::move(settings));
}

void AdvertPane::startWorker(AdvertSettings settings)
{
    qRegisterMetaType<AdvertRecord>();
    qRegisterMetaType<BannerImage>();
    m_thread.setObjectName(QStringLiteral("advert"));
    m_fetcher = new AdvertFetcher(std::move(settings));
    m_fetcher->moveToThread(&m_thread);
    // Deleted on its own thread as that thread ends, after its last event.
    connect(&m_thread, &QThread::finished, m_fetcher, &QObject::deleteLater);
    connect(m_fetcher, &AdvertFetcher::recordReady, this, &AdvertPane::takeRecord);
    connect(m_fetcher, &AdvertFetcher::recordFailed, this, [this] { m_recordOk = false; });
    connect(m_fetcher, &AdvertFetcher::bannerReady, this, &AdvertPane::takeBanner);
    connect(m_fetcher, &AdvertFetcher::fetchDone, this, &AdvertPane::fetchDone);
    m_thread.start();
    QMetaObject::invokeMethod(m_fetcher, &AdvertFetcher::fetch, Qt::QueuedConnection);
}

AdvertPane::~AdvertPane()
{
    m_fetcher->requestStop();
    QMetaObject::invokeMethod(m_fetcher, &AdvertFetcher::shutdown, Qt::QueuedConnection);
    if (!m_thread.wait(kStopWaitMs)) {
        // Only a decode step can hold the worker, and it stops between frames: the thread is
        // still joined, never left running.
        qWarning("advert worker did not stop within %d ms", kStopWaitMs);
        m_thread.wait();
    }
}

void AdvertPane::takeRecord(const AdvertRecord& record)
{
    m_record = record;
    m_recordOk = true;
}

void AdvertPane::takeBanner(const BannerImage& banner)
{
    if (banner.isNull())
        return;
    m_banner = banner;
    m_frame = 0;
    setShowing(true);
}

void AdvertPane::setShowing(bool showing)
{
    m_showing = showing;
    if (showing)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
    updateAnimation();
    update();
}

void AdvertPane::setAnimation(bool on)
{
    m_animationEnabled = on;
    updateAnimation();
}

void AdvertPane::updateAnimation()
{
    const bool run = m_animationEnabled && m_showing && m_banner.kind == BannerImage::Animated &&
                     m_banner.frames.size() > 1;
    if (!run)
        m_frameTimer.stop();
    else if (!m_frameTimer.isActive())
        m_frameTimer.start(m_banner.delaysMs.value(m_frame, kShortestFrameDelayMs));
}

void AdvertPane::nextFrame()
{
    if (m_banner.frames.isEmpty())
        return;
    m_frame = (m_frame + 1) % int(m_banner.frames.size());
    update();
    updateAnimation();
}

void AdvertPane::openOnlineHelp()
{
    const QUrl page = webPageUrl(m_record.helpPage);
    if (m_recordOk && page.isValid() && m_opener->open(page))
        return;
    auto* box = new QMessageBox(QMessageBox::Information, text("Lumivex"), text("not_on_linehelp"), QMessageBox::Ok,
                                window());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("onlineHelpNotice"));
    box->open();
}

void AdvertPane::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_showing) {
        const QUrl page = webPageUrl(m_record.clickPage);
        if (page.isValid())
            m_opener->open(page);
        m_animationEnabled = false;
        setShowing(false);
    }
    if (!m_recordOk)
        QMetaObject::invokeMethod(m_fetcher, &AdvertFetcher::fetch, Qt::QueuedConnection);
}

void AdvertPane::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_background);
    if (m_showing && !m_banner.isNull()) {
        painter.drawImage(QPoint(0, 0), m_banner.frames.at(std::min<qsizetype>(m_frame, m_banner.frames.size() - 1)));
        return;
    }
    painter.setFont(m_font);
    painter.setPen(kTextColour);
    drawFittedParagraph(painter, rect(), Qt::AlignCenter, m_text);
}

void AdvertPane::loadText()
{
    // The built-in text breaks its line with CR LF; one line feed is what Qt lays out.
    m_text = text("advert_free_ver_descr").replace(QStringLiteral("\r\n"), QStringLiteral("\n")) + advertContact();
}

void AdvertPane::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        loadText();
        update();
    }
    QWidget::changeEvent(event);
}

} // namespace orvane
