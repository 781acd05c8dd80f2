#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

#include <algorithm>
#include <cstdlib>

// Pixel checks of the views' GUI tests.
inline int colourDistance(QColor a, QColor b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

inline QColor pixelAt(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y);
}

// The widget as it paints now.
inline QImage renderOf(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    widget.render(&image);
    return image;
}

// Keeps a picture of a test for a person to look at (in the test's build folder).
inline void keepShot(const QImage& image, const QString& name)
{
    image.save(QStringLiteral(LUMIVEX_SHOT_DIR "/") + name + ".png");
}

// Whether any pixel of a row segment has the colour (text anti-aliasing aside).
inline bool rowHasColour(const QImage& image, int y, int x0, int x1, QColor colour, int tolerance = 30)
{
    for (int x = std::max(x0, 0); x < std::min(x1, image.width()); ++x)
        if (colourDistance(image.pixelColor(x, y), colour) <= tolerance)
            return true;
    return false;
}

// Whether any pixel of a box has the colour.
inline bool boxHasColour(const QImage& image, QRect box, QColor colour, int tolerance = 30)
{
    for (int y = std::max(box.top(), 0); y <= std::min(box.bottom(), image.height() - 1); ++y)
        if (rowHasColour(image, y, box.left(), box.right() + 1, colour, tolerance))
            return true;
    return false;
}
