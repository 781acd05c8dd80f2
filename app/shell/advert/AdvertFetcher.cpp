#include "shell/advert/AdvertFetcher.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QThread>
#include <QTimer>

#include <utility>

namespace orvane {

namespace {

// The desktop's proxy settings for every request of one manager.
class SystemProxies : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override
    {
        return systemProxyForQuery(query);
    }
};

} // namespace

QUrl advertRecordUrl(const QString& host, std::uint16_t port)
{
    // The service's object name holds a backslash, sent percent-encoded.
    QUrl url(QStringLiteral("http://%1/Lumivex%5Cv3free.php").arg(host), QUrl::StrictMode);
    url.setPort(port);
    return url;
}

QUrl advertBannerUrl(const AdvertRecord& record, std::uint16_t port)
{
    if (!isPlainHostName(record.imageHost) || !isPlainObjectPath(record.imagePath))
        return {};
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QString::fromStdString(record.imageHost), QUrl::StrictMode);
    url.setPort(port);
    const QString path = QString::fromStdString(record.imagePath);
    // The path may carry a query; it goes to the server as the record gives it.
    const qsizetype query = path.indexOf('?');
    const QString objectPath = path.left(query);
    url.setPath(objectPath.startsWith('/') ? objectPath : '/' + objectPath, QUrl::TolerantMode);
    if (query >= 0)
        url.setQuery(path.mid(query + 1), QUrl::TolerantMode);
    return url.isValid() ? url : QUrl();
}

AdvertFetcher::AdvertFetcher(AdvertSettings settings) : m_settings(std::move(settings)) {}

AdvertFetcher::~AdvertFetcher() = default;

QString AdvertFetcher::bannerPath() const
{
    return m_settings.dataDir + QStringLiteral("preal.dat");
}

void AdvertFetcher::fetch()
{
    if (m_busy || m_haveBanner || m_stop.load())
        return;
    m_busy = true;
    if (m_settings.serviceHost.isEmpty()) {
        emit recordFailed();
        finish();
        return;
    }
    if (!m_network) {
        m_network = new QNetworkAccessManager(this);
        if (m_settings.systemProxy)
            m_network->setProxyFactory(new SystemProxies);
        else
            m_network->setProxy(QNetworkProxy::NoProxy);
        m_network->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
        m_pause = new QTimer(this);
        m_pause->setSingleShot(true);
        connect(m_pause, &QTimer::timeout, this, &AdvertFetcher::download);
    }
    requestRecord();
}

QNetworkReply* AdvertFetcher::get(const QUrl& url)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Lumivex"));
    request.setRawHeader("Connection", "close");
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(m_settings.transferTimeoutMs);
    return m_network->get(request);
}

void AdvertFetcher::requestRecord()
{
    m_body.clear();
    m_reply = get(advertRecordUrl(m_settings.serviceHost, m_settings.port));
    connect(m_reply, &QNetworkReply::readyRead, this, [this] {
        // The record is short: a body that reaches the limit is refused without reading on.
        m_body += m_reply->read(qint64(kAdvertBodyLimit) - m_body.size());
        if (m_body.size() >= qsizetype(kAdvertBodyLimit))
            m_reply->abort();
    });
    connect(m_reply, &QNetworkReply::finished, this, &AdvertFetcher::recordFinished);
}

void AdvertFetcher::recordFinished()
{
    QNetworkReply* reply = m_reply;
    m_body += reply->read(qint64(kAdvertBodyLimit) - m_body.size());
    const bool ok = reply->error() == QNetworkReply::NoError &&
                    reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200 &&
                    parseAdvertRecord(std::string_view(m_body.constData(), size_t(m_body.size())), m_record);
    dropReply();
    m_body.clear();
    if (!ok) {
        emit recordFailed();
        finish();
        return;
    }
    emit recordReady(m_record);
    if (m_stop.load()) {
        finish();
        return;
    }
    m_pause->start(m_settings.pauseMs);
}

void AdvertFetcher::download()
{
    const QUrl url = advertBannerUrl(m_record, m_settings.port);
    if (m_stop.load() || !url.isValid()) {
        finish();
        return;
    }
    // Written beside the data under a temporary name and renamed over preal.dat when
    // complete: a dropped download never leaves half a file, and a link named preal.dat is
    // replaced, not followed.
    m_file = new QSaveFile(bannerPath(), this);
    if (!m_file->open(QIODevice::WriteOnly)) {
        delete std::exchange(m_file, nullptr);
        finish();
        return;
    }
    m_bannerBytes = 0;
    m_overLimit = false;
    m_reply = get(url);
    connect(m_reply, &QNetworkReply::readyRead, this, &AdvertFetcher::bannerData);
    connect(m_reply, &QNetworkReply::finished, this, &AdvertFetcher::bannerFinished);
}

void AdvertFetcher::bannerData()
{
    if (m_overLimit)
        return;
    const QByteArray data = m_reply->readAll();
    m_bannerBytes += data.size();
    if (m_bannerBytes > m_settings.bannerByteLimit) {
        m_overLimit = true;
        m_reply->abort();
        return;
    }
    m_file->write(data);
}

void AdvertFetcher::bannerFinished()
{
    if (!m_overLimit && m_reply->bytesAvailable() > 0)
        bannerData();
    const bool ok = !m_overLimit && m_reply->error() == QNetworkReply::NoError &&
                    m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200 &&
                    m_bannerBytes > 0;
    dropReply();
    if (ok && !m_stop.load() && m_file->commit()) {
        delete std::exchange(m_file, nullptr);
        const BannerImage banner = decodeBanner(bannerPath(), BannerLimits{}, &m_stop);
        if (!banner.isNull()) {
            m_haveBanner = true;
            emit bannerReady(banner);
        }
    } else {
        delete std::exchange(m_file, nullptr);  // uncommitted: the temporary file goes
    }
    finish();
}

void AdvertFetcher::finish()
{
    m_busy = false;
    emit fetchDone();
}

void AdvertFetcher::dropReply()
{
    if (!m_reply)
        return;
    m_reply->disconnect(this);
    m_reply->abort();
    m_reply->deleteLater();
    m_reply = nullptr;
}

void AdvertFetcher::shutdown()
{
    m_stop.store(true);
    if (m_pause)
        m_pause->stop();
    dropReply();
    if (m_file) {
        delete std::exchange(m_file, nullptr);
    }
    delete std::exchange(m_pause, nullptr);
    delete std::exchange(m_network, nullptr);
    QThread::currentThread()->quit();
}

} // namespace orvane
