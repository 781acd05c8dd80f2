#include "shell/TickPublisher.h"

#include "capengine/XEngine.h"

namespace orvane {

TickPublisher::TickPublisher(XEngine& engine, TrafficModel& model, ViewSource view, QObject* parent)
    : TickFeed(parent), m_engine(engine), m_sampler(engine, model), m_view(std::move(view))
{
    m_timer.setInterval(kPeriodMs);
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TickPublisher::tick);
}

void TickPublisher::start()
{
    m_timer.start();
}

void TickPublisher::tick()
{
    const TickSnapshot snapshot = m_sampler.sample(m_engine.tick(), m_view ? m_view() : ViewState{});
    emit published(snapshot);
}

} // namespace orvane
