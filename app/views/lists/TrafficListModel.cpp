#include "views/lists/TrafficListModel.h"

#include "core/TrafficModel.h"
#include "core/lists/ListColours.h"
#include "core/lists/ListColumn.h"
#include "views/Skin.h"
#include "views/lists/ListRoles.h"

#include <algorithm>

namespace orvane {

TrafficListModel::TrafficListModel(XTrafficKind kind, TrafficModel& model, Tick tick, CellSources sources, QObject* parent)
    : SkinTableModel(parent), m_kind(kind), m_model(model), m_tick(std::move(tick)),
      m_texts(kind, model, std::move(sources)), m_filter([this](std::uint32_t address) { return searchedText(address); })
{
}

std::string TrafficListModel::searchedText(std::uint32_t address) const
{
    XTrafficRow row;
    std::string text = dottedAddress(address);
    if (!m_model.itemDataFor(m_kind, address, row))
        return text;
    for (TrafficColumn column : {TrafficColumn::DnsName, TrafficColumn::Location, TrafficColumn::Program}) {
        text += '\n';
        text += m_texts.text(column, row);
    }
    if (m_kind == kTrafficChat) {  // the chat list names the program in its second column
        text += '\n';
        text += m_texts.text(TrafficColumn::Port, row);
    }
    return text;
}

int TrafficListModel::setFilterText(const QString& text)
{
    m_filter.setQuery(text.toStdString());
    m_model.setFilter(m_kind, m_filter.active() ? &m_filter : nullptr);
    return m_model.refilter(m_kind);
}

int TrafficListModel::unfilteredCount() const
{
    return m_model.unfilteredSize(m_kind);
}

int TrafficListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_texts.columns();
}

bool TrafficListModel::fetch(int row, XTrafficRow& out) const
{
    return row >= 0 && row < rowCount() && m_model.itemDataAt(m_kind, row, out);
}

const TrafficRowCache::Entry* TrafficListModel::uncached(int row) const
{
    if (m_scratch.row == row)
        return &m_scratch;
    if (!fetch(row, m_scratch.record)) {
        m_scratch.row = -1;
        return nullptr;
    }
    m_scratch.row = row;
    for (int c = 0; c < m_texts.columns(); ++c)
        m_scratch.cells[std::size_t(c)] = m_texts.cell(TrafficColumn(c), m_scratch.record);
    m_scratch.active = TrafficRowCache::activeAt(m_scratch.record.lastUpdate, m_tick());
    convert(m_scratch, m_scratchTexts);
    return &m_scratch;
}

void TrafficListModel::convert(const TrafficRowCache::Entry& entry, RowTexts& out)
{
    for (std::size_t c = 0; c < out.size(); ++c)
        out[c] = QString::fromStdString(entry.cells[c].text);
}

const QString& TrafficListModel::displayText(const TrafficRowCache::Entry* entry, int column) const
{
    if (entry == &m_scratch)
        return m_scratchTexts[std::size_t(column)];
    return m_cachedTexts[std::size_t(entry->row - m_cache.first())][std::size_t(column)];
}

QVariant TrafficListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const int row = index.row();
    const int column = index.column();
    switch (role) {
    case Qt::TextAlignmentRole:
        return int(toQtAlignment(trafficColumns(m_kind)[std::size_t(column)].align));
    case AddressRole:
        return addressAt(row);
    default:
        break;
    }
    const TrafficRowCache::Entry* entry = m_cache.find(row);
    if (!entry)
        entry = uncached(row);
    if (!entry)
        return {};  // the record is gone: the row shows nothing
    switch (role) {
    case Qt::DisplayRole: return displayText(entry, column);
    case Qt::ForegroundRole: return toQColor(entry->cells[std::size_t(column)].colour);
    case CellFillRole:
        if (m_markActive && entry->active && markWhenActive(TrafficColumn(column)))
            return toQColor(listcolour::activeCell);
        return {};
    case RawValueRole:
        switch (TrafficColumn(column)) {
        case TrafficColumn::SentBytes: return entry->record.bytes[1];
        case TrafficColumn::ReceivedBytes: return entry->record.bytes[0];
        case TrafficColumn::LastSeen: return entry->record.lastUpdate;
        default: return {};
        }
    default: return {};
    }
}

QVariant TrafficListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    const auto columns = trafficColumns(m_kind);
    if (orientation != Qt::Horizontal || section < 0 || std::size_t(section) >= columns.size())
        return {};
    if (role == Qt::DisplayRole)
        return skin::text(columns[std::size_t(section)].key);
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    return {};
}

int TrafficListModel::refresh(bool sort)
{
    const int count = m_model.refreshList(m_kind, sort);
    setItemCount(count);
    return count;
}

void TrafficListModel::setItemCount(int count)
{
    m_scratch.row = -1;
    m_cache.clear();
    // The order may have changed under every row.
    showRows(count);
}

std::vector<int> TrafficListModel::refreshRows(int first, int last, bool repaintAll)
{
    m_scratch.row = -1;
    last = std::min(last, rowCount() - 1);
    const auto fetcher = [this](int row, XTrafficRow& out) { return fetch(row, out); };
    std::vector<int> repaint = m_cache.load(first, last, fetcher, m_texts, m_tick(), repaintAll);
    for (int i = 0; i < m_cache.filled(); ++i)
        if (const TrafficRowCache::Entry* entry = m_cache.find(m_cache.first() + i))
            convert(*entry, m_cachedTexts[std::size_t(i)]);
    for (int row : repaint)
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    return repaint;
}

std::uint32_t TrafficListModel::addressAt(int row) const
{
    return row >= 0 && row < rowCount() ? m_model.ipAt(m_kind, row) : 0;
}

int TrafficListModel::rowOf(std::uint32_t address) const
{
    const int row = m_model.indexOfIp(m_kind, address);
    return row < rowCount() ? row : -1;
}

bool TrafficListModel::isActive(int row) const
{
    const TrafficRowCache::Entry* entry = m_cache.find(row);
    return entry && entry->active;
}

void TrafficListModel::setMarkActive(bool on)
{
    if (m_markActive == on)
        return;
    m_markActive = on;
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {CellFillRole});
}

} // namespace orvane
