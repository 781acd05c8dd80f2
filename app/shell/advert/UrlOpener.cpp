#include "shell/advert/UrlOpener.h"

#include <QDesktopServices>

namespace orvane {

bool DesktopUrlOpener::open(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

QUrl webPageUrl(const std::string& text)
{
    const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty())
        return {};
    return url;
}

} // namespace orvane
