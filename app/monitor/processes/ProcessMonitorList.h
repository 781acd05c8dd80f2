#pragma once

#include "monitor/processes/ProcessMonitor.h"
#include "views/lists/SkinTableModel.h"
#include "views/lists/SkinTableView.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

class XEngine;

namespace orvane {

// The process monitor's rows in their sort order, as a table model.
class ProcessMonitorModel : public SkinTableModel {
    Q_OBJECT
public:
    explicit ProcessMonitorModel(QObject* parent = nullptr);

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Takes the monitor's records in its current order.
    void rebuild(const ProcessMonitor& monitor);
    // The program name of a row ("" past the end), and the row of a name (-1 when absent).
    std::string keyAt(int row) const;
    int rowOf(const std::string& key) const;

private:
    struct Row {
        std::string key;
        std::array<std::string, ProcessMonitor::kColumns> texts;
        std::array<double, ProcessMonitor::kColumns> values{};
    };
    std::vector<Row> m_rows;
};

// The process monitor list of the ranking page: one row per program with its network and
// disk speeds and totals. Updated on every tick, its rows rebuilt only while it is on show.
class ProcessMonitorList : public SkinTableView {
    Q_OBJECT
public:
    static constexpr int kMinColumnWidth = 40;

    explicit ProcessMonitorList(XEngine& engine, QWidget* parent = nullptr);

    // The refresh tick: the figures always, the rows when the page is on show.
    void refresh(bool onShow);
    void rebuildRows();

    ProcessMonitor& monitor() { return m_monitor; }
    const ProcessMonitor& monitor() const { return m_monitor; }
    ProcessMonitorModel* monitorModel() const { return m_model; }
    int selectedRow() const override;

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    XEngine& m_engine;
    ProcessMonitor m_monitor;
    ProcessMonitorModel* m_model;
    std::optional<std::string> m_selectedKey;  // the selected program's name
};

} // namespace orvane
