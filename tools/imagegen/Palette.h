#pragma once

#include <QColor>

// The dark green palette the views paint with.
namespace palette {
inline const QColor background(39, 54, 49);
inline const QColor rowEven(32, 44, 40);
inline const QColor panel(24, 33, 30);
inline const QColor green(0, 156, 12);
inline const QColor greenLight(158, 207, 163);
inline const QColor selected(0, 146, 63);
inline const QColor text(230, 230, 216);
inline const QColor dim(120, 140, 130);
inline const QColor orange(184, 97, 18);
inline const QColor red(234, 9, 5);
inline const QColor titleBar(95, 96, 96);
} // namespace palette
