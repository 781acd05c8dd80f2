#pragma once

#include "core/TrafficTotals.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

namespace orvane {

class TickFeed;
struct TickSnapshot;

// The strip at the bottom of the main view with the running totals of all captured traffic:
// bytes and packets sent and received, and the number of TCP and UDP addresses, in two rows
// of three label and value cells laid out from the skin. While the find field filters a list,
// the address cell of that list reads "n of m" (the chat list's takes the TCP row's place).
class StatusBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRows = 2;
    static constexpr int kColumns = 3;

    explicit StatusBar(const TickFeed& ticks, QWidget* parent = nullptr);

    // Reads the colours, sizes, font and labels from the skin and the text table.
    void loadSkin();
    // Keeps the sums over the three counters and the TCP and UDP address counts.
    void updateTotals(const TrafficTotals& totals);
    // The list of kind shows shown of its total rows through a filter; clearFound: no list is
    // filtered.
    void showFound(XTrafficKind kind, int shown, int total);
    void clearFound();

    QRect labelRect(int row, int column) const;
    QRect valueRect(int row, int column) const;
    // The value texts of the last paint, row by row.
    const QString& paintedValue(int row, int column) const { return m_painted[row][column]; }

    double sentBytes() const { return m_sentBytes; }
    double recvBytes() const { return m_recvBytes; }
    double sentPackets() const { return m_sentPackets; }
    double recvPackets() const { return m_recvPackets; }

public slots:
    // Every tick: the new totals, painted while the window is on show.
    void showTick(const orvane::TickSnapshot& snapshot);

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QPoint origin() const;
    QString valueText(int row, int column) const;
    QString labelText(int row, int column) const;
    // The row whose address cell shows the filtered count, -1 when none.
    int foundRow() const;

    QColor m_background;
    QColor m_boxColor;
    QColor m_labelColor;
    QColor m_valueColor;
    QFont m_font;
    int m_rowHeight = 18;
    int m_labelWidth = 100;
    int m_valueWidth = 84;
    int m_labelGap = 4;
    int m_cellGap = 12;
    int m_rowGap = 4;
    int m_minLeft = 0;
    QString m_labels[kRows][kColumns];
    QString m_chatLabel;
    bool m_filtered = false;  // a list is filtered: its cell shows m_found of m_foundOf
    XTrafficKind m_foundKind = kTrafficTcp;
    int m_found = 0;
    int m_foundOf = 0;
    QString m_painted[kRows][kColumns];

    double m_sentBytes = 0;
    double m_recvBytes = 0;
    double m_sentPackets = 0;
    double m_recvPackets = 0;
    int m_tcpAddresses = 0;
    int m_udpAddresses = 0;
};

} // namespace orvane
