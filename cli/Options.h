#pragma once

#include <string>

#ifdef LUMIVEX_HAVE_HISTORY
#include "history/Tier.h"
#endif

struct Options {
    int seconds = 0;     // 0: reprint every second until interrupted
    bool json = false;
    bool csv = false;    // the traffic tables as CSV
    bool help = false;   // print the usage and exit
    std::string logFile;
    bool service = false;       // run quietly until SIGTERM (see ServiceMode.h)
    std::string metrics;        // --metrics ADDR:PORT: serve /metrics there; empty: no endpoint
    int metricsHosts = 50;      // remote hosts with series of their own
    // Lasting history: the database (empty: the usual place), recording off, and how often
    // what was counted is written.
    std::string historyFile;
    bool noHistory = false;
    int historyFlushSeconds = 60;
#ifdef LUMIVEX_HAVE_HISTORY
    // How long each tier is kept, and the hosts kept by name per program and bucket.
    history::Retention historyKeep;
    int historyHosts = 200;
#endif
};

// Parses the command line; false (with a message in error) for unknown or malformed options.
// --help (or -h) stops the parsing there with help set.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);
extern const char* const kUsage;
