#pragma once

#include "core/ranking/Ranking.h"

#include <QWidget>

class XEngine;

namespace orvane {

class RankCategoryBar;
class RankingList;

// The "流量排名" page: the category column on the left, the top-ten list at the upper right
// and, below it, the pane it is given (the process monitor list).
class RankingPage : public QWidget {
    Q_OBJECT
public:
    static const QColor kGap;

    // lower: the pane under the ranking list; the page takes it as its child.
    RankingPage(XEngine& engine, CellSources sources, QWidget* lower, QWidget* parent = nullptr);

    // The tab was chosen: recompute the ranking of the current category and give the lower
    // pane the keyboard focus.
    void showRanking();

    RankCategoryBar* categoryBar() const { return m_bar; }
    RankingList* rankingList() const { return m_list; }
    QWidget* lowerPane() const { return m_lower; }
    const Ranking& ranking() const { return m_ranking; }

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void rank(int category);

    XEngine& m_engine;
    Ranking m_ranking;
    RankCategoryBar* m_bar;
    RankingList* m_list;
    QWidget* m_lower;
    int m_barWidth;
    int m_columnGap;
    int m_listGap;
};

} // namespace orvane
