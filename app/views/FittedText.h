#pragma once

#include <QFont>
#include <QRect>
#include <QString>

#include <functional>

class QPainter;

namespace orvane {

// Draws a one-line readout inside its box, never cut by the box's edge: as it is when it
// fits, else in a smaller size of the painter's font (down to kSmallestPixels), else
// shortened with an ellipsis. GUI thread only.
void drawFittedText(QPainter& painter, const QRect& box, int flags, const QString& text);
// The same for a text of several lines, wrapped at word breaks (and at its own line breaks):
// as it is when its lines fit the box's height, else smaller, else cut after the last words
// that fit, with an ellipsis.
void drawFittedParagraph(QPainter& painter, const QRect& box, int flags, const QString& text);

inline constexpr int kSmallestFittedPixels = 8;

// What drawFittedText or drawFittedParagraph drew: the box, the text as shown, its size in
// the font used and where it lies on the device painted (a grabbed window's coordinates). For
// tests that check every readout of a pane against its box; empty function: none.
struct FittedTextRecord {
    QRect box;
    QString text;
    int width = 0;
    int height = 0;
    bool shortened = false;  // an ellipsis stands for part of it
    QRect onDevice;
};
void setFittedTextObserver(std::function<void(const FittedTextRecord&)> observer);

} // namespace orvane
