#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "Exposition.h"
#include "MetricsEndpoint.h"

struct MHD_Daemon;
struct MHD_Connection;

// The metrics endpoint: an HTTP server (libmicrohttpd, on a thread of its own) that answers
// GET /metrics with the latest published exposition, in OpenMetrics when the scraper asks for
// it, else in the Prometheus text format. Every other path is 404, every other method 405.
// Requests are bounded in size, connections in number and idle time; no request reaches a
// file. start() and stop() belong to one thread; publish() may come from any thread.
class MetricsServer {
public:
    struct Limits {
        unsigned connections = 32;       // at once; more are closed as they come
        unsigned perAddress = 8;         // at once from one client address
        unsigned idleSeconds = 10;       // a connection that sends nothing for this long is closed
        size_t requestBytes = 16 * 1024; // request line and headers; a longer request is refused
    };

    MetricsServer() = default;
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // Listens; false with the reason in error (an address this host does not have, a port in
    // use). Until the first publish() a scrape gets 503.
    bool start(const MetricsEndpoint& endpoint, std::string& error, const Limits& limits);
    bool start(const MetricsEndpoint& endpoint, std::string& error) { return start(endpoint, error, Limits()); }
    // Closes every connection and joins the server's thread. Safe to call more than once.
    void stop();
    // The port listened on (the one chosen when port 0 was asked for); 0 when not listening.
    uint16_t port() const { return m_port; }

    // What the following scrapes show; the renderings are made on the first scrape that
    // wants each format and kept until the next publish.
    void publish(std::shared_ptr<const Exposition> exposition);

    // The server thread's handler of one request (public for the C callback only).
    int answer(MHD_Connection* connection, const char* url, const char* method);

private:
    // The body of the current exposition in a format; null before the first publish.
    std::shared_ptr<const std::string> body(ExpositionFormat format);

    MHD_Daemon* m_daemon = nullptr;
    uint16_t m_port = 0;
    std::mutex m_mutex;  // guards what follows
    std::shared_ptr<const Exposition> m_exposition;
    std::shared_ptr<const std::string> m_bodies[2];
};
