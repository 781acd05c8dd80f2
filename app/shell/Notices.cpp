#include "shell/Notices.h"

#include "views/Skin.h"

#include <QMessageBox>

namespace orvane {

void MessageBoxNotices::warn(const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Warning, skin::text("Lumivex"), text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

void MessageBoxNotices::refuse(const QString& text)
{
    QMessageBox::warning(nullptr, skin::text("Lumivex"), text);
}

} // namespace orvane
