#pragma once

#include <QDialog>

namespace orvane {

// The small fixed "关于Lumivex" box: program icon, product name and version.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

} // namespace orvane
