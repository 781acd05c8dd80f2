#pragma once

#include "shell/advert/AdvertRecord.h"
#include "shell/advert/AdvertSettings.h"
#include "shell/advert/BannerImage.h"

#include <QByteArray>
#include <QObject>
#include <QUrl>

#include <atomic>

class QNetworkAccessManager;
class QNetworkReply;
class QSaveFile;
class QTimer;

namespace orvane {

// The network side of the advert window; lives on the window's worker thread. A fetch asks
// the web service for the information record, waits the pause, downloads the banner into
// the data folder as preal.dat and decodes it. Results reach the window as queued signals;
// nothing is shared with the GUI thread but the stop flag.
class AdvertFetcher : public QObject {
    Q_OBJECT
public:
    explicit AdvertFetcher(AdvertSettings settings);
    ~AdvertFetcher() override;

    // Any thread: no further request, download or decode step starts.
    void requestStop() { m_stop.store(true); }

    // The path of the banner file.
    QString bannerPath() const;

public slots:
    // Worker thread: starts a fetch, unless one is running, a banner was decoded or a stop
    // was requested.
    void fetch();
    // Worker thread: drops the running request and the pause, then ends the thread's loop.
    void shutdown();

signals:
    void recordReady(const orvane::AdvertRecord& record);
    void recordFailed();
    void bannerReady(const orvane::BannerImage& banner);
    // The fetch ended (with or without a banner).
    void fetchDone();

private:
    QNetworkReply* get(const QUrl& url);
    void requestRecord();
    void recordFinished();
    void download();
    void bannerData();
    void bannerFinished();
    void finish();
    void dropReply();

    AdvertSettings m_settings;
    std::atomic<bool> m_stop{false};
    bool m_busy = false;
    bool m_haveBanner = false;
    QNetworkAccessManager* m_network = nullptr;
    QNetworkReply* m_reply = nullptr;
    QTimer* m_pause = nullptr;
    QSaveFile* m_file = nullptr;
    QByteArray m_body;
    qint64 m_bannerBytes = 0;
    bool m_overLimit = false;
    AdvertRecord m_record;
};

// The address of the information request on a service host.
QUrl advertRecordUrl(const QString& host, std::uint16_t port);
// The address of a banner; invalid when the record's host or path is not plain.
QUrl advertBannerUrl(const AdvertRecord& record, std::uint16_t port);

} // namespace orvane
