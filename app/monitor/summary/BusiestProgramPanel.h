#pragma once

#include "monitor/summary/SystemFigures.h"

#include <QFont>
#include <QWidget>

namespace orvane {

// Two lines above the tabs naming the program that reads and writes the disk most and the
// one that uses the network most just now, with their speeds.
class BusiestProgramPanel : public QWidget {
    Q_OBJECT
public:
    // The panel reads figures at every paint; they must outlive it.
    explicit BusiestProgramPanel(const SystemFigures& figures, QWidget* parent = nullptr);

    // The rectangles of line 0 (disk) or 1 (network): caption, name and speed.
    struct LineBoxes {
        QRect caption, name, speed;
    };
    LineBoxes lineBoxes(int line) const;
    const QFont& textFont() const { return m_font; }

public slots:
    // Once a tick: repaint with the latest figures.
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const SystemFigures& m_figures;
    QFont m_font;
    QString m_captions[2];
};

} // namespace orvane
