#include "shell/FrameChrome.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace orvane {

FrameChrome::FrameChrome(QWidget& window, int border) : QObject(&window), m_window(window), m_border(border)
{
    m_window.setMouseTracking(true);
    m_window.installEventFilter(this);
}

Qt::Edges FrameChrome::edgesAt(QPoint pos) const
{
    const int w = m_window.width();
    const int h = m_window.height();
    const bool nearTop = pos.y() < m_border;
    const bool nearBottom = pos.y() >= h - m_border;
    const bool nearLeft = pos.x() < m_border;
    const bool nearRight = pos.x() >= w - m_border;
    Qt::Edges edges;
    if (nearLeft || (pos.x() < kCorner && (nearTop || nearBottom)))
        edges |= Qt::LeftEdge;
    if (nearRight || (pos.x() >= w - kCorner && (nearTop || nearBottom)))
        edges |= Qt::RightEdge;
    if (nearTop || (pos.y() < kCorner && (nearLeft || nearRight)))
        edges |= Qt::TopEdge;
    if (nearBottom || (pos.y() >= h - kCorner && (nearLeft || nearRight)))
        edges |= Qt::BottomEdge;
    return edges;
}

bool FrameChrome::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &m_window)
        return false;
    if (event->type() == QEvent::MouseMove) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        pointerMoved(mouse->position().toPoint(), mouse->globalPosition().toPoint(),
                     mouse->buttons() & Qt::LeftButton);
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && !m_maximized)
            pressed(mouse->position().toPoint(), mouse->globalPosition().toPoint());
        return true;
    }
    return false;
}

void FrameChrome::pointerMoved(QPoint pos, QPoint global, bool leftButton)
{
    if (m_manualDrag && leftButton) {
        dragTo(global);
        return;
    }
    const Qt::Edges edges = m_maximized ? Qt::Edges() : edgesAt(pos);
    if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
        m_window.setCursor(Qt::SizeFDiagCursor);
    else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
        m_window.setCursor(Qt::SizeBDiagCursor);
    else if (edges & (Qt::LeftEdge | Qt::RightEdge))
        m_window.setCursor(Qt::SizeHorCursor);
    else if (edges & (Qt::TopEdge | Qt::BottomEdge))
        m_window.setCursor(Qt::SizeVerCursor);
    else
        m_window.unsetCursor();
}

void FrameChrome::pressed(QPoint pos, QPoint global)
{
    const Qt::Edges edges = edgesAt(pos);
    QWindow* handle = m_window.windowHandle();
    if (edges && handle && handle->startSystemResize(edges))
        return;
    beginDrag(global);
}

void FrameChrome::beginDrag(QPoint global)
{
    if (m_maximized)
        return;
    QWindow* handle = m_window.windowHandle();
    if (handle && handle->startSystemMove()) {
        m_manualDrag = false;
        return;
    }
    m_manualDrag = true;
    m_dragStart = global;
    m_frameStart = m_window.pos();
}

void FrameChrome::dragTo(QPoint global)
{
    if (m_manualDrag)
        m_window.move(m_frameStart + (global - m_dragStart));
}

} // namespace orvane
