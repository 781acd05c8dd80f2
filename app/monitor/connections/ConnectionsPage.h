#pragma once

#include "core/connections/ConnectionTable.h"
#include "views/lists/SkinTableModel.h"
#include "views/lists/SkinTableView.h"

class XEngine;

namespace orvane {

// The connection table's rows as a table model.
class ConnectionsModel : public SkinTableModel {
    Q_OBJECT
public:
    explicit ConnectionsModel(ConnectionTable& table, QObject* parent = nullptr);

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The table was rebuilt or re-sorted.
    void tableChanged();

private:
    ConnectionTable& m_table;
};

// The "网络连接" page: every TCP connection and UDP endpoint of the machine with its owner,
// state, start time and age, rebuilt each time the page is brought on show.
class ConnectionsPage : public SkinTableView {
    Q_OBJECT
public:
    static constexpr int kMinColumnWidth = 40;

    ConnectionsPage(XEngine& engine, CellSources sources, QWidget* parent = nullptr);

    // Re-reads the socket tables (the page was brought on show).
    void refresh();
    ConnectionTable& table() { return m_table; }
    ConnectionsModel* connectionsModel() const { return m_model; }
    int selectedRow() const override { return m_selectedRow; }

protected:
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    XEngine& m_engine;
    ConnectionTable m_table;
    ConnectionsModel* m_model;
    int m_selectedRow = -1;
};

} // namespace orvane
