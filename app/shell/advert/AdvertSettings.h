#pragma once

#include <QString>

#include <cstdint>

namespace orvane {

// Where and how the advert window talks to the program's web service.
struct AdvertSettings {
    // Host of the web service. Empty: no request is ever made; the free-edition text stays
    // and online help is unavailable.
    QString serviceHost;
    // Port of both the information request and the banner download.
    std::uint16_t port = 80;
    // Wait between a good information record and the banner download.
    int pauseMs = 180000;
    // Folder the banner is downloaded into (as preal.dat); ends with "/".
    QString dataDir;
    // Requests go through the desktop's proxy settings (tests talk to 127.0.0.1 directly).
    bool systemProxy = true;
    // Longest banner accepted, in bytes; a longer download is dropped.
    std::int64_t bannerByteLimit = 2 * 1024 * 1024;
    // Inactivity limit of one request.
    int transferTimeoutMs = 30000;

    // The program's settings: the service host built into the program, the data folder of
    // the configuration store.
    static AdvertSettings standard();
};

// The contact line shown after the free-edition text.
QString advertContact();

} // namespace orvane
