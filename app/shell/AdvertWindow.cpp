#include "shell/AdvertWindow.h"

#include "views/Skin.h"

#include <QMessageBox>

namespace orvane {

AdvertWindow::AdvertWindow(QWidget* parent) : PlaceholderPane(skin::color("cbk_advertwnd", QColor(32, 44, 40)), parent) {}

void AdvertWindow::openOnlineHelp()
{
    auto* box = new QMessageBox(QMessageBox::Information, skin::text("Lumivex"), skin::text("not_on_linehelp"),
                                QMessageBox::Ok, window());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("onlineHelpNotice"));
    box->open();
}

} // namespace orvane
