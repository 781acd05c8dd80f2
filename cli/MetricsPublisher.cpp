#include "MetricsPublisher.h"

#include "MetricsEndpoint.h"
#include "Report.h"
#include "platform/SelfUsage.h"
#ifdef LUMIVEX_HAVE_METRICS
#include "MetricsServer.h"
#endif

#ifndef LUMIVEX_HAVE_METRICS
// Only its name is needed where there is no server to hold.
class MetricsServer {};
#endif

MetricsPublisher::MetricsPublisher() = default;

MetricsPublisher::~MetricsPublisher()
{
    stop();
}

bool MetricsPublisher::start(const std::string& text, int remoteHosts, std::string& error)
{
    MetricsEndpoint endpoint;
    if (!parseMetricsEndpoint(text, endpoint, error))
        return false;
#ifdef LUMIVEX_HAVE_METRICS
    auto server = std::make_unique<MetricsServer>();
    if (!server->start(endpoint, error))
        return false;
    ExpositionBuilder::Limits limits;
    limits.remoteHosts = size_t(remoteHosts > 0 ? remoteHosts : 1);
    m_builder = std::make_unique<ExpositionBuilder>(limits);
    m_where = (endpoint.ipv6 ? "[" + endpoint.address + "]" : endpoint.address) + ":" + std::to_string(server->port());
    m_server = std::move(server);
    return true;
#else
    (void)remoteHosts;
    error = "this build of lumivex has no metrics endpoint (it was built without libmicrohttpd)";
    return false;
#endif
}

std::string MetricsPublisher::where() const
{
    return m_where;
}

bool MetricsPublisher::running() const
{
    return m_server != nullptr;
}

void MetricsPublisher::publish(const Report& report)
{
#ifdef LUMIVEX_HAVE_METRICS
    if (!m_server)
        return;
    platform::SelfUsage self;
    const bool haveSelf = platform::readSelfUsage(self) || self.cpuSeconds > 0;
    m_server->publish(std::make_shared<const Exposition>(m_builder->build(report, haveSelf ? &self : nullptr)));
#else
    (void)report;
#endif
}

void MetricsPublisher::stop()
{
#ifdef LUMIVEX_HAVE_METRICS
    if (m_server)
        m_server->stop();
#endif
    m_server.reset();
    m_where.clear();
}
