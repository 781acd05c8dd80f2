#pragma once

#include "core/MachineFigures.h"

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

namespace orvane {

class TickFeed;
struct TickSnapshot;

// The small always-on-top strip that stays on the desktop while the main window is in the
// tray: CPU, memory, disk, upload and download speeds in one line over the skin's strip
// image. Frameless, no taskbar entry. Drag it with the left button; a right click asks for
// the program's menu, a double click for the main window.
class FloatWindow : public QWidget {
    Q_OBJECT
public:
    // Every tick's machine figures come from ticks. background null: the skin's image
    // (float_background.png of the data folder's ui/).
    explicit FloatWindow(const TickFeed& ticks, QPixmap background = {}, QWidget* parent = nullptr);

    // Whether the user switched the strip on; a strip switched off never shows.
    void setAllowed(bool allowed);
    bool allowed() const { return m_allowed; }
    // Shows the strip when it is switched on (without taking the focus).
    void showIfAllowed();
    // Hides it and puts it back at its home position.
    void activate();

    // Top-left corner of the strip on a desktop work area: centred around 80 pixels left of
    // the middle, one pixel below the top.
    static QPoint homePosition(const QRect& workArea);

    const QFont& textFont() const { return m_font; }
    // The figures of the last tick, as the strip paints them.
    const MachineFigures& figures() const { return m_figures; }
    // Where figure i (0-4) is drawn: from its left edge to the divider before the next figure
    // (the last to the strip's frame), below a 2-pixel top. A figure wider than that is shown
    // smaller.
    QRect figureBox(int index) const;

    // Left edges of the five figures.
    static constexpr int kColumns[5] = {70, 140, 214, 312, 406};

public slots:
    // New figures: repainted when on screen and only when a text they show changed, so that
    // an idle machine's strip costs no painting.
    void showTick(const orvane::TickSnapshot& snapshot);

signals:
    void menuRequested(QPoint globalPosition);
    void showMainRequested();
    // The strip came on screen (true) or left it.
    void shownChanged(bool shown);

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    struct Cell {
        QString text;
        QColor colour;
        bool operator==(const Cell&) const = default;
    };
    // The five texts of m_figures in the current language.
    void makeCells();

    MachineFigures m_figures;
    Cell m_cells[5];
    QPixmap m_background;
    QFont m_font;
    bool m_allowed = false;
    bool m_dragging = false;
    QPoint m_dragOffset;
};

} // namespace orvane
