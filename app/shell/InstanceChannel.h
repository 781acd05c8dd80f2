#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace orvane {

// How a second copy reaches the first: the first listens on a local socket beside its
// instance lock (in a folder only this user may write to), and shows its window when a second
// copy says so. GUI thread.
class InstanceChannel : public QObject {
    Q_OBJECT
public:
    explicit InstanceChannel(QObject* parent = nullptr);
    ~InstanceChannel() override;

    // The first copy, holding the lock at lockPath: listens beside it. False when it cannot
    // (the program runs on, only a second copy cannot show it).
    bool listen(const QString& lockPath);
    // A second copy: asks the copy that holds the lock at lockPath to show its window. Waits
    // at most half a second; false when no copy answered.
    static bool askToShow(const QString& lockPath);

signals:
    // A second copy was started: the window should come to the front.
    void showRequested();

private:
    static QString socketPath(const QString& lockPath);

    QLocalServer* m_server = nullptr;
};

} // namespace orvane
