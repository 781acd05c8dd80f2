#pragma once

#include "shell/core/RefreshCycle.h"
#include "views/PlaceholderPane.h"

namespace orvane {

class TrafficModel;

// The list of one counter's remote addresses (kind 0 TCP, 1 UDP, 2 chat programs). For now
// it paints its background; it already keeps the item count of the refresh cycle and tells
// the cycle how many rows fit on a page.
class TrafficListPage : public PlaceholderPane {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 18;

    TrafficListPage(int kind, TrafficModel& model, QWidget* parent = nullptr);

    int kind() const { return m_kind; }
    ListShape shape() const;
    void setItemCount(int count);
    int itemCount() const { return m_itemCount; }
    // Repaints the rows on show; their values are read afresh from the model.
    void repaintRows();
    void setAutoRefresh(bool on);
    bool autoRefresh() const { return m_autoRefresh; }

private:
    int m_kind;
    TrafficModel& m_model;  // where the rows will come from
    int m_itemCount = 0;
    bool m_autoRefresh = true;
};

} // namespace orvane
