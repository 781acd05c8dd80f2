#pragma once

#include "core/ValueFormat.h"
#include "core/lists/ListColumn.h"

#include <QColor>
#include <Qt>

namespace orvane {

// Item roles the skinned lists' models answer beside the display text, alignment and text
// colour (Qt::ForegroundRole).
enum ListRole {
    CellFillRole = Qt::UserRole + 1,  // QColor: the cell is filled in it (inset one pixel at top and bottom)
    AddressRole,                      // the row's remote address (host order), traffic lists
    RawValueRole,                     // the number a column sorts by
};

inline QColor toQColor(Rgb c)
{
    return QColor(c.r, c.g, c.b);
}

inline Qt::Alignment toQtAlignment(CellAlign align)
{
    switch (align) {
    case CellAlign::Centre: return Qt::AlignHCenter | Qt::AlignVCenter;
    case CellAlign::Right: return Qt::AlignRight | Qt::AlignVCenter;
    case CellAlign::Left: break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

} // namespace orvane
