#include "monitor/history/HistoryPage.h"

#include "config/ConfigStore.h"
#include "core/history/HistoryRows.h"
#include "core/history/HistorySettings.h"
#include "monitor/history/HistoryChart.h"
#include "monitor/history/HistoryRangeBar.h"
#include "monitor/history/HistoryTable.h"
#include "views/FittedText.h"
#include "views/Skin.h"

#include "history/Csv.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QSaveFile>

#include <algorithm>
#include <ctime>
#include <memory>

namespace orvane {

namespace {

const QColor kBand(39, 54, 49);
const QColor kGap(0, 156, 12);
const QColor kCaption(240, 240, 240);
constexpr int kCaptionHeight = 20;
constexpr int kTableGap = 4;
constexpr int kStatusMs = 3000;
constexpr int kNoticeMs = 8000;

int64_t now()
{
    return int64_t(std::time(nullptr));
}

std::string uiText(const char* key)
{
    return skin::text(key).toStdString();
}

// The program (or, in a hosts' table, the host) a row stands for.
HistorySelection selectionOf(const HistoryRow& row, bool program)
{
    HistorySelection selection;
    if (program) {
        selection.programId = row.programId;
        selection.programName = row.programName;
        selection.programPath = row.programPath;
    } else {
        selection.host = row.address;
    }
    return selection;
}

HistoryPage::Dialogs standardDialogs(QWidget* parent)
{
    HistoryPage::Dialogs d;
    d.confirm = [parent](const QString& question) {
        return QMessageBox::question(parent, skin::text("Lumivex"), question, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };
    d.saveFileName = [parent](const QString& suggested) {
        return QFileDialog::getSaveFileName(parent, skin::text("history_export"), QDir::home().filePath(suggested),
                                            QStringLiteral("CSV (*.csv)"));
    };
    return d;
}

} // namespace

HistoryPage::HistoryPage(HistoryControl* control, QWidget* parent)
    : QWidget(parent), m_control(control),
      m_path(HistorySettings::read(lumivex::config::ConfigStore::instance()).databasePath()),
      m_worker(new HistoryWorker(m_path)), m_dialogs(standardDialogs(this)), m_bar(new HistoryRangeBar(this)),
      m_chart(new HistoryChart(this)), m_main(new HistoryTableView(HistoryTable::Programs, this)),
      m_detail(new HistoryTableView(HistoryTable::Hosts, this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    qRegisterMetaType<orvane::HistoryResult>();
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &HistoryWorker::answered, this, &HistoryPage::take);
    connect(m_worker, &HistoryWorker::changed, this, &HistoryPage::finishChange);
    m_thread.setObjectName(QStringLiteral("history page"));
    m_thread.start();

    m_bar->showSpan(m_span);
    connect(m_bar, &HistoryRangeBar::itemClicked, this, [this](int item) {
        switch (item) {
        case HistoryRangeBar::Today: setSpan(HistorySpan::of(HistorySpanKind::Today)); break;
        case HistoryRangeBar::Last7Days: setSpan(HistorySpan::of(HistorySpanKind::Last7Days)); break;
        case HistoryRangeBar::Last30Days: setSpan(HistorySpan::of(HistorySpanKind::Last30Days)); break;
        case HistoryRangeBar::Last12Months: setSpan(HistorySpan::of(HistorySpanKind::Last12Months)); break;
        case HistoryRangeBar::Month:
            if (m_span.kind != HistorySpanKind::Month)
                setSpan(HistorySpan::monthOf(now()));
            break;
        case HistoryRangeBar::PreviousMonth:
        case HistoryRangeBar::NextMonth: {
            const HistorySpan month = m_span.kind == HistorySpanKind::Month ? m_span : HistorySpan::monthOf(now());
            setSpan(stepMonth(month, item == HistoryRangeBar::NextMonth ? 1 : -1, now()));
            break;
        }
        case HistoryRangeBar::ByProgram: setMode(HistoryListMode::Programs); break;
        case HistoryRangeBar::ByHost: setMode(HistoryListMode::Hosts); break;
        case HistoryRangeBar::Export: showExportMenu(); break;
        }
    });
    connect(m_main, &HistoryTableView::rowSelected, this, &HistoryPage::selectMainRow);
    connect(m_detail, &HistoryTableView::rowActivated, this, &HistoryPage::followDetailRow);
    connect(m_main, &HistoryTableView::rowMenuRequested, this,
            [this](int row, const QPoint& at) { showMenu(m_main, row, at); });
    connect(m_detail, &HistoryTableView::rowMenuRequested, this,
            [this](int row, const QPoint& at) { showMenu(m_detail, row, at); });

    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, [this] {
        if (spanIsLive(m_span, now()))
            ask(HistoryRequest::All, true);
    });
    m_status.setInterval(kStatusMs);
    connect(&m_status, &QTimer::timeout, this, &HistoryPage::refreshStatus);
    m_noticeTimer.setSingleShot(true);
    m_noticeTimer.setInterval(kNoticeMs);
    connect(&m_noticeTimer, &QTimer::timeout, this, [this] {
        m_notice.clear();
        refreshStatus();
    });
    refreshStatus();
}

HistoryPage::~HistoryPage()
{
    // Questions still queued are skipped; one being answered ends first (a query takes
    // milliseconds, a wait for the recorder's write at most a second and a half).
    m_worker->supersede(UINT64_MAX);
    m_thread.quit();
    m_thread.wait();
}

void HistoryPage::showHistory()
{
    ask(HistoryRequest::All, true);
}

void HistoryPage::setSpan(const HistorySpan& span)
{
    m_span = span;
    m_bar->showSpan(span);
    ask(HistoryRequest::All, false);
}

void HistoryPage::setMode(HistoryListMode mode)
{
    if (mode == m_mode)
        return;
    m_mode = mode;
    m_selection = {};
    m_bar->showMode(mode);
    m_main->showTable(mode == HistoryListMode::Programs ? HistoryTable::Programs : HistoryTable::Hosts);
    m_detail->showTable(mode == HistoryListMode::Programs ? HistoryTable::Hosts : HistoryTable::Programs);
    m_detail->tableModel()->setRows({});
    layoutPanes();
    update();
    ask(HistoryRequest::List | HistoryRequest::Detail, false);
}

void HistoryPage::selectMainRow(int row)
{
    const auto& rows = m_main->tableModel()->rows();
    m_selection = row >= 0 && std::size_t(row) < rows.size()
                      ? selectionOf(rows[std::size_t(row)], m_mode == HistoryListMode::Programs)
                      : HistorySelection{};
    m_main->setSelectedRow(m_selection.empty() ? -1 : row);
    m_detail->setSelectedRow(-1);
    m_detail->tableModel()->setRows({});
    update();
    if (!m_selection.empty())
        ask(HistoryRequest::Detail, false);
}

void HistoryPage::followDetailRow(int row)
{
    const auto& rows = m_detail->tableModel()->rows();
    if (row < 0 || std::size_t(row) >= rows.size() || !rows[std::size_t(row)].named)
        return;
    const HistoryRow r = rows[std::size_t(row)];
    setMode(m_mode == HistoryListMode::Programs ? HistoryListMode::Hosts : HistoryListMode::Programs);
    m_selection = selectionOf(r, m_mode == HistoryListMode::Programs);
    // The new mode's list comes with the detail of the row followed; it is selected there.
    ask(HistoryRequest::List | HistoryRequest::Detail, false);
}

void HistoryPage::ask(unsigned parts, bool flush)
{
    m_asked = true;
    m_outstanding |= parts;
    HistoryRequest request;
    request.serial = ++m_serial;
    request.parts = m_outstanding;
    const int64_t t = now();
    request.range = spanRange(m_span, t);
    request.chartRange = chartRange(m_span, t);
    request.step = spanStep(request.chartRange);
    request.mode = m_mode;
    request.selection = m_selection;
    HistoryControl::Flusher flusher;
    if (flush && m_control && spanIsLive(m_span, t))
        flusher = m_control->flusher();
    m_worker->supersede(request.serial);
    HistoryWorker* worker = m_worker;
    QMetaObject::invokeMethod(
        m_worker, [worker, request, flusher] { worker->query(request, flusher); }, Qt::QueuedConnection);
}

void HistoryPage::take(const HistoryResult& result)
{
    if (result.serial != m_serial) {
        // Asked before the question now open: what it brings is for an old range or mode.
        ++m_dropped;
        return;
    }
    m_outstanding = 0;
    if (!result.ok) {
        m_chart->setSeries({}, result.step, result.range, result.range);
        m_chart->setMessage(result.noHistory ? skin::text("history_none_yet")
                                    : skin::text("history_unreadable").arg(QString::fromStdString(result.error)));
        m_main->tableModel()->setRows({});
        m_detail->tableModel()->setRows({});
        m_shown = HistoryResult();
        m_shown.range = result.range;
        m_shown.mode = result.mode;
        refreshStatus();
        update();
        emit answerShown();
        return;
    }
    const HistorySelection selection = m_selection;
    if (result.parts & HistoryRequest::List) {
        m_shown.range = result.range;
        m_shown.covered = result.covered;
        m_shown.mode = result.mode;
        m_shown.programs = result.programs;
        m_shown.hosts = result.hosts;
        std::vector<HistoryRow> rows =
            result.mode == HistoryListMode::Programs ? programRows(result.programs, uiText) : hostRows(result.hosts, uiText);
        // The selection stays on its program or host where the new range still has it.
        int selected = -1;
        for (std::size_t i = 0; i < rows.size() && !selection.empty(); ++i) {
            const bool same = selection.programId ? rows[i].programId == *selection.programId
                                                  : rows[i].named && rows[i].address == *selection.host;
            if (same)
                selected = int(i);
        }
        m_main->tableModel()->setRows(std::move(rows));
        m_main->setSelectedRow(selected);
    }
    if (result.parts & HistoryRequest::Series) {
        m_shown.series = result.series;
        m_shown.step = result.step;
        m_shown.chartCovered = result.chartCovered;
        m_chart->setSeries(result.series, result.step, result.range, result.covered);
    }
    if (result.parts & HistoryRequest::Detail) {
        m_shown.selection = result.selection;
        m_shown.detailHosts = result.detailHosts;
        m_shown.detailPrograms = result.detailPrograms;
        showDetail();
    }
    refreshStatus();
    update();
    emit answerShown();
}

void HistoryPage::showDetail()
{
    if (m_shown.selection.empty())
        m_detail->tableModel()->setRows({});
    else if (m_shown.selection.programId)
        m_detail->tableModel()->setRows(hostRows(m_shown.detailHosts, uiText));
    else
        m_detail->tableModel()->setRows(programRows(m_shown.detailPrograms, uiText));
    m_detail->setSelectedRow(-1);
}

void HistoryPage::refreshStatus()
{
    if (!m_notice.isEmpty())
        return;
    const char* key = "history_status_not_here";
    bool warning = false;
    if (m_control) {
        switch (m_control->state()) {
        case HistoryControl::State::Recording: key = "history_status_recording"; break;
        case HistoryControl::State::OtherRecords: key = "history_status_other"; break;
        case HistoryControl::State::Off: key = "history_status_off"; warning = true; break;
        case HistoryControl::State::Failing: key = "history_status_failing"; warning = true; break;
        case HistoryControl::State::Starting: key = "history_status_starting"; break;
        }
    }
    m_bar->setStatus(skin::text(key), warning);
}

void HistoryPage::notice(const QString& text, bool warning)
{
    m_notice = text;
    m_bar->setStatus(text, warning);
    m_noticeTimer.start();
}

bool HistoryPage::confirmChange(QString question) const
{
    if (m_control && m_control->state() == HistoryControl::State::OtherRecords)
        question += QStringLiteral("\n\n") + skin::text("history_other_writer_note");
    return m_dialogs.confirm && m_dialogs.confirm(question);
}

bool HistoryPage::forgetProgram(const std::string& name, const std::string& path)
{
    if (!confirmChange(skin::text("history_forget_program_ask").arg(QString::fromStdString(name))))
        return false;
    HistoryChange change;
    change.kind = HistoryChange::ForgetProgram;
    change.name = name;
    change.path = path;
    send(change);
    return true;
}

bool HistoryPage::forgetHost(uint32_t address)
{
    if (!confirmChange(skin::text("history_forget_host_ask").arg(QString::fromStdString(history::dottedAddress(address)))))
        return false;
    HistoryChange change;
    change.kind = HistoryChange::ForgetHost;
    change.address = address;
    send(change);
    return true;
}

bool HistoryPage::clearAll()
{
    if (!confirmChange(skin::text("history_clear_ask")))
        return false;
    send(HistoryChange{});
    return true;
}

void HistoryPage::send(const HistoryChange& change)
{
    // A forgotten program or host leaves the tables: the selection goes with it.
    m_selection = {};
    m_main->setSelectedRow(-1);
    if (m_control && m_control->hasRecorder()) {
        // The recorder drops what it holds of it too, and calls back on its own thread; the
        // page may be gone by the time the call comes back to the GUI thread.
        auto self = std::make_shared<QPointer<HistoryPage>>(this);
        HistoryControl::Done done = [self](bool ok, const std::string& message) {
            const QString text = QString::fromStdString(message);
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, ok, text] {
                    if (*self)
                        (*self)->finishChange(ok, text);
                },
                Qt::QueuedConnection);
        };
        bool sent = false;
        switch (change.kind) {
        case HistoryChange::ForgetProgram: sent = m_control->forgetProgram(change.name, change.path, done); break;
        case HistoryChange::ForgetHost: sent = m_control->forgetHost(change.address, done); break;
        case HistoryChange::Clear: sent = m_control->clearAll(done); break;
        }
        if (sent)
            return;
    }
    // No recorder here: the worker changes the file (SQLite orders the change with another
    // program's writes, and its recorder notices that the file changed under it).
    HistoryWorker* worker = m_worker;
    QMetaObject::invokeMethod(m_worker, [worker, change] { worker->change(change); }, Qt::QueuedConnection);
}

