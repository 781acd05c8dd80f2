#pragma once

#include <cstdio>
#include <mutex>
#include <string>

// Process-wide logger. Every line carries a timestamp and its level and goes to standard
// error and, once setLogFile() succeeded, to that file as well. Thread-safe.
class XLog {
public:
    static XLog* Instance();

    static void debug(int level, const std::string& text);
    static void debug(int level, const std::string& text, const std::string& detail);
    static void debug(int level, const std::string& text, unsigned long value);

    // Appends to the file at path (UTF-8) from now on (created when missing); false when it
    // cannot be opened or is not a regular file (a FIFO or a device is refused, never waited
    // for).
    bool setLogFile(const std::string& path);
    // Lines below this level are dropped (default 0: everything is written).
    void setMinLevel(int level);
    // Whether lines are copied to standard error (default true).
    void setEchoToStderr(bool echo);

private:
    XLog() = default;
    ~XLog();
    void write(int level, const std::string& line);

    static XLog* m_instance;
    std::mutex m_mutex;
    std::FILE* m_file = nullptr;
    int m_minLevel = 0;
    bool m_echo = true;
};
