#include "core/history/HistoryQuery.h"

namespace orvane {

HistoryResult emptyAnswerTo(const HistoryRequest& request)
{
    HistoryResult result;
    result.serial = request.serial;
    result.parts = request.parts;
    result.range = request.range;
    result.covered = request.range;
    result.chartCovered = request.chartRange;
    result.step = request.step;
    result.mode = request.mode;
    result.selection = request.selection;
    return result;
}

HistoryResult runHistoryQuery(history::HistoryReader& reader, const HistoryRequest& request)
{
    HistoryResult result = emptyAnswerTo(request);
    const auto take = [&result](const history::Answer& answer, history::TimeRange* covered) {
        if (!answer.ok) {
            result.error = answer.error;
            return false;
        }
        if (covered)
            *covered = answer.covered;
        return true;
    };
    if (request.parts & HistoryRequest::List) {
        const bool ok = request.mode == HistoryListMode::Programs
                            ? take(reader.programs(request.range, {}, result.programs), &result.covered)
                            : take(reader.hosts(request.range, {}, result.hosts), &result.covered);
        if (!ok)
            return result;
    }
    if ((request.parts & HistoryRequest::Series) &&
        !take(reader.series(request.chartRange, request.step, {}, result.series), &result.chartCovered))
        return result;
    if ((request.parts & HistoryRequest::Detail) && !request.selection.empty()) {
        history::Filter filter;
        if (request.selection.programId) {
            filter.programId = request.selection.programId;
            if (!take(reader.hosts(request.range, filter, result.detailHosts), nullptr))
                return result;
        } else {
            filter.host = request.selection.host;
            if (!take(reader.programs(request.range, filter, result.detailPrograms), nullptr))
                return result;
        }
    }
    result.ok = true;
    return result;
}

} // namespace orvane
