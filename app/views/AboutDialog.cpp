#include "views/AboutDialog.h"

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
                   : kind.isEmpty() || kind == QLatin1String("none") ? QStringLiteral("无")
                                                                     : kind;
    if (!why.isEmpty())
        name += QStringLiteral("（%1）").arg(why);
    return QStringLiteral("Lumivex 3.0 版\n\n网络流量监控：查看本机正在与谁通信。\n事件来源：%1\n使用 /proc 与 Qt 6 构建。")
        .arg(name);
}

AboutDialog::AboutDialog(const QString& eventSource, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("关于Lumivex"));
    setFixedSize(kSize);
    QFont font(QStringLiteral("SimSun"));
    font.setPointSize(9);
    setFont(font);

    auto* icon = new QLabel;
    icon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    auto* lines = new QLabel(linesFor(eventSource));
    lines->setObjectName(QStringLiteral("aboutLines"));
    lines->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(lines, 1);
    auto* column = new QVBoxLayout(this);
    column->addLayout(row, 1);
    column->addWidget(buttons);
}

} // namespace orvane
