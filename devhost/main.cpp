// dek-devhost: a stand-in for the emulator host that publishes and serves
// peripherals' shared blocks, for demonstrations, tests and development.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include "host.h"

namespace {

volatile sig_atomic_t g_stopSignal = 0;

void OnStopSignal(int sig)
{
    g_stopSignal = sig;
}

// SIGINT, SIGTERM and SIGHUP end the run in the main loop, so that every
// object is removed; a reader that went away must not kill the host.
void InstallSignalHandlers()
{
    struct sigaction sa = {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

void PrintLine(const std::string& line)
{
    fputs(line.c_str(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

double MonotonicSeconds()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

std::string CurrentDirectory()
{
    char buf[4096];
    return getcwd(buf, sizeof buf) != nullptr ? std::string(buf) : std::string("/");
}

// Reads what standard input has and runs each complete line. False when a
// command asked to quit or input ended and the host is to end with it.
bool ReadCommands(DevHost::Host& host, std::string& pending, bool exitOnEof, bool* inputOpen)
{
    char buf[4096];
    ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
    if (n < 0)
        return errno == EINTR || errno == EAGAIN;
    if (n == 0) {
        *inputOpen = false;
        if (!pending.empty() && !host.Execute(pending))
            return false;
        pending.clear();
        return !exitOnEof;
    }
    pending.append(buf, static_cast<size_t>(n));
    size_t nl;
    while ((nl = pending.find('\n')) != std::string::npos) {
        std::string line = pending.substr(0, nl);
        pending.erase(0, nl + 1);
        if (!host.Execute(line))
            return false;
    }
    // A line that never ends is not a command; keep memory bounded.
    if (pending.size() > 65536) {
        PrintLine("error line too long");
        pending.clear();
    }
    return true;
}

int Run(const DevHost::HostOptions& options)
{
    DevHost::Host host(options, PrintLine);
    std::string error;
    if (!host.PublishAll(&error)) {
        fprintf(stderr, "dek-devhost: %s\n", error.c_str());
        return 2;
    }
    if (!host.StartOptionChaos(&error)) {
        fprintf(stderr, "dek-devhost: %s\n", error.c_str());
        return 2;
    }
    PrintLine("ready");
    bool inputOpen = true;
    std::string pending;
    bool running = true;
    while (running && g_stopSignal == 0) {
        struct pollfd pfd = {STDIN_FILENO, POLLIN, 0};
        int ready = poll(&pfd, inputOpen ? 1 : 0, static_cast<int>(options.pollMs));
        if (ready > 0 && (pfd.revents & (POLLIN | POLLHUP | POLLERR)) != 0)
            running = ReadCommands(host, pending, options.exitOnEof, &inputOpen);
        else if (ready > 0 && (pfd.revents & POLLNVAL) != 0)
            inputOpen = false;
        host.Poll(MonotonicSeconds());
    }
    host.WithdrawAll();
    if (g_stopSignal != 0)
        fprintf(stderr, "dek-devhost: signal %d, peripherals withdrawn\n", static_cast<int>(g_stopSignal));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    InstallSignalHandlers();
    std::vector<std::string> args(argv + 1, argv + argc);
    DevHost::HostOptions options;
    std::string error;
    if (!DevHost::ParseHostOptions(args, CurrentDirectory(), &options, &error)) {
        fprintf(stderr, "dek-devhost: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        fputs(DevHost::UsageText().c_str(), stdout);
        return 0;
    }
    struct stat st;
    if (stat(options.root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        fprintf(stderr, "dek-devhost: the root %s is not a directory\n", options.root.c_str());
        return 2;
    }
    return Run(options);
}
