#!/usr/bin/env python3
"""Starts each window program against the simulator on an X server of its own and reads its
window through AT-SPI, as a screen reader does: a frame, with no control that has no name.
Run under dbus-run-session: atspi_check.py SIMULATOR PROGRAM..."""
import os, subprocess, sys, tempfile, time
import gi
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, Gio

R = Atspi.Role
CONTROLS = {R.PUSH_BUTTON, R.TOGGLE_BUTTON, R.CHECK_BOX, R.RADIO_BUTTON, R.SPIN_BUTTON,
            R.SLIDER, R.COMBO_BOX, R.TEXT, R.ENTRY, R.TABLE}

def walk(node, controls, unnamed):
    if node.get_role() in CONTROLS:
        controls.append(node)
        if not (node.get_name() or "").strip():
            unnamed.append(node.get_role_name())
        return
    for child in (node.get_child_at_index(i) for i in range(node.get_child_count())):
        if child is not None:
            walk(child, controls, unnamed)

def window_of(pid, deadline):
    while time.monotonic() < deadline:
        desktop = Atspi.get_desktop(0)
        for app in (desktop.get_child_at_index(i) for i in range(desktop.get_child_count())):
            if app is not None and app.get_process_id() == pid and app.get_child_count() > 0:
                return app.get_child_at_index(0)
        time.sleep(0.2)

try:  # the bus a screen reader uses; without it there is nothing to check
    Gio.bus_get_sync(Gio.BusType.SESSION).call_sync(
        "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None, None,
        Gio.DBusCallFlags.NONE, 10000)
except Exception as error:
    print(f"atspi_check: SKIPPED, the AT-SPI bus does not start: {error}")
    sys.exit(77)
Atspi.init()
read_end, write_end = os.pipe()  # the X server picks a free display and says which
xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1366x768x24",
                         "-nolisten", "tcp"], pass_fds=[write_end])
display = os.read(read_end, 16).decode().strip()
sim = subprocess.Popen([sys.argv[1], "--tcp", "0"], stdout=subprocess.PIPE, text=True)
port = sim.stdout.readline().split(":")[-1].strip()
home = tempfile.TemporaryDirectory()  # remembered settings go there
env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
           DISPLAY=f":{display}", HOME=home.name, XDG_CONFIG_HOME=home.name,
           XDG_DATA_HOME=home.name)
failed = False
for program in sys.argv[2:]:
    app = subprocess.Popen([program, "--tcp", f"127.0.0.1:{port}"], env=env)
    window, controls, unnamed = window_of(app.pid, time.monotonic() + 60), [], []
    if window is not None:
        walk(window, controls, unnamed)
    role = window.get_role_name() if window is not None else "no window"
    print(f"{os.path.basename(program)}: role {role}, {len(controls)} controls checked, "
          f"{len(unnamed)} without a name {unnamed}")
    failed |= role != "frame" or not controls or bool(unnamed)
    app.terminate()
    app.wait(30)
for process in (sim, xvfb):
    process.terminate()
    process.wait(30)
sys.exit(1 if failed else 0)
