// dek-xwatch: reports what happens to the top-level windows of an X display,
// one line an event, each with the time on the monotonic clock in seconds:
//   map T WIN PID X Y W H TITLE    a window was mapped (PID 0 when unknown)
//   popup T WIN PID X Y W H TITLE  the same for a menu, list or tooltip
//                                  (override-redirect: never a dialog)
//   geom T WIN X Y W H             it moved or changed size
//   title T WIN TITLE              its title changed
//   unmap T WIN                    it was unmapped
//   destroy T WIN                  it is gone (its id may come again)
//   damage T WIN X,Y,W,H ...       something was drawn into it (XDamage)
// "close WIN" on standard input asks a window to close, as its close box
// does; "quit" or the end of input ends the program. scripts/soak uses it to
// see which panels repaint, which dialogs they open and when.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

// Bounding rectangles listed at most per damage line; more are merged into
// one box, which is still true about where the window was drawn.
constexpr int kMaxRects = 8;

struct Atoms {
    Atom pid, netName, utf8, protocols, deleteWindow;
};

double Now()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Windows come and go between the event and the request about them.
int IgnoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

unsigned long CardinalProperty(Display* dpy, Window win, Atom property)
{
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    unsigned long value = 0;
    if (XGetWindowProperty(dpy, win, property, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
            Success &&
        data != nullptr && count == 1 && format == 32)
        value = *reinterpret_cast<unsigned long*>(data);
    if (data != nullptr)
        XFree(data);
    return value;
}

std::string Title(Display* dpy, Window win, const Atoms& atoms)
{
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(dpy, win, atoms.netName, 0, 1024, False, atoms.utf8, &type, &format, &count, &after,
                           &data) == Success &&
        data != nullptr && format == 8)
        title.assign(reinterpret_cast<char*>(data), count);
    if (data != nullptr)
        XFree(data);
    if (title.empty()) {
        char* name = nullptr;
        if (XFetchName(dpy, win, &name) && name != nullptr) {
            title = name;
            XFree(name);
        }
    }
    // One line an event, whatever the title holds.
    for (char& c : title)
        if (c == '\n' || c == '\r')
            c = ' ';
    return title;
}

class Watcher {
public:
    Watcher(Display* dpy, int damageEvent) : m_dpy(dpy), m_damageEvent(damageEvent)
    {
        m_atoms.pid = XInternAtom(dpy, "_NET_WM_PID", False);
        m_atoms.netName = XInternAtom(dpy, "_NET_WM_NAME", False);
        m_atoms.utf8 = XInternAtom(dpy, "UTF8_STRING", False);
        m_atoms.protocols = XInternAtom(dpy, "WM_PROTOCOLS", False);
        m_atoms.deleteWindow = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
        m_region = XFixesCreateRegion(dpy, nullptr, 0);
    }

    void WatchExisting()
    {
        Window root = DefaultRootWindow(m_dpy);
        XSelectInput(m_dpy, root, SubstructureNotifyMask);
        Window rootRet, parent;
        Window* children = nullptr;
        unsigned int n = 0;
        if (XQueryTree(m_dpy, root, &rootRet, &parent, &children, &n)) {
            for (unsigned int i = 0; i < n; ++i) {
                XWindowAttributes wa;
                if (XGetWindowAttributes(m_dpy, children[i], &wa) && wa.map_state == IsViewable)
                    Mapped(children[i]);
            }
        }
        if (children != nullptr)
            XFree(children);
    }

    void Handle(XEvent& ev)
    {
        if (ev.type == m_damageEvent + XDamageNotify) {
            Damaged(reinterpret_cast<XDamageNotifyEvent&>(ev));
            return;
        }
        switch (ev.type) {
        case MapNotify:
            if (ev.xmap.event == DefaultRootWindow(m_dpy))
                Mapped(ev.xmap.window);
            break;
        case UnmapNotify:
            if (ev.xunmap.event == DefaultRootWindow(m_dpy) && m_damage.count(ev.xunmap.window))
                printf("unmap %.3f 0x%lx\n", Now(), ev.xunmap.window);
            break;
        case DestroyNotify:
            if (m_damage.erase(ev.xdestroywindow.window))
                printf("destroy %.3f 0x%lx\n", Now(), ev.xdestroywindow.window);
            break;
        case ConfigureNotify:
            if (ev.xconfigure.event == DefaultRootWindow(m_dpy) && m_damage.count(ev.xconfigure.window))
                printf("geom %.3f 0x%lx %d %d %d %d\n", Now(), ev.xconfigure.window, ev.xconfigure.x, ev.xconfigure.y,
                       ev.xconfigure.width, ev.xconfigure.height);
            break;
        case PropertyNotify:
            if (ev.xproperty.atom == m_atoms.netName || ev.xproperty.atom == XA_WM_NAME)
                printf("title %.3f 0x%lx %s\n", Now(), ev.xproperty.window,
                       Title(m_dpy, ev.xproperty.window, m_atoms).c_str());
            break;
        default: break;
        }
    }

