#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

} // namespace

ChildProcess::~ChildProcess()
{
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0)
        close(m_out);
}

bool ChildProcess::start(const std::vector<std::string>& args)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int rc = posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        m_pid = -1;
        close(fds[0]);
        return false;
    }
    m_out = fds[0];
    return true;
}

bool ChildProcess::readLine(std::string& line, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const size_t eol = m_output.find('\n', m_consumed);
        if (eol != std::string::npos) {
            line = m_output.substr(m_consumed, eol - m_consumed);
            m_consumed = eol + 1;
            return true;
        }
        if (m_out < 0)
            return false;
        pollfd p{m_out, POLLIN, 0};
        if (poll(&p, 1, msLeft(deadline)) <= 0)
            return false;
        char buf[4096];
        const ssize_t n = read(m_out, buf, sizeof buf);
        if (n <= 0) {
            close(m_out);
            m_out = -1;
            continue;
        }
        m_output.append(buf, size_t(n));
    }
}

int ChildProcess::finish(int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_out >= 0 && msLeft(deadline) > 0) {
        pollfd p{m_out, POLLIN, 0};
        if (poll(&p, 1, msLeft(deadline)) <= 0)
            break;
        char buf[4096];
        const ssize_t n = read(m_out, buf, sizeof buf);
        if (n <= 0) {
            close(m_out);
            m_out = -1;
            break;
        }
        m_output.append(buf, size_t(n));
    }
    if (m_pid <= 0)
        return -1;
    int status = 0;
    while (waitpid(m_pid, &status, WNOHANG) == 0) {
        if (msLeft(deadline) == 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
            return -1;
        }
        usleep(5000);
    }
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}
