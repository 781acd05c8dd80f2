#include "views/lists/SkinScrollBars.h"

#include "views/Skin.h"

#include <QAbstractScrollArea>
#include <QScrollBar>
#include <QString>

namespace orvane::skinscroll {

namespace {
constexpr int kThickness = 12;    // pixels across
constexpr int kShortestHandle = 24;
} // namespace

QString styleSheet()
{
    const QString groove = skin::color("cbk_statusbaritem", QColor(20, 28, 25)).name();
    const QString handle = skin::color("c_frmborderc", QColor(0, 98, 8)).name();
    const QString lit = skin::color("c_frmborder", QColor(0, 156, 12)).name();
    const QString edge = skin::color("cbk_orvaneview", QColor(39, 54, 49)).name();
    return QStringLiteral("QScrollBar { background: %1; border: none; margin: 0; }"
                          "QScrollBar:vertical { width: %5px; }"
                          "QScrollBar:horizontal { height: %5px; }"
                          "QScrollBar::handle { background: %2; border: 1px solid %4; }"
                          "QScrollBar::handle:vertical { min-height: %6px; }"
                          "QScrollBar::handle:horizontal { min-width: %6px; }"
                          "QScrollBar::handle:hover, QScrollBar::handle:pressed { background: %3; }"
                          "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; background: none; }"
                          "QScrollBar::add-page, QScrollBar::sub-page { background: none; }")
        .arg(groove, handle, lit, edge)
        .arg(kThickness)
        .arg(kShortestHandle);
}

void apply(QAbstractScrollArea& area)
{
    const QString sheet = styleSheet();
    area.verticalScrollBar()->setStyleSheet(sheet);
    area.horizontalScrollBar()->setStyleSheet(sheet);
}

} // namespace orvane::skinscroll