    void Close(Window win)
    {
        XEvent ev = {};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = win;
        ev.xclient.message_type = m_atoms.protocols;
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = static_cast<long>(m_atoms.deleteWindow);
        ev.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_dpy, win, False, NoEventMask, &ev);
        XFlush(m_dpy);
    }

private:
    void Mapped(Window win)
    {
        if (!m_damage.count(win)) {
            XSelectInput(m_dpy, win, PropertyChangeMask);
            m_damage[win] = XDamageCreate(m_dpy, win, XDamageReportNonEmpty);
        }
        XWindowAttributes wa = {};
        XGetWindowAttributes(m_dpy, win, &wa);
        printf("%s %.3f 0x%lx %lu %d %d %d %d %s\n", wa.override_redirect ? "popup" : "map", Now(), win,
               CardinalProperty(m_dpy, win, m_atoms.pid), wa.x, wa.y, wa.width, wa.height,
               Title(m_dpy, win, m_atoms).c_str());
    }

    void Damaged(const XDamageNotifyEvent& de)
    {
        // Taking the damage away re-arms the report for the next drawing.
        XDamageSubtract(m_dpy, de.damage, None, m_region);
        int n = 0;
        XRectangle bounds = {};
        XRectangle* rects = XFixesFetchRegionAndBounds(m_dpy, m_region, &n, &bounds);
        std::string text;
        if (rects != nullptr && n > kMaxRects) {
            rects[0] = bounds;
            n = 1;
        }
        char part[64];
        for (int i = 0; rects != nullptr && i < n; ++i) {
            snprintf(part, sizeof part, " %d,%d,%d,%d", rects[i].x, rects[i].y, rects[i].width, rects[i].height);
            text += part;
        }
        if (rects != nullptr)
            XFree(rects);
        printf("damage %.3f 0x%lx%s\n", Now(), de.drawable, text.c_str());
    }

    Display* m_dpy;
    int m_damageEvent;
    Atoms m_atoms;
    XserverRegion m_region;
    std::map<Window, Damage> m_damage;
};

// Runs the commands in `pending` that are complete lines; false on "quit".
bool RunCommands(Watcher& watcher, std::string& pending)
{
    size_t nl;
    while ((nl = pending.find('\n')) != std::string::npos) {
        std::string line = pending.substr(0, nl);
        pending.erase(0, nl + 1);
        if (line == "quit")
            return false;
        if (line.compare(0, 6, "close ") == 0)
            watcher.Close(static_cast<Window>(strtoul(line.c_str() + 6, nullptr, 0)));
    }
    return true;
}

}  // namespace

int main()
{
    Display* dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr) {
        fprintf(stderr, "dek-xwatch: cannot open the display\n");
        return 2;
    }
    int damageEvent, damageError, fixesEvent, fixesError;
    if (!XDamageQueryExtension(dpy, &damageEvent, &damageError) ||
        !XFixesQueryExtension(dpy, &fixesEvent, &fixesError)) {
        fprintf(stderr, "dek-xwatch: the display has no DAMAGE or XFIXES extension\n");
        return 2;
    }
    XSetErrorHandler(IgnoreErrors);
    Watcher watcher(dpy, damageEvent);
    watcher.WatchExisting();
    printf("ready\n");
    fflush(stdout);

    std::string pending;
    bool running = true;
    while (running) {
        while (XPending(dpy) > 0) {
            XEvent ev;
            XNextEvent(dpy, &ev);
            watcher.Handle(ev);
        }
        fflush(stdout);
        struct pollfd fds[2] = {{ConnectionNumber(dpy), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (poll(fds, 2, 1000) < 0 && errno != EINTR)
            break;
        if (fds[0].revents & (POLLERR | POLLHUP))
            break;
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char buf[1024];
            ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
            if (n <= 0)
                break;
            pending.append(buf, static_cast<size_t>(n));
            running = RunCommands(watcher, pending);
        }
    }
    XCloseDisplay(dpy);
    return 0;
}
