#include "views/TitleBar.h"

#include "views/AboutDialog.h"
#include "views/FittedText.h"
#include "views/Skin.h"
#include "views/TickFeed.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QEvent>

#include <algorithm>

namespace orvane {

namespace {

const QColor kBackground(95, 96, 96);
const QColor kLinkText(230, 230, 216);
constexpr QSize kButtonSize(24, 18);
constexpr int kCloseRightGap = 10;
constexpr int kButtonGap = 5;
constexpr int kLogoLeft = 4;
constexpr int kLogoMinWidth = 200;   // the bar must be wider than this to show the logo
constexpr int kLinksMinWidth = 400;  // and at least this wide to show the links

// Stand-in caption glyphs for a data folder without its images.
QPixmap drawnButton(TitleBar::Button button, bool hover)
{
    QPixmap pixmap(kButtonSize);
    pixmap.fill(hover ? QColor(button == TitleBar::CloseButton ? QColor(200, 40, 30) : QColor(130, 132, 132))
                      : kBackground);
    QPainter painter(&pixmap);
    painter.setPen(QPen(QColor(240, 240, 240), 2));
    switch (button) {
    case TitleBar::MinimizeButton:
        painter.drawLine(7, 12, 17, 12);
        break;
    case TitleBar::MaximizeButton:
        painter.drawRect(7, 4, 10, 9);
        break;
    case TitleBar::CloseButton:
        painter.setRenderHint(QPainter::Antialiasing);
        painter.drawLine(8, 4, 16, 13);
        painter.drawLine(16, 4, 8, 13);
        break;
    case TitleBar::NoButton:
        break;
    }
    return pixmap;
}

QPixmap drawnLogo()
{
    QPixmap pixmap(96, 20);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QFont font;
    font.setPixelSize(14);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(240, 240, 240));
    painter.drawText(pixmap.rect(), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Lumivex"));
    return pixmap;
}

QPixmap loadOr(const char* file, QPixmap fallback)
{
    QPixmap pixmap = skin::image(file);
    return pixmap.isNull() ? fallback : pixmap;
}

} // namespace

TitleBar::TitleBar(const TickFeed& ticks, QWidget* parent) : QWidget(parent)
{
    connect(&ticks, &TickFeed::published, this, &TitleBar::showTick);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    m_logo = loadOr("logo.png", drawnLogo());
    const struct {
        Button button;
        const char* normal;
        const char* hover;
    } files[] = {{MinimizeButton, "minimize.png", "minimize_hover.png"},
                 {MaximizeButton, "maximize.png", "maximize_hover.png"},
                 {CloseButton, "close.png", "close_hover.png"}};
    for (const auto& file : files) {
        m_normal[file.button] = loadOr(file.normal, drawnButton(file.button, false));
        m_hovered[file.button] = loadOr(file.hover, drawnButton(file.button, true));
    }
    // The skin names a title face (f_title), but the bar has always drawn its links in Tahoma.
    m_linkFont = skin::fontOfFace(QStringLiteral("Tahoma"), 15);
    layoutParts();
}

QRect TitleBar::buttonRect(Button button) const
{
    return button == NoButton ? QRect() : m_buttons[button];
}

const QPixmap& TitleBar::pixmapOf(Button button, bool hover) const
{
    return hover ? m_hovered[button] : m_normal[button];
}

void TitleBar::layoutParts()
{
    const int w = width();
    const int h = height();
    auto place = [h](const QPixmap& pixmap, int right) {
        const QSize size = pixmap.size();
        return QRect(right - size.width(), (h - size.height()) / 2, size.width(), size.height());
    };
    m_buttons[CloseButton] = place(m_normal[CloseButton], w - kCloseRightGap);
    m_buttons[MaximizeButton] = place(m_normal[MaximizeButton], m_buttons[CloseButton].left() - kButtonGap);
    m_buttons[MinimizeButton] = place(m_normal[MinimizeButton], m_buttons[MaximizeButton].left() - kButtonGap);
    m_logoRect = w > kLogoMinWidth ? QRect(QPoint(kLogoLeft, (h - m_logo.height()) / 2), m_logo.size()) : QRect();
    if (w >= kLinksMinWidth) {
        // Each link box ends where it always has; a text wider than its box widens the box
        // to the left rather than being cut off.
        const QRect& minimize = m_buttons[MinimizeButton];
        const QFontMetrics metrics(m_linkFont);
        auto linkBox = [&](int right, int width, const char* key) {
            const int needed = metrics.horizontalAdvance(skin::text(key)) + 4;
            return QRect(right - std::max(width, needed), minimize.top(), std::max(width, needed), minimize.height());
        };
        m_helpRect = linkBox(minimize.left() - 20, 50, "titlebar_online_help");
        m_aboutRect = linkBox(m_helpRect.left() - 10, 60, "titlebar_about");
    } else {
        m_helpRect = QRect();
        m_aboutRect = QRect();
    }
}

void TitleBar::resizeEvent(QResizeEvent*)
{
    layoutParts();
}

void TitleBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    if (!m_logoRect.isEmpty())
        painter.drawPixmap(m_logoRect.topLeft(), m_logo);
    for (Button button : {MinimizeButton, MaximizeButton, CloseButton})
        painter.drawPixmap(m_buttons[button].topLeft(), pixmapOf(button, button == m_hover));
    if (m_helpRect.isEmpty())
        return;
    painter.setFont(m_linkFont);
    painter.setPen(kLinkText);
    for (const auto& [box, key] : {std::pair{m_helpRect, "titlebar_online_help"}, std::pair{m_aboutRect, "titlebar_about"}})
        drawFittedText(painter, box, Qt::AlignCenter, skin::text(key));
}

