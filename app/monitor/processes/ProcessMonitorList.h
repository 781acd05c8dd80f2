#pragma once

#include "core/processes/ProgramColumns.h"
#include "core/processes/ProgramRecord.h"
#include "views/lists/SkinTableModel.h"
#include "views/lists/SkinTableView.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

class TickFeed;
struct TickSnapshot;

// The process monitor's rows in their sort order, as a table model.
class ProcessMonitorModel : public SkinTableModel {
    Q_OBJECT
public:
    explicit ProcessMonitorModel(QObject* parent = nullptr);

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Takes these records in this order.
    void rebuild(const std::vector<const ProgramRecord*>& records);
    // The program name of a row ("" past the end), and the row of a name (-1 when absent).
    std::string keyAt(int row) const;
    int rowOf(const std::string& key) const;

private:
    struct Row {
        std::string key;
        std::array<ColoredText, kProgramColumns> cells;
        std::array<double, kProgramColumns> values{};
    };
    std::vector<Row> m_rows;
};

// The process monitor list of the ranking page: one row per program with its network and
// disk speeds and totals, from each tick's measurement. Its rows are rebuilt on every tick
// while the ranking page is on show, and whenever the list comes on show.
class ProcessMonitorList : public SkinTableView {
    Q_OBJECT
public:
    static constexpr int kMinColumnWidth = 40;

    explicit ProcessMonitorList(const TickFeed& ticks, QWidget* parent = nullptr);

    // The rows of the last tick's programs, in the list's order.
    void rebuildRows();

    const ProgramOrder& order() const { return m_order; }
    ProcessMonitorModel* monitorModel() const { return m_model; }
    int selectedRow() const override;

public slots:
    void showTick(const orvane::TickSnapshot& snapshot);

protected:
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    ProgramOrder m_order;
    ProcessMonitorModel* m_model;
    std::shared_ptr<const std::vector<ProgramRecord>> m_programs;
    std::optional<std::string> m_selectedKey;  // the selected program's name
};

} // namespace orvane
