#include "XServer.h"

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <chrono>

XServer::~XServer()
{
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(3000))
            m_server.kill();
        m_server.waitForFinished(1000);
    }
}

bool XServer::start(QString& why)
{
    for (const char* tool : {"Xvfb", "xdotool", "xwininfo", "import"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            why = QStringLiteral("%1 is not installed (scripts/setup.sh installs it)").arg(tool);
            return false;
        }
    }
    // -displayfd: Xvfb chooses a free display and prints its number when it is ready.
    m_server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                            QStringLiteral("0"), QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                                            QStringLiteral("tcp")});
    QByteArray out;
    const bool ready = waitUntil(
        [&] {
            m_server.waitForReadyRead(50);
            out += m_server.readAllStandardOutput();
            return out.contains('\n') || m_server.state() == QProcess::NotRunning;
        },
        10000);
    bool ok = false;
    const int number = out.trimmed().toInt(&ok);
    if (!ready || !ok) {
        why = QStringLiteral("Xvfb did not start: ") + QString::fromLocal8Bit(m_server.readAllStandardError());
        return false;
    }
    m_display = QStringLiteral(":%1").arg(number);
    return true;
}

QProcessEnvironment XServer::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
}

QString XServer::run(const QString& program, const QStringList& arguments, int timeoutMs) const
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

XServer::Window XServer::window(const QString& id) const
{
    Window w;
    w.id = id;
    const QString info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id});
    auto number = [&info](const char* label) {
        const QRegularExpression re(QStringLiteral("%1:\\s+(-?\\d+)").arg(QString::fromLatin1(label)));
        return re.match(info).captured(1).toInt();
    };
    w.geometry = QRect(number("Absolute upper-left X"), number("Absolute upper-left Y"), number("Width"), number("Height"));
    w.viewable = info.contains(QStringLiteral("Map State: IsViewable"));
    return w;
}

QList<XServer::Window> XServer::windowsFound(const QStringList& search) const
{
    QList<Window> found;
    const QString ids = run(QStringLiteral("xdotool"), search);
    for (const QString& id : ids.split('\n', Qt::SkipEmptyParts))
        found << window(id.trimmed());
    return found;
}

QList<XServer::Window> XServer::windowsNamed(const QString& pattern) const
{
    return windowsFound({QStringLiteral("search"), QStringLiteral("--name"), pattern});
}

QList<XServer::Window> XServer::windowsOfClass(const QString& pattern) const
{
    return windowsFound({QStringLiteral("search"), QStringLiteral("--class"), pattern});
}

void XServer::click(QPoint at, int button) const
{
    run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                                     QStringLiteral("click"), QString::number(button)});
}

bool XServer::screenshot(const QString& file) const
{
    run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), file}, 20000);
    return QFile::exists(file);
}

bool waitUntil(const std::function<bool()>& pred, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (pred())
            return true;
        QThread::msleep(50);
    }
    return pred();
}