void HistoryPage::finishChange(bool ok, const QString& message)
{
    notice(ok ? skin::text("history_changed") : skin::text("history_change_failed").arg(message), !ok);
    ask(HistoryRequest::All, false);
    emit changeFinished(ok);
}

void HistoryPage::showMenu(HistoryTableView* table, int row, const QPoint& global)
{
    const auto& rows = table->tableModel()->rows();
    if (row < 0 || std::size_t(row) >= rows.size())
        return;
    const HistoryRow r = rows[std::size_t(row)];
    const bool programs = table->tableModel()->table() == HistoryTable::Programs;
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* forget = menu->addAction(skin::text(programs ? "history_forget_program" : "history_forget_host"));
    forget->setEnabled(r.named);
    connect(forget, &QAction::triggered, this, [this, r, programs] {
        if (programs)
            forgetProgram(r.programName, r.programPath);
        else
            forgetHost(r.address);
    });
    menu->addSeparator();
    connect(menu->addAction(skin::text("history_clear")), &QAction::triggered, this, &HistoryPage::clearAll);
    menu->popup(global);
}

void HistoryPage::showExportMenu()
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    connect(menu->addAction(captionOfMain()), &QAction::triggered, this, [this] { exportCsv(Export::MainTable); });
    if (!m_shown.selection.empty())
        connect(menu->addAction(captionOfDetail()), &QAction::triggered, this, [this] { exportCsv(Export::DetailTable); });
    connect(menu->addAction(skin::text("history_export_chart")), &QAction::triggered, this,
            [this] { exportCsv(Export::Chart); });
    menu->popup(mapToGlobal(m_bar->itemRect(HistoryRangeBar::Export).bottomLeft()));
}

