#pragma once

#include "core/tick/TickSampler.h"
#include "core/ViewState.h"
#include "views/TickFeed.h"

#include <QTimer>

#include <functional>

class XEngine;

namespace orvane {

class TrafficModel;

// The window's clock: once a second it has the sampler measure the tick, for the view as it
// stands then, and publishes the snapshot to every pane that connected to it.
class TickPublisher : public TickFeed {
    Q_OBJECT
public:
    static constexpr int kPeriodMs = 1000;
    using ViewSource = std::function<ViewState()>;

    // view: asked at every tick how the window stands.
    TickPublisher(XEngine& engine, TrafficModel& model, ViewSource view, QObject* parent = nullptr);

    // Starts the timer (the first tick comes a period later).
    void start();
    bool running() const { return m_timer.isActive(); }
    std::uint32_t ticks() const { return m_sampler.ticks(); }

public slots:
    // One tick now: measure, publish.
    void tick();

private:
    XEngine& m_engine;
    TickSampler m_sampler;
    ViewSource m_view;
    QTimer m_timer;
};

} // namespace orvane
