#pragma once

#include <QAbstractTableModel>

namespace orvane {

// Base of the skinned lists' models: a row count that changes by whole refreshes. A refresh
// announces the rows added or removed at the end and then every row as changed, so the view
// keeps its scroll position and repaints only what is on show.
class SkinTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;

protected:
    void showRows(int count);

private:
    int m_rows = 0;
};

} // namespace orvane
