#pragma once

#include <QString>

namespace orvane {

// The login autostart entry of the desktop session: the file orvane.desktop in the XDG
// autostart folder, whose Exec line is the program's path followed by " -h" (start in the
// tray). The entry counts as on only when its Exec line equals that command, compared
// without regard to case.
class AutostartEntry {
public:
    // directory: the autostart folder; command: the Exec line. Empty: the session's folder
    // ($XDG_CONFIG_HOME/autostart) and this program's own command.
    explicit AutostartEntry(QString directory = {}, QString command = {});

    static QString defaultDirectory();
    static QString defaultCommand();

    QString filePath() const;
    const QString& command() const { return m_command; }

    bool isOn() const;
    // Whether write() can succeed: the folder exists and is writable, or can be made.
    bool canWrite() const;
    bool write() const;
    bool remove() const;

    // The Exec value of a desktop entry's text; empty when it has none.
    static QString execOf(const QByteArray& desktopEntry);

private:
    QString m_directory;
    QString m_command;
};

} // namespace orvane
