// A test's child process on pipes, read line by line with time limits, always reaped.
#pragma once
#include <string>
#include <sys/types.h>
#include <vector>

class ChildProcess {
public:
    ChildProcess() = default;
    // Ends a child still running: SIGTERM, a grace period, then SIGKILL.
    virtual ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] (a path); an exec failure shows as exit status 127.
    bool Start(const std::vector<std::string>& argv);

    // Writes `line` and a newline to the child's standard input.
    bool WriteLine(const std::string& line);
    bool Write(const std::string& text);
    void CloseStdin();

    // The next line of standard output; false on time-out or end of output.
    bool ReadLine(std::string* line, int timeoutMs);
    // Reads lines until one starts with `prefix`; false on time-out or end.
    bool WaitForLine(const std::string& prefix, int timeoutMs, std::string* line = nullptr);
    // What the child has written to standard error so far.
    std::string Stderr();

    bool Running();
    bool Signal(int sig);
    // Waits for the child to end. True when it ended within `timeoutMs`.
    bool Wait(int timeoutMs);
    // Valid after Wait: the exit status, or -1 when a signal ended it.
    int ExitStatus() const { return m_exitStatus; }
    int TermSignal() const { return m_termSignal; }
    pid_t Pid() const { return m_pid; }

private:
    // Drains the pipes, waiting at most `timeoutMs` for something to arrive.
    void Pump(int timeoutMs);
    bool Reap(bool block);

    pid_t m_pid = -1;
    int m_in = -1, m_out = -1, m_err = -1;
    std::string m_outBuf, m_errBuf;
    int m_exitStatus = -1;
    int m_termSignal = 0;
};
