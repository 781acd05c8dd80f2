#pragma once

#include "shell/advert/AdvertRecord.h"
#include "shell/advert/AdvertSettings.h"
#include "shell/advert/BannerImage.h"
#include "shell/advert/UrlOpener.h"

#include <QColor>
#include <QFont>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace orvane {

class AdvertFetcher;

// The banner at the bottom right of the main view. It shows the free-edition text until
// the web service's banner arrives (a still JPEG or an animated GIF), opens the banner's page
// on a click and the online-help page on request. The network work runs on a worker thread
// of its own; this side only paints and answers clicks.
class AdvertPane : public QWidget {
    Q_OBJECT
public:
    // The program's pane: the built-in service host, the desktop's browser.
    explicit AdvertPane(QWidget* parent = nullptr);
    // Tests: their own host, port, pause and data folder, and a stand-in browser (which
    // must outlive the pane).
    AdvertPane(AdvertSettings settings, UrlOpener& opener, QWidget* parent = nullptr);
    // Stops the worker: at most 5 seconds, also in the middle of the pause.
    ~AdvertPane() override;

    bool recordOk() const { return m_recordOk; }
    const AdvertRecord& record() const { return m_record; }
    bool showingBanner() const { return m_showing; }
    const BannerImage& banner() const { return m_banner; }
    int frameIndex() const { return m_frame; }
    bool animationEnabled() const { return m_animationEnabled; }
    bool animating() const { return m_frameTimer.isActive(); }
    int frameTimerInterval() const { return m_frameTimer.interval(); }

public slots:
    // The title bar's online-help link: opens the help page, or says it is unavailable.
    void openOnlineHelp();
    // The main window was hidden (false) or shown again (true): the animation pauses with it.
    void setAnimation(bool on);

signals:
    // For tests and the view: the worker ended a fetch.
    void fetchDone();

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void loadText();
    AdvertPane(AdvertSettings settings, std::unique_ptr<UrlOpener> own, UrlOpener* opener, QWidget* parent);
    void startWorker(AdvertSettings settings);
    void takeRecord(const AdvertRecord& record);
    void takeBanner(const BannerImage& banner);
    void nextFrame();
    void updateAnimation();
    void setShowing(bool showing);

    std::unique_ptr<UrlOpener> m_ownOpener;
    UrlOpener* m_opener;
    QThread m_thread;
    AdvertFetcher* m_fetcher = nullptr;

    QColor m_background;
    QFont m_font;
    QString m_text;

    AdvertRecord m_record;
    bool m_recordOk = false;
    BannerImage m_banner;
    bool m_showing = false;
    bool m_animationEnabled = true;
    int m_frame = 0;
    QTimer m_frameTimer;
};

} // namespace orvane
