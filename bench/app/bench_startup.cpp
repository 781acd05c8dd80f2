// bench_startup [runs] [idle-seconds]
// Starts the real orvane (a copy with the full shipped data folder, incl. the location
// database) several times and reports the time from the start of the process to its first
// painted frame, measured here (process start to the program's log line) and by the program
// itself (main() to the paint). Then keeps one copy idle and reports its memory, and the time
// it takes to end on SIGTERM. Uses the X display in DISPLAY, else the offscreen platform.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

namespace {

struct Start {
    double processToFrameMs = -1;  // measured here
    double mainToFrameMs = -1;     // as the program logged it
};

// Reads the child's output until the first-frame line (at most 10 s).
Start awaitFirstFrame(QProcess& process, const QElapsedTimer& since)
{
    Start start;
    QByteArray output;
    const QRegularExpression line(QStringLiteral("first frame painted after \\(ms\\)(\\d+)"));
    while (since.elapsed() < 10000 && process.state() == QProcess::Running) {
        process.waitForReadyRead(5);
        output += process.readAll();
        const QRegularExpressionMatch match = line.match(QString::fromLocal8Bit(output));
        if (match.hasMatch()) {
            start.processToFrameMs = double(since.nsecsElapsed()) / 1e6;
            start.mainToFrameMs = match.captured(1).toDouble();
            break;
        }
    }
    return start;
}

QString procField(qint64 pid, const char* file, const char* field)
{
    QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(QString::fromLatin1(file)));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    const QRegularExpression re(QStringLiteral("^%1:\\s+(\\d+) kB").arg(QString::fromLatin1(field)),
                                QRegularExpression::MultilineOption);
    return re.match(QString::fromLatin1(f.readAll())).captured(1);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const int idleSeconds = argc > 2 ? std::max(1, atoi(argv[2])) : 10;

    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("orvane"));
    std::error_code failed;
    std::filesystem::copy(LUMIVEX_DAT_DIR, dir.filePath(QStringLiteral("dat")).toStdString(),
                          std::filesystem::copy_options::recursive, failed);
    if (!QFile::copy(QStringLiteral(ORVANE_PATH), program) || failed) {
        std::fprintf(stderr, "cannot copy the program\n");
        return 1;
    }
    QDir().mkpath(dir.filePath(QStringLiteral("runtime")));
    QFile::setPermissions(dir.filePath(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("runtime")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    if (!env.contains(QStringLiteral("DISPLAY")) && !env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    std::printf("platform: %s\n", env.contains(QStringLiteral("DISPLAY")) ? qPrintable(env.value("DISPLAY"))
                                                                           : qPrintable(env.value("QT_QPA_PLATFORM")));

    std::vector<double> outside, inside;
    for (int run = 0; run < runs; ++run) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        QElapsedTimer since;
        since.start();
        process.start(program, {});
        process.waitForStarted(5000);
        const Start start = awaitFirstFrame(process, since);
        std::printf("run %d: process start to first frame %.1f ms (program: main to frame %.0f ms)\n", run + 1,
                    start.processToFrameMs, start.mainToFrameMs);
        outside.push_back(start.processToFrameMs);
        inside.push_back(start.mainToFrameMs);
        const bool last = run + 1 == runs;
        if (last) {
            QThread::sleep(idleSeconds);
            process.readAll();
            const qint64 pid = process.processId();
            const qsizetype threads =
                QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
            std::printf("idle after %d s: VmRSS %s kB (anonymous %s kB, files %s kB, shared %s kB), VmHWM %s kB, "
                        "Pss %s kB, threads %lld\n",
                        idleSeconds, qPrintable(procField(pid, "status", "VmRSS")),
                        qPrintable(procField(pid, "status", "RssAnon")), qPrintable(procField(pid, "status", "RssFile")),
                        qPrintable(procField(pid, "status", "RssShmem")), qPrintable(procField(pid, "status", "VmHWM")),
                        qPrintable(procField(pid, "smaps_rollup", "Pss")), static_cast<long long>(threads));
        }
        QElapsedTimer stopping;
        stopping.start();
        process.terminate();
        process.waitForFinished(5000);
        if (last)
            std::printf("SIGTERM to exit: %lld ms, exit code %d\n", stopping.elapsed(), process.exitCode());
    }
    std::printf("median of %d: process start to first frame %.1f ms, main to frame %.0f ms\n", runs, median(outside),
                median(inside));
    return 0;
}
