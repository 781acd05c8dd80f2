#include "MetricsServer.h"

#include <microhttpd.h>

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#endif

#include <cstring>
#include <utility>

namespace {

enum MHD_Result handleRequest(void* cls, MHD_Connection* connection, const char* url, const char* method,
                              const char*, const char*, size_t* uploadSize, void** state)
{
    // The first call comes with the headers. A GET without a body is answered at the next
    // one, once the request is complete, which keeps the connection for the next scrape.
    // Anything else is answered at once: the rest of the request is then discarded with
    // its connection.
    static int headersSeen;
    const bool plainGet = std::strcmp(method, MHD_HTTP_METHOD_GET) == 0 &&
                          !MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH) &&
                          !MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING);
    if (plainGet && *state == nullptr) {
        *state = &headersSeen;
        return MHD_YES;
    }
    if (plainGet && *uploadSize != 0)
        return MHD_NO;  // a body after all: end the connection
    return static_cast<MetricsServer*>(cls)->answer(connection, url, method) ? MHD_YES : MHD_NO;
}

// A short fixed answer: 404, 405, 503.
bool answerText(MHD_Connection* connection, unsigned status, const char* text, const char* allow = nullptr)
{
    MHD_Response* response =
        MHD_create_response_from_buffer(std::strlen(text), const_cast<char*>(text), MHD_RESPMEM_PERSISTENT);
    if (!response)
        return false;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain; charset=utf-8");
    if (allow)
        MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, allow);
    const bool queued = MHD_queue_response(connection, status, response) == MHD_YES;
    MHD_destroy_response(response);
    return queued;
}

} // namespace

MetricsServer::~MetricsServer()
{
    stop();
}

bool MetricsServer::start(const MetricsEndpoint& endpoint, std::string& error, const Limits& limits)
{
    if (m_daemon) {
        error = "already listening";
        return false;
    }
    const std::string where = (endpoint.ipv6 ? "[" + endpoint.address + "]" : endpoint.address) + ":" +
                              std::to_string(endpoint.port);
    sockaddr_in v4{};
    sockaddr_in6 v6{};
    const sockaddr* address = nullptr;
    unsigned flags = MHD_USE_AUTO_INTERNAL_THREAD;
    if (!endpoint.ipv6 && inet_pton(AF_INET, endpoint.address.c_str(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(endpoint.port);
        address = reinterpret_cast<const sockaddr*>(&v4);
    } else if (endpoint.ipv6 && inet_pton(AF_INET6, endpoint.address.c_str(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(endpoint.port);
        address = reinterpret_cast<const sockaddr*>(&v6);
        // The any-address of IPv6 takes IPv4 clients as well.
        flags |= std::memcmp(&v6.sin6_addr, &in6addr_any, sizeof v6.sin6_addr) == 0 ? MHD_USE_DUAL_STACK : MHD_USE_IPv6;
    } else {
        error = "cannot serve metrics on " + where + ": not an " + (endpoint.ipv6 ? "IPv6" : "IPv4") + " address";
        return false;
    }
    // No error log: refused connections and requests come at a client's pace and would
    // flood the log. No option lets a request reach a file.
    m_daemon = MHD_start_daemon(flags, endpoint.port, nullptr, nullptr, &handleRequest, this,
                                MHD_OPTION_SOCK_ADDR, address,
                                MHD_OPTION_CONNECTION_LIMIT, limits.connections,
                                MHD_OPTION_PER_IP_CONNECTION_LIMIT, limits.perAddress,
                                MHD_OPTION_CONNECTION_TIMEOUT, limits.idleSeconds,
                                MHD_OPTION_CONNECTION_MEMORY_LIMIT, limits.requestBytes,
                                MHD_OPTION_STRICT_FOR_CLIENT, 1,
                                MHD_OPTION_END);
    if (!m_daemon) {
        error = "cannot serve metrics on " + where + ": " + std::strerror(errno);
        return false;
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT);
    m_port = info ? info->port : endpoint.port;
    return true;
}

void MetricsServer::stop()
{
    if (m_daemon) {
        MHD_stop_daemon(m_daemon);
        m_daemon = nullptr;
    }
    m_port = 0;
}

void MetricsServer::publish(std::shared_ptr<const Exposition> exposition)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    m_exposition = std::move(exposition);
    m_bodies[0].reset();
    m_bodies[1].reset();
}

std::shared_ptr<const std::string> MetricsServer::body(ExpositionFormat format)
{
    const size_t slot = format == ExpositionFormat::kOpenMetrics ? 1 : 0;
    std::shared_ptr<const Exposition> exposition;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_bodies[slot] || !m_exposition)
            return m_bodies[slot];
        exposition = m_exposition;
    }
    // Rendered outside the lock, so a publish never waits for a scrape.
    auto text = std::make_shared<const std::string>(renderExposition(*exposition, format));
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_exposition == exposition)
        m_bodies[slot] = text;
    return text;
}

int MetricsServer::answer(MHD_Connection* connection, const char* url, const char* method)
{
    if (std::strcmp(method, MHD_HTTP_METHOD_GET) != 0)
        return answerText(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "only GET\n", MHD_HTTP_METHOD_GET);
    if (MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH) ||
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING))
        return answerText(connection, MHD_HTTP_BAD_REQUEST, "a GET has no body\n");
    if (std::strcmp(url, "/metrics") != 0)
        return answerText(connection, MHD_HTTP_NOT_FOUND, "only /metrics\n");
    const ExpositionFormat format =
        expositionFormatFor(MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_ACCEPT));
    std::shared_ptr<const std::string> text = body(format);
    if (!text)
        return answerText(connection, MHD_HTTP_SERVICE_UNAVAILABLE, "no sample yet\n");
    // The response reads the rendering in place and lets go of it when it is sent.
    auto* keep = new std::shared_ptr<const std::string>(std::move(text));
    MHD_Response* response = MHD_create_response_from_buffer_with_free_callback_cls(
        (*keep)->size(), const_cast<char*>((*keep)->data()),
        [](void* cls) { delete static_cast<std::shared_ptr<const std::string>*>(cls); }, keep);
    if (!response) {
        delete keep;
        return false;
    }
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, expositionContentType(format));
    const bool queued = MHD_queue_response(connection, MHD_HTTP_OK, response) == MHD_YES;
    MHD_destroy_response(response);
    return queued;
}
