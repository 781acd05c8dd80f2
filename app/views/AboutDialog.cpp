#include "views/AboutDialog.h"

#include "views/Skin.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvane {

namespace {

// 235 x 95 dialog units of a 9-point 宋体 (6 x 12 pixel base units).
constexpr QSize kSize(353, 143);

} // namespace

QString AboutDialog::linesFor(const QString& eventSource)
{
    const qsizetype colon = eventSource.indexOf(QLatin1Char(':'));
    const QString kind = (colon < 0 ? eventSource : eventSource.left(colon)).trimmed();
    const QString why = colon < 0 ? QString() : eventSource.mid(colon + 1).trimmed();
    QString name = kind == QLatin1String("ebpf")   ? QStringLiteral("eBPF")
                   : kind == QLatin1String("pcap") ? QStringLiteral("libpcap")
                   : kind.isEmpty() || kind == QLatin1String("none") ? skin::text("about_source_none")
                                                                     : kind;
    if (!why.isEmpty())
        name = skin::text("about_source_reason").arg(name, why);
    return skin::text("about_version") + QStringLiteral("\n\n") + skin::text("about_purpose") + QLatin1Char('\n') +
           skin::text("about_source").arg(name) + QLatin1Char('\n') + skin::text("about_built");
}

AboutDialog::AboutDialog(const QString& eventSource, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(skin::text("titlebar_about"));
    QFont font(QStringLiteral("SimSun"));
    font.setPointSize(9);
    setFont(font);

    auto* icon = new QLabel;
    icon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    auto* lines = new QLabel(linesFor(eventSource));
    lines->setObjectName(QStringLiteral("aboutLines"));
    lines->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // The button's text is Qt's own, in the language shown.
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(lines, 1);
    auto* column = new QVBoxLayout(this);
    column->addLayout(row, 1);
    column->addWidget(buttons);
    // Its designed size, or larger where its lines need more room (English is longer).
    setFixedSize(kSize.expandedTo(sizeHint()));
}

} // namespace orvane
