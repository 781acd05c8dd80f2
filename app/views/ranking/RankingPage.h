#pragma once

#include "views/ranking/Ranking.h"

#include <QWidget>

class XEngine;

namespace orvane {

class ProcessMonitorList;
class RankCategoryBar;
class RankingList;

// The "流量排名" page: the category column on the left, the top-ten list at the upper right
// and the process monitor below it.
class RankingPage : public QWidget {
    Q_OBJECT
public:
    static const QColor kGap;

    RankingPage(XEngine& engine, CellSources sources, QWidget* parent = nullptr);

    // The tab was chosen: recompute the ranking of the current category, show the process
    // monitor's rows.
    void showRanking();
    // The refresh tick, forwarded to the process monitor (rows rebuilt when onShow).
    void refresh(bool onShow);

    RankCategoryBar* categoryBar() const { return m_bar; }
    RankingList* rankingList() const { return m_list; }
    ProcessMonitorList* processList() const { return m_processes; }
    const Ranking& ranking() const { return m_ranking; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void rank(int category);

    XEngine& m_engine;
    Ranking m_ranking;
    RankCategoryBar* m_bar;
    RankingList* m_list;
    ProcessMonitorList* m_processes;
    int m_barWidth;
    int m_columnGap;
    int m_listGap;
};

} // namespace orvane
