#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

namespace orvane {

// The window chrome of a frameless top-level widget: its border resizes it (the cursor
// shows which way over each edge and corner), and a drag moves it, through the window
// system's move and resize where it offers them (the only way under Wayland), else by
// following the pointer. It watches the window's own mouse events; the title bar starts
// its drags through beginDrag().
class FrameChrome : public QObject {
    Q_OBJECT
public:
    // border: the width of the resizing edge, in pixels.
    FrameChrome(QWidget& window, int border);

    // A maximised window neither resizes nor moves.
    void setMaximized(bool maximized) { m_maximized = maximized; }
    // A drag of the window, by global pointer positions.
    void beginDrag(QPoint global);
    void dragTo(QPoint global);
    void endDrag() { m_manualDrag = false; }
    // The edges a point of the window lies on: within the border, or within the corner
    // length of a corner along the border.
    Qt::Edges edgesAt(QPoint pos) const;

    static constexpr int kCorner = 12;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pointerMoved(QPoint pos, QPoint global, bool leftButton);
    void pressed(QPoint pos, QPoint global);

    QWidget& m_window;
    int m_border;
    bool m_maximized = false;
    bool m_manualDrag = false;
    QPoint m_dragStart;
    QPoint m_frameStart;
};

} // namespace orvane
