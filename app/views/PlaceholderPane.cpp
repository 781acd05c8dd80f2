#include "views/PlaceholderPane.h"

#include <QPainter>

namespace orvane {

PlaceholderPane::PlaceholderPane(QColor background, QWidget* parent) : QWidget(parent), m_background(background)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PlaceholderPane::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_background);
}

} // namespace orvane
