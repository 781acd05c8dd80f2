#pragma once

#include "core/tick/TickSnapshot.h"

#include <QObject>

namespace orvane {

// Where the panes get each tick's snapshot: every pane that shows tick figures connects its
// own slot to published() when it is made, and paints from what it receives. The shell's
// publisher is the one that emits; tests emit snapshots of their own.
class TickFeed : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void published(const orvane::TickSnapshot& snapshot);
};

} // namespace orvane
