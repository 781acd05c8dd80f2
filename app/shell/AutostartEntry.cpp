#include "shell/AutostartEntry.h"

#include "config/FileText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace orvane {

namespace {

const QString kFileName = QStringLiteral("orvane.desktop");

// An Exec argument, quoted as desktop entries require when it holds a reserved character.
QString quotedArgument(const QString& argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = argument.isEmpty();
    for (QChar c : argument)
        needsQuotes = needsQuotes || reserved.contains(c);
    if (!needsQuotes)
        return argument;
    QString quoted = QStringLiteral("\"");
    for (QChar c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

// A desktop entry string value as stored: backslashes and line breaks escaped.
QString escapedValue(const QString& value)
{
    QString out;
    for (QChar c : value) {
        if (c == '\\')
            out += QStringLiteral("\\\\");
        else if (c == '\n')
            out += QStringLiteral("\\n");
        else if (c == '\r')
            out += QStringLiteral("\\r");
        else if (c == '\t')
            out += QStringLiteral("\\t");
        else
            out += c;
    }
    return out;
}

QString unescapedValue(const QString& stored)
{
    QString out;
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const QChar c = stored[i];
        if (c != '\\' || i + 1 == stored.size()) {
            out += c;
            continue;
        }
        const QChar next = stored[++i];
        out += next == 's' ? QChar(' ') : next == 'n' ? QChar('\n') : next == 't' ? QChar('\t') : next == 'r' ? QChar('\r') : next;
    }
    return out;
}

} // namespace

AutostartEntry::AutostartEntry(QString directory, QString command)
    : m_directory(directory.isEmpty() ? defaultDirectory() : std::move(directory)),
      m_command(command.isEmpty() ? defaultCommand() : std::move(command))
{
}

QString AutostartEntry::defaultDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart");
}

QString AutostartEntry::defaultCommand()
{
    return quotedArgument(QCoreApplication::applicationFilePath()) + QStringLiteral(" -h");
}

QString AutostartEntry::filePath() const
{
    return m_directory + '/' + kFileName;
}

QString AutostartEntry::execOf(const QByteArray& desktopEntry)
{
    bool inMainGroup = false;
    for (const QByteArray& rawLine : desktopEntry.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup || !line.startsWith(QStringLiteral("Exec")))
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0 || line.left(equals).trimmed() != QStringLiteral("Exec"))
            continue;
        return unescapedValue(line.mid(equals + 1).trimmed());
    }
    return {};
}

bool AutostartEntry::isOn() const
{
    // An autostart entry is a few hundred bytes; anything much larger is not ours. Read as the
    // data files are: a FIFO or a device in its place is never waited on.
    const std::optional<std::string> content = lumivex::config::readFilePrefix(filePath().toStdString(), 64 * 1024);
    if (!content)
        return false;
    return execOf(QByteArray::fromStdString(*content)).compare(m_command, Qt::CaseInsensitive) == 0;
}

bool AutostartEntry::canWrite() const
{
    QFileInfo folder(m_directory);
    while (!folder.exists()) {
        const QString parent = folder.absolutePath();
        if (parent == folder.absoluteFilePath())
            return false;
        folder = QFileInfo(parent);
    }
    if (!folder.isDir() || !folder.isWritable())
        return false;
    const QFileInfo existing(filePath());
    return !existing.exists() || existing.isWritable();
}

bool AutostartEntry::write() const
{
    if (!QDir().mkpath(m_directory))
        return false;
    QSaveFile file(filePath());
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Lumivex\n"
                                        "Comment=Network traffic monitor\n"
                                        "Icon=orvane\n"
                                        "Exec=%1\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(escapedValue(m_command));
    file.write(text.toUtf8());
    return file.commit();
}

bool AutostartEntry::remove() const
{
    return QFile::remove(filePath()) || !QFileInfo::exists(filePath());
}

} // namespace orvane
