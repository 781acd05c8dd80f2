#pragma once

#include "core/charts/ChartRing.h"
#include "core/charts/ChartScale.h"

#include <QColor>
#include <QFont>
#include <QString>

class QPainter;
class QPainterPath;

namespace orvane {

// A single speed curve over a four-band scale, drawn into the owner's painter: a frame with
// title, current value and labelled grid lines, and the newest samples as a translucent
// filled area. Not a widget: the owner pushes samples and draws it where it wants.
class CurveChart {
public:
    static constexpr int kHistory = 512;

    CurveChart();

    void setSize(int width, int height);  // ignored unless both are positive
    void setStep(int step);                // ignored unless positive
    void setColours(QColor background, QColor frame);
    void setTextColour(QColor colour) { m_text = colour; }
    void setTitle(const QString& title) { m_title = title; }
    // The caption of the current value (the UI text of chart_label at first).
    void setCurrentLabel(const QString& label) { m_currentLabel = label; }
    // Band index 0-3 (lowest first), its top threshold and its label.
    void setLevel(int index, int threshold, const QString& label);
    void setFrameHidden(bool hidden) { m_frameHidden = hidden; }

    void push(double value) { m_ring.push(value); }
    void clear() { m_ring.clear(); }

    // Draws with the top-left corner at (left, top).
    void draw(QPainter& painter, int left, int top);

    const ChartRing& ring() const { return m_ring; }
    const ChartScale& scale() const { return m_scale; }
    ChartGeometry geometry(int left, int top) const;
    int width() const { return m_width; }
    int height() const { return m_height; }

    static const QColor kFill;

private:
    void drawFrame(QPainter& painter, const ChartGeometry& g, double current);

    ChartRing m_ring{kHistory};
    ChartScale m_scale;
    QString m_labels[ChartScale::kLevels];
    QString m_title;
    QString m_currentLabel;
    int m_width = 200;
    int m_height = 80;
    int m_step = 2;
    int m_margin = 2;
    QColor m_background = Qt::black;
    QColor m_frame = Qt::white;
    QColor m_text = Qt::white;
    bool m_frameHidden = false;
    QFont m_labelFont;
    QFont m_titleFont;
    bool m_fontsMade = false;
};

// The closed filled path of a curve: from the baseline at the left margin up to the first
// point, through every point, down to the baseline and back.
QPainterPath curveArea(const std::vector<ChartPoint>& points, const ChartGeometry& g);

} // namespace orvane
