#include "views/detail/IpDetailPane.h"

#include "core/tick/TickSnapshot.h"
#include "views/FittedText.h"
#include "views/Skin.h"
#include "views/TickFeed.h"
#include "views/lists/ListRoles.h"

#include <QMouseEvent>
#include <QPainter>
#include <QEvent>

namespace orvane {

namespace {

const char* const kLabelKeys[DetailTracker::kValues] = {
    "ipwnd_ip",      "ipwnd_port",    "ipwnd_loca",    "ipwnd_sb",      "ipwnd_rb",
    "ipwnd_tb",      "ipwnd_sp",      "ipwnd_rp",      "ipwnd_tp",      "ipwnd_bpp",
    "ipwnd_sbspeed", "ipwnd_rbspeed", "ipwnd_spspeed", "ipwnd_rpspeed", "ipwnd_time",
    "ipwnd_dns",     "ipwnd_namesrc",
};
const char* const kCurveTitles[3] = {"ipwnd_curvtsp", "ipwnd_curvssp", "ipwnd_curvrsp"};

const QColor kTitleBox(0, 146, 63);
const QColor kBodyBox(31, 26, 23);
const QColor kCellBox(39, 54, 49);
const QColor kLabelOutline(168, 102, 68);
const QColor kDark(30, 30, 30);
const QColor kText(218, 218, 226);

// A box with a dark frame on the left and top and a white one on the right and bottom.
void frameBox(QPainter& p, const QRect& r, const QColor& fill)
{
    p.fillRect(r, fill);
    p.setPen(kDark);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(Qt::white);
    p.drawLine(r.topRight(), r.bottomRight());
    p.drawLine(r.bottomLeft(), r.bottomRight());
}

void outlinedBox(QPainter& p, const QRect& r, const QColor& fill, const QColor& outline)
{
    p.fillRect(r, fill);
    p.setPen(outline);
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0, 0, -1, -1));
}

} // namespace

IpDetailPane::IpDetailPane(const TickFeed& ticks, TrafficModel& model, CellSources sources, QWidget* parent)
    : QWidget(parent), m_model(model), m_sources(std::move(sources)),
      m_font(skin::fontOfFace(QStringLiteral("Tahoma"), 14)), m_close(skin::image("pane_close.png")),
      m_closeHover(skin::image("pane_close_hover.png"))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    static const char* const kLabels[4] = {"1K", "10K", "50K", "200K"};
    static constexpr int kThresholds[4] = {1024, 10240, 51200, 204800};
    for (auto& kind : m_curves) {
        for (int which = 0; which < 3; ++which) {
            CurveChart& c = kind[std::size_t(which)];
            c.setSize(kCurveWidth, kCurveHeight);
            c.setStep(2);
            c.setColours(QColor(15, 90, 54), QColor(31, 177, 107));
            c.setTextColour(QColor(31, 177, 107));
            for (int level = 0; level < 4; ++level)
                c.setLevel(level, kThresholds[level], QString::fromLatin1(kLabels[level]));
        }
    }
    loadTexts();
    connect(&ticks, &TickFeed::published, this, &IpDetailPane::showTick);
}

void IpDetailPane::loadTexts()
{
    for (auto& kind : m_curves) {
        for (int which = 0; which < 3; ++which) {
            kind[std::size_t(which)].setTitle(skin::text(kCurveTitles[which]));
            kind[std::size_t(which)].setCurrentLabel(skin::text("chart_label"));
        }
    }
}

void IpDetailPane::showTick(const TickSnapshot& snapshot)
{
    if (!snapshot.view.sidePanelOpen)
        return;
    sample(snapshot.elapsedMs);
    if (snapshot.view.detailOnShow())
        update();
}

void IpDetailPane::follow(XTrafficKind kind, std::uint32_t address)
{
    if (m_tracker.follow(kind, address))
        for (CurveChart& c : m_curves[std::size_t(kind)])
            c.clear();
    update();
}

void IpDetailPane::setKind(XTrafficKind kind)
{
    m_tracker.setKind(kind);
    update();
}

void IpDetailPane::sample(std::uint32_t elapsedMs)
{
    const auto samples = m_tracker.sample(elapsedMs, m_model);
    for (int kind = 0; kind < kTrafficKinds; ++kind) {
        const CurveSamples& s = samples[std::size_t(kind)];
        if (!s.push)
            continue;
        auto& curves = m_curves[std::size_t(kind)];
        curves[0].push(s.total);
        curves[1].push(s.sent);
        curves[2].push(s.received);
    }
}

void IpDetailPane::reset()
{
    m_tracker.reset();
    for (auto& kind : m_curves)
        for (CurveChart& c : kind)
            c.clear();
    update();
}