TitleBar::Button TitleBar::buttonAt(QPoint pos) const
{
    for (Button button : {MinimizeButton, MaximizeButton, CloseButton}) {
        if (m_buttons[button].contains(pos))
            return button;
    }
    return NoButton;
}

bool TitleBar::onLink(QPoint pos) const
{
    return m_helpRect.contains(pos) || m_aboutRect.contains(pos);
}

void TitleBar::setHover(Button button)
{
    if (button == m_hover)
        return;
    if (m_hover != NoButton)
        update(m_buttons[m_hover]);
    m_hover = button;
    if (m_hover != NoButton)
        update(m_buttons[m_hover]);
}

void TitleBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        emit menuRequested(event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    m_pressed = buttonAt(pos) == NoButton && !onLink(pos);
    m_dragging = false;
    m_pressGlobal = event->globalPosition().toPoint();
}

void TitleBar::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    setHover(buttonAt(pos));
    if (onLink(pos))
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
    if (!m_pressed || !(event->buttons() & Qt::LeftButton))
        return;
    const QPoint global = event->globalPosition().toPoint();
    // The drag starts once the pointer has moved, so that a double click still reaches us.
    if (!m_dragging && (global - m_pressGlobal).manhattanLength() >= QApplication::startDragDistance()) {
        m_dragging = true;
        emit dragStarted(m_pressGlobal);
    }
    if (m_dragging)
        emit dragMoved(global);
}

void TitleBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const bool wasDragging = m_dragging;
    m_pressed = false;
    m_dragging = false;
    if (wasDragging) {
        emit dragEnded();
        return;
    }
    const QPoint pos = event->position().toPoint();
    switch (buttonAt(pos)) {
    case CloseButton:
        emit closeRequested();
        break;
    case MinimizeButton:
        emit minimizeRequested();
        break;
    case MaximizeButton:
        toggleMaximize();
        break;
    case NoButton:
        if (m_linksEnabled && m_aboutRect.contains(pos))
            runAbout();
        else if (m_linksEnabled && m_helpRect.contains(pos))
            emit onlineHelpRequested();
        break;
    }
    m_linksEnabled = true;
}

void TitleBar::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && buttonAt(event->position().toPoint()) == NoButton)
        toggleMaximize();
}

void TitleBar::leaveEvent(QEvent*)
{
    setHover(NoButton);
    unsetCursor();
}

void TitleBar::toggleMaximize()
{
    if (m_frameMaximized)
        emit restoreRequested();
    else
        emit maximizeRequested();
}

void TitleBar::showTick(const TickSnapshot& snapshot)
{
    if (snapshot.view.shown)
        m_linksEnabled = true;
}

void TitleBar::runAbout()
{
    AboutDialog dialog(m_eventSource, window());
    dialog.exec();
}

void TitleBar::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        layoutParts();
        update();
    }
    QWidget::changeEvent(event);
}

} // namespace orvane
