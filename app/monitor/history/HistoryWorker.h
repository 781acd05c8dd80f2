#pragma once

#include "core/history/HistoryControl.h"
#include "core/history/HistoryQuery.h"

#include "history/HistoryReader.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace orvane {

// A change of the history on the user's word, made by the page's worker when no recorder of
// this window takes it.
struct HistoryChange {
    enum Kind { ForgetProgram, ForgetHost, Clear };
    Kind kind = Clear;
    std::string name, path;  // ForgetProgram (an empty path: every program of that name)
    uint32_t address = 0;    // ForgetHost
};

// The history page's database work, on a thread of the page's: queries (the reader opened
// read-only at the first one, and again after a failure) and, without a recorder of this
// window, the privacy changes. Answers go out as signals, which reach the page queued.
class HistoryWorker : public QObject {
    Q_OBJECT
public:
    explicit HistoryWorker(std::string path, QObject* parent = nullptr);

    // Any thread: questions with a serial below this one are no longer wanted and are
    // skipped, unanswered, when their turn comes.
    void supersede(uint64_t serial) { m_latest.store(serial); }

    // The worker's thread (invoked queued). flush, when given, runs first: the recorder
    // writes what it holds, so that the newest buckets are in the answer.
    void query(const orvane::HistoryRequest& request, const orvane::HistoryControl::Flusher& flush);
    void change(const orvane::HistoryChange& change);

signals:
    void answered(const orvane::HistoryResult& result);
    void changed(bool ok, const QString& message);

private:
    bool ensureOpen(std::string* error);

    std::string m_path;
    std::unique_ptr<history::HistoryReader> m_reader;  // null: opened at the next query
    std::atomic<uint64_t> m_latest{0};
};

} // namespace orvane