bool HistoryPage::exportCsv(Export what)
{
    std::string text;
    QString name = QStringLiteral("lumivex-history");
    switch (what) {
    case Export::MainTable:
        text = m_shown.mode == HistoryListMode::Programs ? history::programsCsv(m_shown.programs)
                                                         : history::hostsCsv(m_shown.hosts);
        name += m_shown.mode == HistoryListMode::Programs ? QStringLiteral("-programs") : QStringLiteral("-hosts");
        break;
    case Export::DetailTable:
        if (m_shown.selection.empty())
            return false;
        text = m_shown.selection.programId ? history::hostsCsv(m_shown.detailHosts)
                                           : history::programsCsv(m_shown.detailPrograms);
        name += m_shown.selection.programId ? QStringLiteral("-hosts-of-program") : QStringLiteral("-programs-of-host");
        break;
    case Export::Chart:
        text = history::seriesCsv(m_shown.series);
        name += QStringLiteral("-chart");
        break;
    }
    const std::string from = history::formatLocal(m_shown.range.from, true);
    name += QStringLiteral("-") + QString::fromStdString(from) + QStringLiteral(".csv");
    const QString path = m_dialogs.saveFileName ? m_dialogs.saveFileName(name) : QString();
    if (path.isEmpty())
        return false;
    // Written beside the file and renamed over it: an old file is never left half written.
    QSaveFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(text.data(), qint64(text.size())) == qint64(text.size()) &&
                    file.commit();
    notice(ok ? skin::text("history_exported").arg(QDir::toNativeSeparators(path))
              : skin::text("history_export_failed").arg(file.errorString()),
           !ok);
    return ok;
}

