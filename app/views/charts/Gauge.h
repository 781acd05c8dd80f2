#pragma once

#include <QImage>
#include <QPoint>
#include <QString>

class QPainter;

namespace orvane {

// A dial: a background image, a needle (or an arc) at an angle, and a seven-segment readout
// of a value. Not a widget: the owner draws it where it wants.
class Gauge {
public:
    static constexpr int kNeedle = 1;

    // Images are read once; a missing file leaves the gauge without that image (size 0).
    bool setBackground(const QString& file);
    bool setCap(const QString& file);
    void setBackground(const QImage& image) { m_background = image; }
    // mode 1 needle, other values an arc; length (needle length, or the arc's pen width)
    // changes only when it is 0 or more.
    void setStyle(int mode, int length);
    // 0 right of the dial, 1 at its left edge, 2 centred under it, 3 at the offset; negative
    // hides the readout.
    void setReadoutPlacement(int placement) { m_placement = placement; }
    void setReadoutOffset(int x, int y) { m_offset = QPoint(x, y); }
    void setShowDecimal(bool show) { m_showDecimal = show; }

    // angle in degrees: 0 points left, 90 up, 180 right.
    void draw(QPainter& painter, int x, int y, double angleDegrees, double value);
    int width() const { return m_background.width(); }
    int height() const { return m_background.height(); }

    // The needle's pivot and tip for a gauge drawn at (x, y).
    QPointF pivot(int x, int y) const;
    QPointF tip(int x, int y, double angleDegrees) const;
    // Where the readout's first digit goes for a gauge drawn at (x, y).
    QPoint readoutOrigin(int x, int y) const;

    static constexpr int kDigitPitch = 12;

private:
    void drawNeedle(QPainter& painter, int x, int y, double angleDegrees);
    void drawArc(QPainter& painter, int x, int y, double angleDegrees);
    void drawReadout(QPainter& painter, int x, int y, double value);

    QImage m_background;
    QImage m_cap;
    int m_mode = kNeedle;
    int m_length = 40;
    int m_placement = 0;
    QPoint m_offset;
    bool m_showDecimal = true;
};

// One seven-segment digit in a 13 x 21 cell at (x, y).
void drawSevenSegmentDigit(QPainter& painter, int x, int y, int digit, const QColor& colour);

} // namespace orvane
