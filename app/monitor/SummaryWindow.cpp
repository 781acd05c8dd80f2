#include "monitor/SummaryWindow.h"

#include "views/Skin.h"

namespace orvane {

SummaryWindow::SummaryWindow(QWidget* parent) : PlaceholderPane(skin::color("cbk_advertwnd", QColor(32, 44, 40)), parent) {}

void SummaryWindow::refresh() {}

} // namespace orvane
