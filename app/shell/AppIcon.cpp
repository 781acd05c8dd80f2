#include "shell/AppIcon.h"

#include "views/Skin.h"

namespace orvane {

QIcon appIcon()
{
    QIcon icon = QIcon::fromTheme(QStringLiteral("orvane"));
    if (!icon.isNull())
        return icon;
    for (const char* file : {"icon16.png", "icon32.png", "icon64.png"}) {
        const QPixmap pixmap = skin::image(file);
        if (!pixmap.isNull())
            icon.addPixmap(pixmap);
    }
    if (icon.isNull()) {
        // No data folder: a plain green square still marks the tray.
        QPixmap square(32, 32);
        square.fill(QColor(0, 156, 12));
        icon.addPixmap(square);
    }
    return icon;
}

} // namespace orvane
