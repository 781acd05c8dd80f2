#pragma once

#include "core/MachineFigures.h"

#include <QFont>
#include <QWidget>

namespace orvane {

class TickFeed;
struct TickSnapshot;

// Two lines above the tabs naming the program that reads and writes the disk most and the
// one that uses the network most just now, with their speeds.
class BusiestProgramPane : public QWidget {
    Q_OBJECT
public:
    explicit BusiestProgramPane(const TickFeed& ticks, QWidget* parent = nullptr);

    // The rectangles of line 0 (disk) or 1 (network): caption, name and speed.
    struct LineBoxes {
        QRect caption, name, speed;
    };
    LineBoxes lineBoxes(int line) const;
    const QFont& textFont() const { return m_font; }

    // The busiest programs of the last tick: disk, then network.
    const BusiestProgram& busiest(int line) const { return m_busiest[line]; }

public slots:
    // Every tick: the busiest programs, repainted.
    void showTick(const orvane::TickSnapshot& snapshot);

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void loadTexts();
    BusiestProgram m_busiest[2];
    QFont m_font;
    QString m_captions[2];
};

} // namespace orvane
