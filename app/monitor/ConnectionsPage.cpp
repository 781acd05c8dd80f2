#include "monitor/ConnectionsPage.h"

namespace orvane {

ConnectionsPage::ConnectionsPage(QWidget* parent) : PlaceholderPane(QColor(24, 33, 30), parent) {}

void ConnectionsPage::refresh()
{
    update();
}

} // namespace orvane
