#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Exposition.h"

class MetricsServer;
struct Report;

// The metrics endpoint of one run: each sample's report goes in, the endpoint serves it.
// Owned by the thread that samples.
class MetricsPublisher {
public:
    MetricsPublisher();
    ~MetricsPublisher();
    MetricsPublisher(const MetricsPublisher&) = delete;
    MetricsPublisher& operator=(const MetricsPublisher&) = delete;

    // Listens on endpoint ("ADDR:PORT", see MetricsEndpoint.h), with remoteHosts remote hosts
    // given series of their own. False with the reason in error; also in a build without the
    // HTTP library.
    bool start(const std::string& endpoint, int remoteHosts, std::string& error);
    // Where it listens, for the log ("127.0.0.1:9813"); empty when not listening.
    std::string where() const;
    bool running() const;
    // The report of a sample, with this process's own figures, for every scrape that follows.
    void publish(const Report& report);
    // Closes the endpoint. Safe to call more than once.
    void stop();

private:
    std::unique_ptr<ExpositionBuilder> m_builder;
    std::unique_ptr<MetricsServer> m_server;
    std::string m_where;
};