QString HistoryPage::captionOfMain() const
{
    const int rows = m_main->tableModel()->rowCount();
    return skin::text(m_mode == HistoryListMode::Programs ? "history_programs_caption" : "history_hosts_caption")
        .arg(rows);
}

QString HistoryPage::captionOfDetail() const
{
    if (m_selection.empty())
        return skin::text(m_mode == HistoryListMode::Programs ? "history_pick_program" : "history_pick_host");
    if (m_selection.programId) {
        const auto& rows = m_main->tableModel()->rows();
        const int row = m_main->selectedRow();
        const QString name = row >= 0 && std::size_t(row) < rows.size()
                                 ? QString::fromStdString(rows[std::size_t(row)].cells[0].text)
                                 : QString::fromStdString(m_selection.programName);
        return skin::text("history_hosts_of").arg(name);
    }
    return skin::text("history_programs_of").arg(QString::fromStdString(history::dottedAddress(*m_selection.host)));
}

void HistoryPage::resizeEvent(QResizeEvent*)
{
    layoutPanes();
}

void HistoryPage::layoutPanes()
{
    const int w = width(), h = height();
    m_bar->setGeometry(0, 0, w, HistoryRangeBar::kHeight);
    const int chartHeight = std::clamp(h * 2 / 5, 90, 240);
    m_chart->setGeometry(0, HistoryRangeBar::kHeight, w, chartHeight);
    const int tablesTop = HistoryRangeBar::kHeight + chartHeight + kCaptionHeight;
    // The hosts' table has more columns than the programs': it takes the larger part.
    const int left = (w - kTableGap) * (m_mode == HistoryListMode::Programs ? 9 : 11) / 20;
    const int tablesHeight = std::max(h - tablesTop, 0);
    m_main->setGeometry(0, tablesTop, left, tablesHeight);
    m_detail->setGeometry(left + kTableGap, tablesTop, std::max(w - left - kTableGap, 0), tablesHeight);
}

