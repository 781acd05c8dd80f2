#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>

// A private X display for one test (Xvfb, which picks a free display number), with the
// command-line X tools the tests drive it with: xdotool, xwininfo, import.
class XServer {
public:
    ~XServer();

    // False, with the reason, when Xvfb or a tool is missing or the server does not start.
    bool start(QString& why);
    const QString& display() const { return m_display; }
    QProcessEnvironment environment() const;

    // Runs an X tool on this display; its standard output.
    QString run(const QString& program, const QStringList& arguments, int timeoutMs = 10000) const;

    struct Window {
        QString id;
        QRect geometry;
        bool viewable = false;
    };
    // Windows whose name matches the regular expression (xdotool search --name).
    QList<Window> windowsNamed(const QString& pattern) const;
    QList<Window> windowsOfClass(const QString& pattern) const;
    Window window(const QString& id) const;
    void click(QPoint at, int button = 1) const;
    bool screenshot(const QString& file) const;

private:
    QList<Window> windowsFound(const QStringList& search) const;

    QProcess m_server;
    QString m_display;
};

// Polls pred every 50 ms until it holds or timeoutMs passed.
bool waitUntil(const std::function<bool()>& pred, int timeoutMs);
