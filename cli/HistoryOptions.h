#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "history/TimeRange.h"

// The command line of `lumivex history`: what to show from the history database, or what to
// forget from it.
struct HistoryOptions {
    enum class By { Program, Host, Location, Hour, Day, Month };
    enum class Format { Text, Json, Csv };
    enum class Action { Show, ForgetProgram, ForgetHost, Clear };

    Action action = Action::Show;
    history::TimeRange range;   // resolved against the time given to the parser
    std::string rangeText;      // as the user gave it, for the heading
    By by = By::Program;
    bool byGiven = false;
    std::string program;        // --program NAME (base name or image path)
    std::optional<uint32_t> host;  // --host ADDR, host byte order
    Format format = Format::Text;
    std::string file;           // --history FILE; empty: the usual place
    std::string forgetProgram;  // --forget-program NAME
    uint32_t forgetHost = 0;    // --forget-host ADDR
    bool help = false;
};

// argv[0] is "history". Default range: the last 24 hours; default grouping: by program, by
// host when --program is given. False with a message for anything malformed.
bool parseHistoryOptions(int argc, char** argv, int64_t now, HistoryOptions& options, std::string& error);

// "10.0.0.1" to a host-order address.
bool parseAddress(const std::string& text, uint32_t& out);

extern const char* const kHistoryUsage;
