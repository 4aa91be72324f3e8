#include "proc.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

}  // namespace

ChildProcess::~ChildProcess()
{
    CloseStdin();
    if (m_pid > 0 && Running()) {
        Signal(SIGTERM);
        if (!Wait(3000)) {
            Signal(SIGKILL);
            Wait(3000);
        }
    }
    CloseFd(m_out);
    CloseFd(m_err);
}

bool ChildProcess::Start(const std::vector<std::string>& argv)
{
    if (argv.empty() || m_pid > 0)
        return false;
    int in[2], out[2], err[2];
    int* pipes[] = {in, out, err};
    for (int i = 0; i < 3; ++i) {
        if (pipe2(pipes[i], O_CLOEXEC) != 0) {
            while (i-- > 0)
                close(pipes[i][0]), close(pipes[i][1]);
            return false;
        }
    }
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        // A child must not outlive a test that dies (it may hold shared objects).
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        execv(args[0], args.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (pid < 0) {
        close(in[1]), close(out[0]), close(err[0]);
        return false;
    }
    m_pid = pid;
    m_in = in[1];
    m_out = out[0];
    m_err = err[0];
    return true;
}

bool ChildProcess::WriteLine(const std::string& line)
{
    return Write(line + "\n");
}

bool ChildProcess::Write(const std::string& text)
{
    if (m_in < 0)
        return false;
    size_t done = 0;
    while (done < text.size()) {
        // A child that has gone away must fail the write, not kill the test.
        sighandler_t old = signal(SIGPIPE, SIG_IGN);
        ssize_t n = write(m_in, text.data() + done, text.size() - done);
        signal(SIGPIPE, old);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void ChildProcess::CloseStdin()
{
    CloseFd(m_in);
}

void ChildProcess::Pump(int timeoutMs)
{
    struct pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
    if (m_out < 0 && m_err < 0)
        return;
    if (poll(fds, 2, timeoutMs) <= 0)
        return;
    char buf[4096];
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0)
            continue;
        ssize_t n = read(fds[i].fd, buf, sizeof buf);
        if (n > 0)
            (i == 0 ? m_outBuf : m_errBuf).append(buf, static_cast<size_t>(n));
        else if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
            CloseFd(i == 0 ? m_out : m_err);
    }
}

bool ChildProcess::ReadLine(std::string* line, int timeoutMs)
{
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        size_t nl = m_outBuf.find('\n');
        if (nl != std::string::npos) {
            *line = m_outBuf.substr(0, nl);
            m_outBuf.erase(0, nl + 1);
            return true;
        }
        if (m_out < 0 || MsLeft(deadline) == 0)
            return false;
        Pump(MsLeft(deadline));
    }
}

bool ChildProcess::WaitForLine(const std::string& prefix, int timeoutMs, std::string* line)
{
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string got;
    while (ReadLine(&got, MsLeft(deadline))) {
        if (got.compare(0, prefix.size(), prefix) == 0) {
            if (line != nullptr)
                *line = got;
            return true;
        }
    }
    return false;
}

std::string ChildProcess::Stderr()
{
    Pump(0);
    return m_errBuf;
}

bool ChildProcess::Reap(bool block)
{
    if (m_pid <= 0)
        return true;
    int status = 0;
    pid_t r = waitpid(m_pid, &status, block ? 0 : WNOHANG);
    if (r != m_pid)
        return false;
    m_exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    m_termSignal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    m_pid = -1;
    return true;
}

bool ChildProcess::Running()
{
    return m_pid > 0 && !Reap(false);
}

bool ChildProcess::Signal(int sig)
{
    return m_pid > 0 && kill(m_pid, sig) == 0;
}

bool ChildProcess::Wait(int timeoutMs)
{
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        // Keep the pipes drained so that a chatty child cannot block on them.
        Pump(0);
        if (Reap(false))
            return true;
        if (MsLeft(deadline) == 0)
            return false;
        usleep(2000);
    }
}
