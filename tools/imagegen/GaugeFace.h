#pragma once

#include <QImage>
#include <QString>

// Face of a dashboard gauge: a half dial at the bottom whose arc is drawn by the program in a
// 68 x 68 square centred 2 pixels above the bottom edge, and a dark readout window at the top
// where the seven-segment digits go (readoutX is where the first digit starts).
QImage drawGaugeFace(int width, int height, int readoutX, int readoutWidth, const QString& scaleLabel);

// The round cap drawn over a gauge's pivot.
QImage drawGaugeCap(int size);

// Icon of the ranking window: three bars.
QImage drawRankingIcon(int size);
