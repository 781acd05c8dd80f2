#include "views/floating/FloatWindow.h"

#include "core/tick/TickSnapshot.h"
#include "core/ValueFormat.h"
#include "views/FittedText.h"
#include "views/Skin.h"
#include "views/TickFeed.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <QEvent>

#include <algorithm>
#include <iterator>

namespace orvane {

namespace {

constexpr QSize kFallbackSize(500, 22);
const QColor kPlainText(240, 240, 240);
const QColor kFallbackBackground(39, 54, 49);

QColor toColor(Rgb rgb)
{
    return QColor(rgb.r, rgb.g, rgb.b);
}

// Tahoma (or fontconfig's stand-in for it), a 15-pixel line, thin.
QFont stripFont()
{
    QFont font = skin::fontOfFace(QStringLiteral("Tahoma"), 15);
    font.setWeight(QFont::Thin);
    return font;
}

} // namespace

FloatWindow::FloatWindow(const TickFeed& ticks, QPixmap background, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_background(background.isNull() ? skin::image("float_background.png") : std::move(background)),
      m_font(stripFont())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setObjectName(QStringLiteral("floatWindow"));
    setWindowTitle(skin::text("titlename"));
    setFixedSize(m_background.isNull() ? kFallbackSize : m_background.size());
    makeCells();
    activate();
    connect(&ticks, &TickFeed::published, this, &FloatWindow::showTick);
}

QPoint FloatWindow::homePosition(const QRect& workArea)
{
    // The right edge of the work area, one past its last column.
    return {(workArea.x() + workArea.width()) / 2 - 80, workArea.top() + 1};
}

void FloatWindow::activate()
{
    hide();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(homePosition(screen->availableGeometry()));
}

void FloatWindow::setAllowed(bool allowed)
{
    m_allowed = allowed;
    if (!allowed)
        hide();
}

void FloatWindow::showIfAllowed()
{
    if (m_allowed)
        show();
}

QRect FloatWindow::figureBox(int index) const
{
    // The strip's image draws a divider 4 pixels left of each column and a frame round it.
    const int right = index + 1 < int(std::size(kColumns)) ? kColumns[index + 1] - 6 : width() - 4;
    return QRect(QPoint(kColumns[index], 2), QPoint(right, height() - 2));
}

void FloatWindow::showTick(const TickSnapshot& snapshot)
{
    m_figures = snapshot.machine;
    Cell before[5];
    std::copy(std::begin(m_cells), std::end(m_cells), std::begin(before));
    makeCells();
    if (isVisible() && !std::equal(std::begin(m_cells), std::end(m_cells), std::begin(before)))
        update();
}

void FloatWindow::makeCells()
{
    const double disk = double(m_figures.diskRead) + double(m_figures.diskWrite);
    const ColoredText speeds[3] = {formatValue(disk, ValueUse::FloatSpeed),
                                   formatValue(m_figures.upload, ValueUse::FloatSpeed),
                                   formatValue(m_figures.download, ValueUse::FloatSpeed)};
    m_cells[0] = {skin::text("float_cpu").arg(m_figures.cpuPercent), kPlainText};
    m_cells[1] = {skin::text("float_memory").arg(m_figures.memoryPercent), kPlainText};
    m_cells[2] = {skin::text("float_disk") + QString::fromStdString(speeds[0].text), toColor(speeds[0].colour)};
    m_cells[3] = {skin::text("float_up") + QString::fromStdString(speeds[1].text), toColor(speeds[1].colour)};
    m_cells[4] = {skin::text("float_down") + QString::fromStdString(speeds[2].text), toColor(speeds[2].colour)};
}

void FloatWindow::showEvent(QShowEvent*)
{
    emit shownChanged(true);
}

void FloatWindow::hideEvent(QHideEvent*)
{
    emit shownChanged(false);
}

void FloatWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_background.isNull())
        painter.fillRect(rect(), kFallbackBackground);
    else
        painter.drawPixmap(0, 0, m_background);
    painter.setFont(m_font);

    for (int i = 0; i < 5; ++i) {
        painter.setPen(m_cells[i].colour);
        drawFittedText(painter, figureBox(i), Qt::AlignLeft | Qt::AlignTop, m_cells[i].text);
    }
}

void FloatWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        emit menuRequested(event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    // The window manager moves the strip where it can; else it follows the mouse here.
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - pos();
}

void FloatWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging)
        move(event->globalPosition().toPoint() - m_dragOffset);
}

void FloatWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
}

void FloatWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = false;
        emit showMainRequested();
    }
}

void FloatWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        setWindowTitle(skin::text("titlename"));
        makeCells();
        update();
    }
    QWidget::changeEvent(event);
}

} // namespace orvane
