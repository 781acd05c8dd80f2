#pragma once

class QAbstractScrollArea;
class QString;

namespace orvane {

// The scroll bars of the skinned lists in the window's colours instead of the platform's
// light default: a dark groove, a handle in the frame's green that lights up under the
// pointer, no arrow buttons. GUI thread only.
namespace skinscroll {

// The style sheet of one scroll bar, from the skin's colours (built-in ones where the skin
// has none).
QString styleSheet();
// Gives both scroll bars of area that style.
void apply(QAbstractScrollArea& area);

} // namespace skinscroll
} // namespace orvane
