#pragma once

#include <QUrl>

#include <string>

namespace orvane {

// Opens a web page in the desktop's browser. Tests replace it.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual bool open(const QUrl& url) = 0;
};

// The desktop's URL handler (QDesktopServices).
class DesktopUrlOpener : public UrlOpener {
public:
    bool open(const QUrl& url) override;
};

// A page address from outside (the web service's record) as a URL that may be handed to
// the desktop: http or https with a host only; anything else (a local file, a program, a
// script scheme) gives an invalid URL.
QUrl webPageUrl(const std::string& text);

} // namespace orvane
