// The console's command lines, live and `lumivex history`: the input split at NUL bytes into
// arguments.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Options.h"
#ifdef LUMIVEX_HAVE_HISTORY
#include "HistoryOptions.h"
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> args = {"lumivex"};
    std::string current;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current += char(data[i]);
        }
    }
    if (!current.empty())
        args.push_back(current);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    Options options;
    std::string error;
    const bool ok = parseOptions(int(args.size()), argv.data(), options, error);
    if (ok != error.empty() || options.seconds < 0)
        __builtin_trap();

#ifdef LUMIVEX_HAVE_HISTORY
    argv[0] = const_cast<char*>("history");
    HistoryOptions history;
    std::string historyError;
    const bool historyOk = parseHistoryOptions(int(args.size()), argv.data(), 1750000000, history, historyError);
    if (historyOk != historyError.empty() ||
        (historyOk && !history.help && history.action == HistoryOptions::Action::Show && history.range.empty()))
        __builtin_trap();
#endif
    return 0;
}
