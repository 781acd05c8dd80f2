#pragma once

#include "views/PlaceholderPane.h"

namespace orvane {

// The banner at the bottom right and the online help (paints its background for now; the
// help is not available yet and says so).
class AdvertWindow : public PlaceholderPane {
    Q_OBJECT
public:
    explicit AdvertWindow(QWidget* parent = nullptr);

    // The window went to the tray (false) or came back (true).
    void setDisplayActive(bool active) { m_active = active; }
    bool displayActive() const { return m_active; }

public slots:
    void openOnlineHelp();

private:
    bool m_active = true;
};

} // namespace orvane
