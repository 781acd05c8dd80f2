#include "shell/advert/AdvertSettings.h"

#include "config/ConfigStore.h"

#ifndef LUMIVEX_ADVERT_HOST
#define LUMIVEX_ADVERT_HOST ""
#endif
#ifndef LUMIVEX_ADVERT_CONTACT
#define LUMIVEX_ADVERT_CONTACT ""
#endif

namespace orvane {

AdvertSettings AdvertSettings::standard()
{
    AdvertSettings settings;
    settings.serviceHost = QStringLiteral(LUMIVEX_ADVERT_HOST);
    settings.dataDir = QString::fromStdString(lumivex::config::ConfigStore::instance().dataDir());
    return settings;
}

QString advertContact()
{
    return QStringLiteral(LUMIVEX_ADVERT_CONTACT);
}

} // namespace orvane
