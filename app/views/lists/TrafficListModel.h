#pragma once

#include "core/lists/CellTexts.h"
#include "core/RowFilter.h"
#include "core/lists/TrafficRowCache.h"
#include "views/lists/SkinTableModel.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace orvane {

class TrafficModel;

// The rows of one traffic list (TCP, UDP or chat) as a table model over the TrafficModel: the row count of the last full refresh, row records fetched lazily
// by position (the visible rows from a 100-row cache, any other row on demand), cell texts,
// alignments, unit colours of the byte columns and the fill of active cells. Answers by
// position and by address. GUI thread only.
class TrafficListModel : public SkinTableModel {
    Q_OBJECT
public:
    using Tick = std::function<std::uint32_t()>;

    TrafficListModel(XTrafficKind kind, TrafficModel& model, Tick tick, CellSources sources, QObject* parent = nullptr);

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    XTrafficKind kind() const { return m_kind; }
    // Re-reads the counter's addresses (sorted by recency when sort) and shows them.
    int refresh(bool sort);
    // Shows count rows after the tick refreshed the TrafficModel's list of this kind.
    void setItemCount(int count);
    // Reloads rows first..last into the cache and signals the rows that need repainting
    // (active rows, rows that just stopped being active; every row when repaintAll).
    std::vector<int> refreshRows(int first, int last, bool repaintAll);

    // The find field's query (empty: every entry); the list holds the matching entries of the
    // last read from now on. Returns how many; the rows follow at setItemCount.
    int setFilterText(const QString& text);
    QString filterText() const { return QString::fromStdString(m_filter.query()); }
    // The entries of the last read, matching or not.
    int unfilteredCount() const;
    // Texts searched by the filter change with the language.
    void forgetFilterTexts() { m_filter.forget(); }

    std::uint32_t addressAt(int row) const;
    int rowOf(std::uint32_t address) const;
    bool isActive(int row) const;
    void setMarkActive(bool on);
    bool markActive() const { return m_markActive; }

    const TrafficRowCache& cache() const { return m_cache; }
    TrafficModel& trafficModel() const { return m_model; }

private:
    // Address, DNS name, location and program, one a line, as the cells show them.
    std::string searchedText(std::uint32_t address) const;
    bool fetch(int row, XTrafficRow& out) const;
    // The texts of a row that is not in the cache; one fetch serves all its cells.
    const TrafficRowCache::Entry* uncached(int row) const;
    // The display text of a cell of a row found in the cache or just fetched.
    const QString& displayText(const TrafficRowCache::Entry* entry, int column) const;
    using RowTexts = std::array<QString, kTrafficColumns>;
    static void convert(const TrafficRowCache::Entry& entry, RowTexts& out);

    XTrafficKind m_kind;
    TrafficModel& m_model;
    Tick m_tick;
    TrafficCellText m_texts;
    TrafficRowCache m_cache;
    RowFilter m_filter;
    bool m_markActive = true;
    mutable TrafficRowCache::Entry m_scratch;
    // The cached rows' texts as the view paints them, converted once per load.
    std::array<RowTexts, TrafficRowCache::kSize> m_cachedTexts;
    mutable RowTexts m_scratchTexts;
};

} // namespace orvane
