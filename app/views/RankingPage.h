#pragma once

#include "views/PlaceholderPane.h"

namespace orvane {

// The ranking of the busiest remote addresses (paints its background for now).
class RankingPage : public PlaceholderPane {
    Q_OBJECT
public:
    explicit RankingPage(QWidget* parent = nullptr);

    // Once a tick; onShow when the page is on show in a visible window.
    void refresh(bool onShow);
    int refreshes() const { return m_refreshes; }

private:
    int m_refreshes = 0;
};

} // namespace orvane
