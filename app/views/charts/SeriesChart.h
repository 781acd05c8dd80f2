#pragma once

#include "core/charts/ChartRing.h"
#include "core/charts/ChartScale.h"

#include <QColor>
#include <QFont>
#include <QString>

#include <vector>

class QPainter;

namespace orvane {

// A chart of several series, each with its own history, scale and labels, drawn one filled
// area at a time into the owner's painter (the summary graphs lay three panels of two
// series each).
class SeriesChart {
public:
    static constexpr int kHistory = 1024;
    static constexpr int kLabelChars = 63;

    struct Stats {
        long long samples = 0;
        double minimum = 0;  // starts at 0, so it only moves below 0
        double maximum = 0;  // likewise starts at 0
        double sum = 0;
    };

    SeriesChart() = default;

    void setOrigin(int left, int top);
    void setSize(int width, int height);  // ignored unless both are positive
    void setStep(int step);                // ignored unless positive
    void setColours(QColor background, QColor frame);
    void setTextColour(QColor colour) { m_text = colour; }
    void setTitle(const QString& title) { m_title = title; }
    void setShowTitle(bool show) { m_showTitle = show; }

    // Returns the new series' index.
    int addSeries();
    int seriesCount() const { return int(m_series.size()); }
    void push(int series, double value);
    // Threshold and label of a band (0-3, lowest first); a null label clears it. Ignored for
    // a series or band that does not exist.
    void setLevel(int series, int band, unsigned threshold, const QString& label);
    const Stats& stats(int series) const;
    const ChartRing& ring(int series) const;
    ChartGeometry geometry() const;

    void drawSeries(QPainter& painter, int series, QColor fill, bool withFrame);
    void drawFrame(QPainter& painter, int series);
    // One 16-pixel text line at the top of a band row (0 = the top band), from xOffset to the
    // chart's right edge, or width pixels wide when width is positive.
    void drawLabel(QPainter& painter, int bandRow, int xOffset, const QString& text, QColor colour,
                   Qt::Alignment alignment, int width = 0);
    // The font drawLabel draws with.
    const QFont& labelFont();

private:
    struct Series {
        ChartRing ring{kHistory};
        ChartScale scale;
        QString labels[ChartScale::kLevels];
        Stats stats;
    };
    bool valid(int series) const { return series >= 0 && series < seriesCount(); }
    void makeFonts();

    std::vector<Series> m_series;
    int m_left = 0;
    int m_top = 0;
    int m_width = 200;
    int m_height = 80;
    int m_step = 2;
    int m_margin = 2;
    QColor m_background = Qt::black;
    QColor m_frame = Qt::white;
    QColor m_text = QColor(200, 200, 200);
    QString m_title;
    bool m_showTitle = false;
    QFont m_labelFont;
    QFont m_titleFont;
    bool m_fontsMade = false;
};

} // namespace orvane
