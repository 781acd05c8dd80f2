#pragma once

#include "core/history/HistoryControl.h"
#include "core/history/HistoryQuery.h"
#include "core/history/HistorySpan.h"
#include "monitor/history/HistoryWorker.h"

#include <QThread>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace orvane {

class HistoryChart;
class HistoryRangeBar;
class HistoryTableView;

// The "历史流量" page: what each program exchanged with each host over a range of the lasting
// history. The range band at the top, the bar chart of the range below it, and two tables:
// the programs (or the hosts) of the range at the left, the hosts of the selected program (or
// the programs of the selected host) at the right. The database is read on a worker thread
// of the page's; a question's answer that arrives after a newer question was asked is
// dropped. While on show, a range that reaches now is asked again once a minute, after the
// recorder wrote what it holds. Privacy: forget a program or a host (the tables' context
// menu) and clear all, each after a confirmation, through the window's recorder when there is
// one, else on the worker; "Export CSV" writes a table or the chart's points.
class HistoryPage : public QWidget {
    Q_OBJECT
public:
    enum class Export { MainTable, DetailTable, Chart };
    // The dialogs the page asks through; tests replace them.
    struct Dialogs {
        std::function<bool(const QString& question)> confirm;
        std::function<QString(const QString& suggestedName)> saveFileName;  // empty: cancelled
    };
    static constexpr int kRefreshMs = 60000;

    // control: the window's recording, null when the window records nothing itself (the page
    // reads the database of user.ini's settings all the same).
    explicit HistoryPage(HistoryControl* control, QWidget* parent = nullptr);
    // Ends the worker's thread and joins it.
    ~HistoryPage() override;

    // The tab was chosen: the range is asked again.
    void showHistory();
    void setSpan(const HistorySpan& span);
    void setMode(HistoryListMode mode);
    HistorySpan span() const { return m_span; }
    HistoryListMode mode() const { return m_mode; }
    // Selects a row of the main table (and asks for its detail); -1 clears the selection.
    void selectMainRow(int row);
    // A row of the right table (a double click): the left table switches to its kind (hosts
    // for a host of the selected program, programs for a program of the selected host) with
    // that row selected.
    void followDetailRow(int row);

    // Each asks first; true when the change was sent.
    bool forgetProgram(const std::string& name, const std::string& path);
    bool forgetHost(uint32_t address);
    bool clearAll();
    // Writes what the page shows to a CSV file the user names; true when written.
    bool exportCsv(Export what);
    // The recorder's state, as the band shows it (the menu's switch changed it, say).
    void refreshStatus();

    void setDialogs(Dialogs dialogs) { m_dialogs = std::move(dialogs); }
    std::string databasePath() const { return m_path; }
    HistoryRangeBar* rangeBar() const { return m_bar; }
    HistoryChart* chart() const { return m_chart; }
    HistoryTableView* mainTable() const { return m_main; }
    HistoryTableView* detailTable() const { return m_detail; }
    const HistoryResult& shown() const { return m_shown; }
    const HistorySelection& selection() const { return m_selection; }
    // Questions asked, and answers dropped because a newer question was asked meanwhile.
    uint64_t asked() const { return m_serial; }
    uint64_t dropped() const { return m_dropped; }
    bool waiting() const { return m_outstanding != 0; }
    bool refreshing() const { return m_refresh.isActive(); }
    QThread* workerThread() { return &m_thread; }
    HistoryWorker* worker() const { return m_worker; }
    // The text the band shows after an action (export, forget), for its few seconds.
    QString lastNotice() const { return m_notice; }

signals:
    // An answer was shown (tests wait for it).
    void answerShown();
    // A privacy change ended (ok or not), and the page asked for its range again.
    void changeFinished(bool ok);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void layoutPanes();
    void ask(unsigned parts, bool flush);
    void take(const HistoryResult& result);
    void showDetail();
    void finishChange(bool ok, const QString& message);
    // Asks the user (noting that another program records meanwhile); whether to go on.
    bool confirmChange(QString question) const;
    void send(const HistoryChange& change);
    void showMenu(HistoryTableView* table, int row, const QPoint& global);
    void showExportMenu();
    void notice(const QString& text, bool warning);
    QString captionOfMain() const;
    QString captionOfDetail() const;

    HistoryControl* m_control;
    std::string m_path;
    QThread m_thread;
    HistoryWorker* m_worker;
    Dialogs m_dialogs;

    HistoryRangeBar* m_bar;
    HistoryChart* m_chart;
    HistoryTableView* m_main;
    HistoryTableView* m_detail;
    QTimer m_refresh;
    QTimer m_status;
    QTimer m_noticeTimer;
    QString m_notice;

    HistorySpan m_span;
    HistoryListMode m_mode = HistoryListMode::Programs;
    HistorySelection m_selection;
    HistoryResult m_shown;
    uint64_t m_serial = 0;
    uint64_t m_dropped = 0;
    unsigned m_outstanding = 0;
    bool m_asked = false;  // a question was asked since the page was made
};

} // namespace orvane
