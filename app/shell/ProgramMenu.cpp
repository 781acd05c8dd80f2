#include "shell/ProgramMenu.h"

namespace orvane {

namespace {

QAction* addCheckItem(QMenu& menu, const QString& text)
{
    QAction* action = menu.addAction(text);
    action->setCheckable(true);
    return action;
}

} // namespace

ProgramMenu::ProgramMenu(QWidget* parent) : QMenu(parent)
{
    m_showMain = addAction(QStringLiteral("显示主窗口"));
    addSeparator();
    m_floating = addCheckItem(*this, QStringLiteral("悬浮窗"));
    m_autoRefresh = addCheckItem(*this, QStringLiteral("自动刷新"));
    m_autostart = addCheckItem(*this, QStringLiteral("开机自动运行"));
    addSeparator();
    m_exit = addAction(QStringLiteral("退出"));
}

} // namespace orvane
