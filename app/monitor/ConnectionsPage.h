#pragma once

#include "views/PlaceholderPane.h"

namespace orvane {

// The machine's TCP connections and UDP endpoints with their owners (paints its background
// for now).
class ConnectionsPage : public PlaceholderPane {
    Q_OBJECT
public:
    explicit ConnectionsPage(QWidget* parent = nullptr);

    // Re-reads the socket tables (when the page is brought on show).
    void refresh();
};

} // namespace orvane
