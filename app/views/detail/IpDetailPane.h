#pragma once

#include "core/detail/DetailTracker.h"
#include "core/lists/CellTexts.h"
#include "views/charts/CurveChart.h"

#include <QFont>
#include <QPixmap>
#include <QWidget>

#include <array>

namespace orvane {

class TickFeed;
class TrafficModel;
struct TickSnapshot;

// The side pane "远程IP详细信息": the figures of the address followed in the list on show,
// and for the TCP and UDP lists three speed curves (total, sent, received) fed once a tick;
// for the chat list a note about chat addresses instead. While it is open it samples its
// addresses every tick.
class IpDetailPane : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStrip = 3;
    static constexpr int kTitleHeight = 20;
    static constexpr int kRowPitch = 18;
    static constexpr int kRowHeight = 16;
    static constexpr int kFirstRow = 4;     // below the body's top
    static constexpr int kLabelLeft = 3, kLabelRight = 102;
    static constexpr int kValueLeft = 105, kValueWidth = 102;
    static constexpr int kCurvesOffset = 306;  // below the title bar
    static constexpr int kCurveLeft = 6, kCurveWidth = 205, kCurveHeight = 86, kCurveGap = 6;

    IpDetailPane(const TickFeed& ticks, TrafficModel& model, CellSources sources, QWidget* parent = nullptr);

    // A row of list kind was clicked: follow its address there.
    void follow(XTrafficKind kind, std::uint32_t address);
    // The list on show changed.
    void setKind(XTrafficKind kind);
    // One tick, elapsedMs after the previous one.
    void sample(std::uint32_t elapsedMs);
    // Forget every followed address and clear every curve.
    void reset();

    const DetailTracker& tracker() const { return m_tracker; }
    const CurveChart& curve(XTrafficKind kind, int which) const
    {
        return m_curves[std::size_t(kind)][std::size_t(which)];
    }
    // Where the curves of the current list go, and how tall they are, for this pane height.
    struct CurveLayout {
        int count = 0;
        int top = 0;
        int height = 0;
    };
    CurveLayout curveLayout() const;
    QRect closeButtonRect() const { return m_closeRect; }
    QRect valueRect(int row) const;

public slots:
    // While the side panel is open: a sample of the followed addresses, painted when the
    // panel is on show.
    void showTick(const orvane::TickSnapshot& snapshot);

signals:
    // The close button was released over it (the pane already forgot its addresses).
    void closeRequested();
    // A double click in the pane: show the current list's selection again.
    void selectionShowRequested();

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void loadTexts();
    void setHover(bool hover);
    void paintRows(QPainter& p);
    void paintCurvesOrNote(QPainter& p);

    TrafficModel& m_model;
    CellSources m_sources;
    DetailTracker m_tracker;
    std::array<std::array<CurveChart, 3>, kTrafficKinds> m_curves;
    QFont m_font;
    QPixmap m_close;
    QPixmap m_closeHover;
    QRect m_closeRect;
    bool m_hover = false;
};

} // namespace orvane
