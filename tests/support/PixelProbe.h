#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

// Looking at what the window and its panes painted.

// Colour distance: the largest difference of one component.
int colourDistance(QColor a, QColor b);
::testing::AssertionResult colourNear(QColor actual, QColor expected, int tolerance = 0);

// The widget as it paints now, over magenta (which no pane paints).
QImage renderOf(QWidget& widget);

// Whether any pixel of a row segment (x0 to x1, exclusive) or of a box has the colour (text
// anti-aliasing aside).
bool rowHasColour(const QImage& image, int y, int x0, int x1, QColor colour, int tolerance = 30);
bool boxHasColour(const QImage& image, QRect box, QColor colour, int tolerance = 30);
// Pixels of box that are (nearly) colour: text drawn in that colour leaves some.
int countColour(const QImage& image, const QRect& box, const QColor& colour, int tolerance = 8);

// Whether box holds exactly text drawn with font, pen and flags over a plain background, as
// a widget paints a label: the pixels of box in image equal those of a fresh rendering.
bool showsText(const QImage& image, const QRect& box, const QFont& font, int flags, const QString& text,
               const QColor& pen, const QColor& background);

// Keeps a picture of a test for a person to look at, in the build's tests/shots folder.
void keepShot(const QImage& image, const QString& name);
