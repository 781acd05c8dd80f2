#include "views/DetailPanel.h"

namespace orvane {

DetailPanel::DetailPanel(QWidget* parent) : PlaceholderPane(QColor(32, 44, 40), parent) {}

void DetailPanel::follow(int listKind, long long argument)
{
    m_listKind = listKind;
    m_argument = argument;
    update();
}

void DetailPanel::feed(std::uint32_t) {}

} // namespace orvane
