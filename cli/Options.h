#pragma once

#include <string>

struct Options {
    int seconds = 0;     // 0: reprint every second until interrupted
    bool json = false;
    std::string logFile;
};

// Parses the command line; false (with a message in error) for unknown or malformed options.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);
extern const char* const kUsage;
