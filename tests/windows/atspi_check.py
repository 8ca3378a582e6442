#!/usr/bin/env python3
"""Starts each window program against the simulator and walks its window through AT-SPI, as a
screen reader does: the main window must be a frame, and no control may be without a name.
Run under dbus-run-session; usage: atspi_check.py SIMULATOR PROGRAM..."""
import os, subprocess, sys, tempfile, time
import gi
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, Gio

R = Atspi.Role
CONTROLS = {R.PUSH_BUTTON, R.TOGGLE_BUTTON, R.CHECK_BOX, R.RADIO_BUTTON, R.SPIN_BUTTON,
            R.SLIDER, R.COMBO_BOX, R.TEXT, R.ENTRY, R.PASSWORD_TEXT, R.TABLE}

def walk(node, found):
    """Counts the controls below node and lists those without a name."""
    if node.get_role() in CONTROLS:
        found[0] += 1
        if not (node.get_name() or "").strip():
            found[1].append(node.get_role_name())
        return
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            walk(child, found)

def frame_of(pid, deadline):
    """The program's first window once it shows on the accessibility bus; None at the deadline."""
    while time.monotonic() < deadline:
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is not None and app.get_process_id() == pid and app.get_child_count() > 0:
                return app.get_child_at_index(0)
        time.sleep(0.2)
    return None

try:  # The bus a screen reader uses; without it there is nothing to check.
    Gio.bus_get_sync(Gio.BusType.SESSION).call_sync(
        "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None, None,
        Gio.DBusCallFlags.NONE, 10000)
except Exception as error:
    print(f"atspi_check: SKIPPED, the AT-SPI bus does not start: {error}")
    sys.exit(77)

Atspi.init()
# An X server of its own on a display it picks itself, so that parallel tests never share one.
read_end, write_end = os.pipe()
xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1366x768x24",
                         "-nolisten", "tcp"], pass_fds=[write_end])
os.close(write_end)
display = os.read(read_end, 16).decode().strip()
sim = subprocess.Popen([sys.argv[1], "--tcp", "0"], stdout=subprocess.PIPE, text=True)
port = sim.stdout.readline().split(":")[-1].strip()
home = tempfile.TemporaryDirectory()  # remembered settings go there, not to the user's
env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
           DISPLAY=f":{display}",
           HOME=home.name, XDG_CONFIG_HOME=home.name, XDG_DATA_HOME=home.name)
failed = False
for program in sys.argv[2:]:
    name = os.path.basename(program)
    app = subprocess.Popen([program, "--tcp", f"127.0.0.1:{port}"], env=env)
    try:
        frame = frame_of(app.pid, time.monotonic() + 60)
        found = [0, []]
        if frame is not None:
            walk(frame, found)
        role = frame.get_role_name() if frame is not None else "no window"
        print(f"{name}: role {role}, {found[0]} controls checked, {len(found[1])} without a name"
              + (f": {', '.join(found[1])}" if found[1] else ""))
        failed |= role != "frame" or found[0] == 0 or bool(found[1])
    finally:
        app.terminate()
        app.wait(30)
for process in (sim, xvfb):
    process.terminate()
    process.wait(30)
sys.exit(1 if failed else 0)
