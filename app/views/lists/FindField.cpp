#include "views/lists/FindField.h"

#include "views/Skin.h"
#include "views/FittedText.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>

#include <algorithm>

namespace orvane {

namespace {
constexpr int kEditShare = 60;  // percent of the width the line edit takes
constexpr int kGap = 6;
}

FindField::FindField(QWidget* parent) : QWidget(parent), m_edit(new QLineEdit(this))
{
    m_edit->setClearButtonEnabled(true);
    m_edit->installEventFilter(this);
    connect(m_edit, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.trimmed().isEmpty())
            m_count.clear();
        emit textChanged(text);
        update();
    });
    loadSkin();
}

void FindField::loadSkin()
{
    m_background = skin::color("cbk_statusbar", QColor(39, 54, 49));
    m_countColor = skin::color("cf_statusbardata", QColor(0, 230, 90));
    m_font = skin::font("f_statusbar", skin::value("fh_statusbar", 12, 64));
    const QColor box = skin::color("cbk_statusbaritem", QColor(20, 28, 25));
    const QColor ink = skin::color("cf_statusbar", QColor(210, 210, 216));
    m_edit->setFont(m_font);
    m_edit->setStyleSheet(QStringLiteral("QLineEdit { background: %1; color: %2; border: 1px solid %3; padding: 0 2px; }")
                              .arg(box.name(), ink.name(), m_countColor.darker(160).name()));
    m_edit->setPlaceholderText(skin::text("find_placeholder"));
    m_edit->setToolTip(skin::text("find_tip"));
    showCount(m_shown, m_total);
}

QString FindField::text() const
{
    return m_edit->text();
}

void FindField::setTextQuietly(const QString& text)
{
    const QSignalBlocker blocker(m_edit);
    m_edit->setText(text);
    if (text.trimmed().isEmpty())
        m_count.clear();
    update();
}

void FindField::focusField()
{
    m_edit->setFocus(Qt::ShortcutFocusReason);
    m_edit->selectAll();
}

void FindField::showCount(int shown, int total)
{
    m_shown = shown;
    m_total = total;
    m_count = m_edit->text().trimmed().isEmpty()
                  ? QString()
                  : skin::text("find_count").arg(QLocale().toString(shown), QLocale().toString(total));
    update();
}

QRect FindField::countRect() const
{
    const int left = m_edit->geometry().right() + 1 + kGap;
    return QRect(left, 0, std::max(0, width() - left), height());
}

bool FindField::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edit && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        m_edit->clear();
        emit dismissed();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void FindField::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        loadSkin();
    QWidget::changeEvent(event);
}

void FindField::resizeEvent(QResizeEvent*)
{
    m_edit->setGeometry(0, 0, width() * kEditShare / 100, height());
}

void FindField::paintEvent(QPaintEvent*)
{
    if (m_count.isEmpty())
        return;
    QPainter painter(this);
    painter.setFont(m_font);
    painter.setPen(m_countColor);
    const QRect box = countRect();
    // A narrow box gets the count without its words rather than a cut-off text.
    QString shown = m_count;
    if (painter.fontMetrics().horizontalAdvance(shown) > box.width())
        shown = QStringLiteral("%1/%2").arg(m_shown).arg(m_total);
    drawFittedText(painter, box, Qt::AlignLeft | Qt::AlignVCenter, shown);
}

} // namespace orvane
