#pragma once

#include "views/lists/SkinTableModel.h"
#include "views/lists/SkinTableView.h"
#include "core/ranking/Ranking.h"

namespace orvane {

// The ten rows of the ranking as a table model.
class RankingModel : public SkinTableModel {
    Q_OBJECT
public:
    explicit RankingModel(QObject* parent = nullptr);

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void setRows(const std::array<Ranking::Row, Ranking::kRows>& rows);

private:
    std::array<Ranking::Row, Ranking::kRows> m_rows;
};

// The top-ten list of the ranking page: ten fixed rows, no selection.
class RankingList : public SkinTableView {
    Q_OBJECT
public:
    static constexpr int kHeight = kRowHeight * 11 + 8;

    explicit RankingList(QWidget* parent = nullptr);
    RankingModel* rankingModel() const { return m_model; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    RankingModel* m_model;
};

} // namespace orvane
