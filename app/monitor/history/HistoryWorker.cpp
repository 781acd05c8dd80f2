#include "monitor/history/HistoryWorker.h"

#include "history/Database.h"
#include "history/Privacy.h"

#include <filesystem>

namespace orvane {

namespace {

// How long a query waits for the recorder's write of the newest counts.
constexpr std::chrono::milliseconds kFlushWait{1500};

} // namespace

HistoryWorker::HistoryWorker(std::string path, QObject* parent) : QObject(parent), m_path(std::move(path)) {}

bool HistoryWorker::ensureOpen(std::string* error)
{
    if (m_reader)
        return true;
    if (m_path.empty()) {
        *error = "no place for the history: no HOME";
        return false;
    }
    auto reader = std::make_unique<history::HistoryReader>();
    if (!reader->open(m_path, error))
        return false;
    m_reader = std::move(reader);
    return true;
}

void HistoryWorker::query(const HistoryRequest& request, const HistoryControl::Flusher& flush)
{
    if (request.serial < m_latest.load())
        return;
    if (flush)
        flush(kFlushWait);
    HistoryResult result;
    std::string error;
    if (ensureOpen(&error)) {
        result = runHistoryQuery(*m_reader, request);
        // A file moved aside or replaced under the reader: opened anew next time.
        if (!result.ok)
            m_reader.reset();
    } else {
        result = emptyAnswerTo(request);
        result.error = error;
        std::error_code ec;
        result.noHistory = m_path.empty() || !std::filesystem::is_regular_file(m_path, ec) ||
                           error.ends_with("nothing recorded yet");
    }
    emit answered(result);
}

void HistoryWorker::change(const HistoryChange& change)
{
    history::Database db;
    std::string message;
    bool ok = history::openForChanges(db, m_path, &message);
    if (ok) {
        switch (change.kind) {
        case HistoryChange::ForgetProgram: ok = history::forgetProgram(db, change.name, change.path, &message); break;
        case HistoryChange::ForgetHost: ok = history::forgetHost(db, change.address, &message); break;
        case HistoryChange::Clear: ok = history::clearHistory(db, &message); break;
        }
    }
    // The reader's snapshot and names predate the change.
    m_reader.reset();
    emit changed(ok, QString::fromStdString(message));
}

} // namespace orvane
