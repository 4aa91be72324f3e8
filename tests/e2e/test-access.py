#!/usr/bin/python3
"""What a screen reader reads of the real dek through the accessibility bus.

Run inside dbus-run-session on an X display: test-access.py DEK DEVHOST."""
import os, subprocess, sys, tempfile, time

import pyatspi
from gi.repository import Gio, GLib

DEK, HOST = sys.argv[1], sys.argv[2]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAILED:", what, file=sys.stderr)


def wait_for(find, seconds=10):
    end = time.time() + seconds
    while time.time() < end:
        found = find()
        if found:
            return found
        time.sleep(0.2)
    return None


def objects(root):
    yield root
    for i in range(root.childCount):
        child = root.getChildAtIndex(i)
        if child is not None:
            yield from objects(child)


def frame(title):
    for app in pyatspi.Registry.getDesktop(0):
        try:  # a program that has just ended may still be listed
            for window in app or []:
                if window is not None and window.name == title:
                    return window
        except Exception:
            pass
    return None


def named(root, role, name):
    return next((o for o in objects(root) if o.getRoleName() == role and o.name == name), None)


work = tempfile.TemporaryDirectory()
env = dict(os.environ, HOME=work.name, XDG_CONFIG_HOME=work.name, GSETTINGS_BACKEND="memory")
env.pop("NO_AT_BRIDGE", None)
machine = str(9000 + os.getpid() % 900)
bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], env=env)


def bus_up():
    try:
        Gio.bus_get_sync(Gio.BusType.SESSION).call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress",
                                                         None, None, Gio.DBusCallFlags.NO_AUTO_START, 500, None)
        return True
    except GLib.Error:
        return False


# A program that opens the display while the bus and its registry start may
# fail to: both are up before the first panel starts.
check(wait_for(bus_up) and pyatspi.Registry.getDesktop(0).childCount >= 0, "the accessibility bus starts")
host = subprocess.Popen([HOST, "--machine", machine, "--root", work.name, "--periph", "5:DR",
                         "--periph", "9:MX:SC7930:lines=1"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                        env=env, text=True)
panels = []
try:
    check(host.stdout.readline().strip() == "published 5", "the host publishes")
    # The selection list: one row per line of the list, each cell with its heading.
    panels.append(subprocess.Popen([DEK, "-M", machine], env=env))
    dialog = wait_for(lambda: frame("Select peripheral"))
    check(dialog is not None, "the selection dialog is on the bus")
    rows = [o for o in objects(dialog) if o.getRoleName() == "table row"] if dialog else []
    check([r.name for r in rows] == ["SI# 5, OP# 5, Desc DR1962, Type *DR, Misc. 2 transports",
                                     "SI# 9, OP# 9, Desc SC7930, Type *MX, Misc. 1 lines",
                                     'Desc ", Misc. L1  async,  2400 BPS'], [r.name for r in rows])
    cells = [(c.description, c.name) for c in objects(rows[0])][1:3] if rows else []
    check(cells == [("SI#", "5"), ("OP#", "5")], cells)
    panels[0].terminate()

    # A drum's panel: named push buttons, both halves of a split one; the
    # operator number as a label; ENG pressed through its action lights.
    panels.append(subprocess.Popen([DEK, "-M", machine, "-S", "5"], env=env))
    panel = wait_for(lambda: frame("U05 - DR1962"))
    check(panel is not None, "the panel is on the bus")
    if panel:
        shown = [(o.getRoleName(), o.name) for o in objects(panel)
                 if o.getRoleName() in ("push button", "label") and o.getState().contains(pyatspi.STATE_SHOWING)]
        check(shown == [("push button", "START slow"), ("push button", "RESET hot"), ("push button", "STOP"),
                        ("push button", "ENG"), ("label", "05"), ("label", "Q:"), ("label", "P:")], shown)
        reset = named(panel, "push button", "RESET hot")
        check(reset.description.startswith("RESET: start the panel"), reset.description)
        eng = named(panel, "push button", "ENG")
        action = eng.queryAction()
        check([action.getName(i) for i in range(action.nActions)] == ["click"], "one action, click")
        check(not eng.getState().contains(pyatspi.STATE_CHECKED), "ENG dark")
        action.doAction(0)
        check(wait_for(lambda: eng.getState().contains(pyatspi.STATE_CHECKED)), "ENG lit by its action")
        check(dict(a.split(":", 1) for a in reset.getAttributes()).get("lower-lamp") == "dark", "hot dark")
finally:
    for p in panels + [host, bus]:
        p.terminate()
        p.wait()
print("accessibility: %d failures" % len(failures))
sys.exit(1 if failures else 0)
