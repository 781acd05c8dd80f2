#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// A helper program run to completion: started, its standard output collected, reaped. A
// child still running at the deadline is killed.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool start(const std::vector<std::string>& argv);
    // Reads output until a whole line arrives (without the newline); false at end or timeout.
    bool readLine(std::string& line, int timeoutMs);
    // Collects the rest of the output and reaps the child; its exit status, -1 when killed
    // at the deadline.
    int finish(int timeoutMs);

    pid_t pid() const { return m_pid; }
    const std::string& output() const { return m_output; }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_output;   // everything read
    size_t m_consumed = 0;  // part of m_output handed out by readLine
};
