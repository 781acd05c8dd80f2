#include "views/FloatingWindow.h"

#include "views/Skin.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace orvane {

namespace {
constexpr QSize kDefaultSize(500, 22);
constexpr int kScreenMargin = 8;
} // namespace

FloatingWindow::FloatingWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle(skin::text("titlename"));
    m_background = skin::image("float_background.png");
    const QSize size = m_background.isNull() ? kDefaultSize : m_background.size();
    resize(size);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        // Bottom right, clear of the panels (and tray strips) along the top edge.
        move(area.right() - size.width() - kScreenMargin, area.bottom() - size.height() - 4 * kScreenMargin);
    }
}

void FloatingWindow::setAllowed(bool allowed)
{
    m_allowed = allowed;
    if (!allowed)
        hide();
}

void FloatingWindow::showIfAllowed()
{
    if (m_allowed)
        show();
}

void FloatingWindow::refreshNow()
{
    if (isVisible())
        update();
}

void FloatingWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_background.isNull())
        painter.fillRect(rect(), QColor(39, 54, 49));
    else
        painter.drawPixmap(0, 0, m_background);
}

void FloatingWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
        emit menuRequested(event->globalPosition().toPoint());
}

void FloatingWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit showMainRequested();
}

} // namespace orvane
