#include "monitor/dashboard/DashboardPage.h"

#include "config/ConfigStore.h"
#include "core/tick/TickSnapshot.h"
#include "core/dashboard/DashboardLayout.h"
#include "views/FittedText.h"
#include "views/Skin.h"
#include "views/TickFeed.h"

#include <QPainter>
#include <QEvent>

namespace orvane {

namespace {

using lumivex::config::ConfigStore;

struct DashboardChart {
    const char* titleKey;
    bool packets;
};

constexpr DashboardChart kCharts[kDashboardRates] = {
    {"mon_tcpb", false},  {"mon_tcpsend", false}, {"mon_tcprcv", false},
    {"mon_udpb", false},  {"mon_udpsend", false}, {"mon_udprcv", false},
    {"mon_ptotal", true}, {"mon_psend", true},    {"mon_prcv", true},
};

const char* const kByteLabels[4] = {"50K", "500K", "1M", "10M"};
const char* const kPacketLabels[4] = {"50", "500", "1K", "5K"};
const QColor kTitleText(250, 250, 250);
constexpr int kTitleBand = 35;  // room under each dial of the gauge grid

QString dataFile(const char* name)
{
    return QString::fromStdString(ConfigStore::instance().dataDir()) + QString::fromLatin1(name);
}

} // namespace

DashboardPage::DashboardPage(const TickFeed& ticks, QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setObjectName(QStringLiteral("dashboardPage"));
    m_background = skin::color("cbk_monitorwnd");
    m_titleFont = skin::font("f_statusbar", 15);

    // The dial images lie in the data folder, wherever the program was started from.
    for (Gauge& gauge : m_gauges) {
        gauge.setCap(dataFile("dashcover.dat"));
        gauge.setStyle(2, 20);
        gauge.setReadoutPlacement(3);
    }
    m_gauges[0].setBackground(dataFile("dashbk.dat"));
    m_gauges[0].setReadoutOffset(39, 4);
    m_gauges[1].setBackground(dataFile("dashbk1.dat"));
    m_gauges[1].setReadoutOffset(50, 4);
    m_gauges[1].setShowDecimal(false);

    for (int i = 0; i < kDashboardRates; ++i) {
        CurveChart& chart = m_charts[std::size_t(i)];
        const bool packets = kCharts[i].packets;
        const RateScale& scale = packets ? kPacketRateScale : kByteRateScale;
        for (int band = 0; band < 4; ++band)
            chart.setLevel(band, int(scale[std::size_t(band)]),
                           QString::fromLatin1(packets ? kPacketLabels[band] : kByteLabels[band]));
        chart.setColours(QColor(15, 90, 54), QColor(31, 177, 107));
        chart.setTextColour(packets ? QColor(192, 120, 20) : QColor(31, 177, 107));
    }
    loadTexts();
    connect(&ticks, &TickFeed::published, this, &DashboardPage::showTick);
}

void DashboardPage::showTick(const TickSnapshot& snapshot)
{
    if (snapshot.ratesFresh) {
        m_rates = snapshot.rates;
        for (int i = 0; i < kDashboardRates; ++i)
            m_charts[std::size_t(i)].push(m_rates[std::size_t(i)]);
    }
    if (snapshot.view.onShow(Page::Dashboard))
        update();
}

void DashboardPage::setMode(int mode)
{
    if (mode == m_mode)
        return;
    m_mode = mode;
    update();
}

QRect DashboardPage::cellRect(int index) const
{
    const CellRect cell = m_mode == Curves ? curveCell(index, width(), height())
                                           : gaugeCell(index, m_gauges[0].width(), m_gauges[0].height());
    return QRect(cell.x, cell.y, cell.width, cell.height);
}

void DashboardPage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_background);
    if (m_mode == Curves)
        paintCurves(painter);
    else
        paintGauges(painter);
}

void DashboardPage::paintCurves(QPainter& painter)
{
    for (int i = 0; i < kDashboardRates; ++i) {
        const QRect cell = cellRect(i);
        CurveChart& chart = m_charts[std::size_t(i)];
        chart.setSize(cell.width(), cell.height());
        chart.draw(painter, cell.x(), cell.y());
    }
}

void DashboardPage::paintGauges(QPainter& painter)
{
    for (int i = 0; i < kDashboardRates; ++i) {
        const bool packets = kCharts[i].packets;
        Gauge& gauge = m_gauges[packets ? 1 : 0];
        const QRect cell = cellRect(i);
        if (gauge.width() <= 0 || cell.width() <= 0)
            continue;  // a dial whose image is missing
        const double value = m_rates[std::size_t(i)];
        gauge.draw(painter, cell.x(), cell.y(), gaugeSweep(value, packets ? kPacketRateScale : kByteRateScale), value);
        // One line under the dial, as wide as the dial, smaller where it needs to be.
        const QRect title(cell.x(), cell.bottom() + 1, cell.width(), kTitleBand);
        painter.setFont(m_titleFont);
        painter.setPen(kTitleText);
        drawFittedText(painter, title, Qt::AlignHCenter | Qt::AlignTop, m_titles[std::size_t(i)]);
    }
}

void DashboardPage::loadTexts()
{
    for (int i = 0; i < kDashboardRates; ++i) {
        m_titles[std::size_t(i)] = skin::text(kCharts[i].titleKey);
        m_charts[std::size_t(i)].setTitle(m_titles[std::size_t(i)]);
        m_charts[std::size_t(i)].setCurrentLabel(skin::text("chart_label"));
    }
}

void DashboardPage::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        loadTexts();
        update();
    }
    QWidget::changeEvent(event);
}

} // namespace orvane
