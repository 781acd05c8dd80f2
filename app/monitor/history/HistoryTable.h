#pragma once

#include "core/history/HistoryRows.h"
#include "views/lists/SkinTableModel.h"
#include "views/lists/SkinTableView.h"

#include <vector>

namespace orvane {

// The rows of one of the history page's tables.
class HistoryTableModel : public SkinTableModel {
    Q_OBJECT
public:
    explicit HistoryTableModel(HistoryTable table, QObject* parent = nullptr);

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    HistoryTable table() const { return m_table; }
    void setTable(HistoryTable table);
    void setRows(std::vector<HistoryRow> rows);
    const std::vector<HistoryRow>& rows() const { return m_rows; }

private:
    HistoryTable m_table;
    std::vector<HistoryRow> m_rows;
};

// A skinned list of the history page with a selected row (a click, the arrow keys) and a
// context menu request on a row.
class HistoryTableView : public SkinTableView {
    Q_OBJECT
public:
    explicit HistoryTableView(HistoryTable table, QWidget* parent = nullptr);

    HistoryTableModel* tableModel() const { return m_model; }
    // Shows table's columns (the main table lists programs or hosts).
    void showTable(HistoryTable table);
    int selectedRow() const override { return m_selected; }
    // Selects row (-1: none) without announcing it.
    void setSelectedRow(int row);

signals:
    void rowSelected(int row);
    // A double click or Enter on a row.
    void rowActivated(int row);
    void rowMenuRequested(int row, const QPoint& global);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void select(int row);

    HistoryTableModel* m_model;
    int m_selected = -1;
};

} // namespace orvane
