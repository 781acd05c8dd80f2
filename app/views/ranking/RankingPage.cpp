#include "views/ranking/RankingPage.h"

#include "views/Skin.h"
#include "views/ranking/RankCategoryBar.h"
#include "views/ranking/RankingList.h"

#include <QPainter>
#include <QEvent>

namespace orvane {

const QColor RankingPage::kGap(0, 156, 12);

RankingPage::RankingPage(XEngine& engine, CellSources sources, QWidget* lower, QWidget* parent)
    : QWidget(parent), m_engine(engine), m_ranking(std::move(sources)), m_bar(new RankCategoryBar(this)),
      m_list(new RankingList(this)), m_lower(lower),
      m_barWidth(skin::value("sw_topntabwnd", 150)), m_columnGap(skin::value("sw_topntabwnddiv", 4)),
      m_listGap(skin::value("sh_topngrapdiv", 4))
{
    m_lower->setParent(this);
    connect(m_bar, &RankCategoryBar::categoryClicked, this, &RankingPage::rank);
}

void RankingPage::showRanking()
{
    rank(m_bar->currentCategory());
    m_lower->setFocus();
}

void RankingPage::rank(int category)
{
    m_ranking.compute(category, m_engine);
    m_list->setUpdatesEnabled(false);
    m_list->rankingModel()->setRows(m_ranking.rows());
    m_list->setUpdatesEnabled(true);
}

void RankingPage::resizeEvent(QResizeEvent*)
{
    const int x = m_barWidth + m_columnGap;
    const int listHeight = RankingList::kHeight;
    m_bar->setGeometry(0, 0, m_barWidth, height());
    m_list->setGeometry(x, 0, std::max(width() - x, 0), listHeight);
    m_lower->setGeometry(x, listHeight + m_listGap, std::max(width() - x, 0),
                             std::max(height() - listHeight - m_listGap, 0));
}

void RankingPage::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(QRect(m_barWidth, 0, m_columnGap, height()), kGap);
    const int x = m_barWidth + m_columnGap;
    p.fillRect(QRect(x, RankingList::kHeight, std::max(width() - x, 0), m_listGap), kGap);
}

void RankingPage::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        rank(m_bar->currentCategory());
    }
    QWidget::changeEvent(event);
}

} // namespace orvane
