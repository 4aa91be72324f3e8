// dek-mapwait: start a program and report how long it took until its first
// top-level window was mapped, seen from the X server. Polling with xdotool
// or xwininfo would add its own start-up to every sample; watching the root
// window's map notifications costs nothing in the measured process.
//
//   dek-mapwait [--timeout SECONDS] -- PROGRAM [ARG...]
//
// Prints "mapped MILLISECONDS PID", then ends the program (SIGTERM) and
// reaps it. Exit status 1 when nothing was mapped in time.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double NowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// The _NET_WM_PID of a window; 0 when it has none. Toolkits set it before
// mapping, so it tells the started program's windows from anyone else's.
long WindowPid(Display* dpy, Window w, Atom pidAtom)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = 0;
    if (XGetWindowProperty(dpy, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
            Success &&
        data != nullptr) {
        if (type == XA_CARDINAL && format == 32 && count == 1)
            pid = *reinterpret_cast<long*>(data);
        XFree(data);
    }
    return pid;
}

// A window that vanished between its map and our question is not an error.
int IgnoreXErrors(Display*, XErrorEvent*)
{
    return 0;
}

void EndChild(pid_t child)
{
    kill(child, SIGTERM);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

int Usage()
{
    fprintf(stderr, "usage: dek-mapwait [--timeout SECONDS] -- PROGRAM [ARG...]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    double timeoutMs = 20000;
    int i = 1;
    for (; i < argc; ++i) {
        if (strcmp(argv[i], "--") == 0) {
            ++i;
            break;
        }
        if (strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) {
            timeoutMs = atof(argv[++i]) * 1e3;
        } else {
            return Usage();
        }
    }
    if (i >= argc || timeoutMs <= 0)
        return Usage();

    Display* dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr) {
        fprintf(stderr, "dek-mapwait: cannot open the display (is DISPLAY set?)\n");
        return 2;
    }
    XSetErrorHandler(IgnoreXErrors);
    const Atom pidAtom = XInternAtom(dpy, "_NET_WM_PID", False);
    XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);
    XSync(dpy, False);

    const double start = NowMs();
    pid_t child = fork();
    if (child < 0) {
        perror("dek-mapwait: fork");
        return 2;
    }
    if (child == 0) {
        close(ConnectionNumber(dpy));
        execvp(argv[i], argv + i);
        fprintf(stderr, "dek-mapwait: cannot run %s: %s\n", argv[i], strerror(errno));
        _exit(127);
    }

    const int fd = ConnectionNumber(dpy);
    for (;;) {
        while (XPending(dpy) > 0) {
            XEvent ev;
            XNextEvent(dpy, &ev);
            if (ev.type != MapNotify || ev.xmap.override_redirect)
                continue;
            if (WindowPid(dpy, ev.xmap.window, pidAtom) != child)
                continue;
            const double elapsed = NowMs() - start;
            printf("mapped %.3f %d\n", elapsed, static_cast<int>(child));
            fflush(stdout);
            EndChild(child);
            XCloseDisplay(dpy);
            return 0;
        }
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            fprintf(stderr, "dek-mapwait: %s ended before mapping a window\n", argv[i]);
            return 1;
        }
        const double left = timeoutMs - (NowMs() - start);
        if (left <= 0) {
            fprintf(stderr, "dek-mapwait: no window of %s mapped within %.0f ms\n", argv[i], timeoutMs);
            EndChild(child);
            return 1;
        }
        pollfd pfd = {fd, POLLIN, 0};
        poll(&pfd, 1, left < 50 ? static_cast<int>(left) + 1 : 50);
    }
}