IpDetailPane::CurveLayout IpDetailPane::curveLayout() const
{
    CurveLayout l;
    l.top = kTitleHeight + kCurvesOffset + 12;
    const int free = height() - l.top;
    const int fits = free > 0 ? free / (kCurveHeight + kCurveGap) : 0;
    if (fits > 2) {
        l.count = 3;
        l.height = free / 3 - 12;
    } else if (fits > 0) {
        l.count = fits;
        l.height = kCurveHeight;
    } else if (free > kCurveGap) {
        l.count = 1;
        l.height = free - kCurveGap;
    }
    return l;
}

QRect IpDetailPane::valueRect(int row) const
{
    return QRect(kValueLeft, kTitleHeight + kFirstRow + row * kRowPitch, kValueWidth, kRowHeight);
}

void IpDetailPane::resizeEvent(QResizeEvent*)
{
    const QSize size = m_close.isNull() ? QSize(12, 12) : m_close.size();
    m_closeRect = QRect(width() - 10 - size.width(), (kTitleHeight - size.height()) / 2, size.width(), size.height());
}

void IpDetailPane::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(QRect(0, 0, kStrip, height()), skin::color("cbk_orvaneview", QColor(39, 54, 49)));
    const QRect title(kStrip, 0, width() - kStrip, kTitleHeight);
    frameBox(p, title, kTitleBox);
    p.setFont(m_font);
    p.setPen(kText);
    // Clear of the close button on the right, and as far from the strip on the left.
    const int buttonRoom = m_closeRect.isEmpty() ? 0 : width() - m_closeRect.left() + 2;
    drawFittedText(p, title.adjusted(buttonRoom, 0, -buttonRoom, 0), Qt::AlignCenter, skin::text("ipwndname"));
    const QPixmap& button = m_hover && !m_closeHover.isNull() ? m_closeHover : m_close;
    if (!button.isNull())
        p.drawPixmap(m_closeRect.topLeft(), button);
    frameBox(p, QRect(kStrip, kTitleHeight, width() - kStrip, height() - kTitleHeight), kBodyBox);
    paintRows(p);
    paintCurvesOrNote(p);
}

void IpDetailPane::paintRows(QPainter& p)
{
    const auto values = m_tracker.values(m_model, m_sources);
    const bool chat = m_tracker.currentKind() == kTrafficChat;
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    for (int row = 0; row < DetailTracker::kValues; ++row) {
        const QRect value = valueRect(row);
        const QRect label(kLabelLeft, value.top(), kLabelRight - kLabelLeft, kRowHeight);
        outlinedBox(p, label, kCellBox, kLabelOutline);
        p.setPen(kText);
        const char* key = chat && row == 1 ? "protocol" : kLabelKeys[row];
        drawFittedText(p, label.adjusted(3, 0, -1, 0), flags, skin::text(key));
        outlinedBox(p, value, kCellBox, Qt::black);
        p.setPen(toQColor(values[std::size_t(row)].colour));
        const QString text = QString::fromStdString(values[std::size_t(row)].text);
        drawFittedText(p, value.adjusted(3, 0, -1, 0), flags, text);
    }
}

void IpDetailPane::paintCurvesOrNote(QPainter& p)
{
    const XTrafficKind kind = m_tracker.currentKind();
    const int top = kTitleHeight + kCurvesOffset;
    if (kind == kTrafficChat) {
        p.setPen(kText);
        drawFittedText(p, QRect(kCurveLeft, top + 20, width() - 2 * kCurveLeft, 16), Qt::AlignLeft | Qt::AlignVCenter,
                       skin::text("ipinfo_wnd_memo"));
        QString note = skin::text("ipinfo_wnd_memo_content");
        note.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        drawFittedParagraph(p, QRect(kCurveLeft, top + 20 + 16 + 5, width() - 2 * kCurveLeft, height() - (top + 41)),
                            Qt::AlignLeft | Qt::AlignTop, note);
        return;
    }
    const CurveLayout l = curveLayout();
    auto& curves = m_curves[std::size_t(kind)];
    for (int i = 0; i < l.count; ++i) {
        CurveChart& c = curves[std::size_t(i)];
        c.setSize(kCurveWidth, l.height);
        c.draw(p, kCurveLeft, l.top + i * (l.height + kCurveGap));
    }
}

void IpDetailPane::setHover(bool hover)
{
    if (m_hover == hover)
        return;
    m_hover = hover;
    update(m_closeRect);
}

void IpDetailPane::mouseMoveEvent(QMouseEvent* event)
{
    setHover(m_closeRect.contains(event->position().toPoint()));
}

void IpDetailPane::leaveEvent(QEvent*)
{
    setHover(false);
}

void IpDetailPane::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_closeRect.contains(event->position().toPoint()))
        return;
    reset();
    emit closeRequested();
}

void IpDetailPane::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit selectionShowRequested();
}

void IpDetailPane::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        loadTexts();
        update();
    }
    QWidget::changeEvent(event);
}

} // namespace orvane
