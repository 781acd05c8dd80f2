#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>

// Looking at what a widget painted.
namespace paintprobe {

// The widget painted into an image of its size.
QImage render(QWidget& widget);

// Pixels of box that are (nearly) colour: text drawn in that colour leaves some.
int countColour(const QImage& image, const QRect& box, const QColor& colour, int tolerance = 8);

// Whether box holds exactly text drawn with font, pen and flags over a plain background, as
// a widget paints a label: the pixels of box in image equal those of a fresh rendering.
bool showsText(const QImage& image, const QRect& box, const QFont& font, int flags, const QString& text,
               const QColor& pen, const QColor& background);

// Saves the image under the test output folder (ctest's working folder) for a look.
void save(const QImage& image, const QString& name);

} // namespace paintprobe
