#include "views/RankingPage.h"

namespace orvane {

RankingPage::RankingPage(QWidget* parent) : PlaceholderPane(QColor(24, 33, 30), parent) {}

void RankingPage::refresh(bool onShow)
{
    ++m_refreshes;
    if (onShow)
        update();
}

} // namespace orvane