void HistoryPage::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int top = m_chart->geometry().bottom() + 1;
    const QRect band(0, top, width(), kCaptionHeight);
    p.fillRect(band, kBand);
    p.fillRect(QRect(m_main->geometry().right() + 1, top, kTableGap, height() - top), kGap);
    p.setFont(skin::font("f_listitem", skin::value("fh_listitem", 12) + 1));
    p.setPen(kCaption);
    const QRect mainCaption(m_main->x() + 6, top, m_main->width() - 12, kCaptionHeight);
    const QRect detailCaption(m_detail->x() + 6, top, m_detail->width() - 12, kCaptionHeight);
    drawFittedText(p, mainCaption, Qt::AlignLeft | Qt::AlignVCenter, captionOfMain());
    drawFittedText(p, detailCaption, Qt::AlignLeft | Qt::AlignVCenter, captionOfDetail());
}

void HistoryPage::showEvent(QShowEvent*)
{
    refreshStatus();
    m_status.start();
    m_refresh.start();
    if (!m_asked)
        ask(HistoryRequest::All, true);
}

void HistoryPage::hideEvent(QHideEvent*)
{
    m_status.stop();
    m_refresh.stop();
}

void HistoryPage::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        refreshStatus();
        // The rows' labels ("other programs") are in the language they were made in.
        if (m_asked)
            ask(HistoryRequest::All, false);
        update();
    }
    QWidget::changeEvent(event);
}

} // namespace orvane
