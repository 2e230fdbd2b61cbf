#!/usr/bin/python3
"""Drives the configuration dialog through the accessibility bus, as a screen reader or a
UI-automation tool would: finds the pages and buttons by their accessible names, changes the
wave duration, and checks what "Cancel", "Ok" and "About" do.

Run inside a D-Bus session (CTest does: dbus-run-session -- cfg_dialog_atspi.py PROGRAM). The
script starts an Xvfb server of its own on a display number the server picks, so that parallel
test runs never race for one. The user hive is a scratch file; the program finds the machine
hive staged in the build folder."""

import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

PROGRAM = sys.argv[1]
TIMEOUT = 20.0


def wait_for(what, find):
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        try:
            found = find()
        except Exception:  # objects vanish while the tree changes
            found = None
        if found:
            return found
        time.sleep(0.2)
    raise AssertionError("timed out waiting for " + what)


def descendants(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None:
            continue
        yield child
        yield from descendants(child)


def find(node, role, name):
    for child in descendants(node):
        if child.getRole() == role and child.name == name:
            return child
    return None


def window(role, name):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None:
            continue
        for top in app:
            if top is not None and top.getRole() == role and top.name == name:
                return top
    return None


def press(node):
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    action.doAction(names.index("Press") if "Press" in names else 0)


def select_page(dialog, name):
    tab = wait_for("page " + name, lambda: find(dialog, pyatspi.ROLE_PAGE_TAB, name))
    press(tab)
    return tab


class Dialog:
    def __init__(self, env):
        # An application that starts while the bus's registry is still coming up can miss
        # being listed; a second start is then listed.
        for attempt in range(2):
            self.process = subprocess.Popen([PROGRAM, "/c"], env=env)
            try:
                self.window = wait_for("the window \"Lumenfall\"", lambda: window(pyatspi.ROLE_DIALOG, "Lumenfall"))
                return
            except AssertionError:
                self.process.kill()
                self.process.wait()
                if attempt == 1:
                    raise
                print("the dialog was not listed on the bus; starting it again")

    def button(self, name):
        return wait_for("button " + name, lambda: find(self.window, pyatspi.ROLE_PUSH_BUTTON, name))

    def wave_duration(self):
        select_page(self.window, "General")
        waves = wait_for("group Waves", lambda: find(self.window, pyatspi.ROLE_PANEL, "Waves") or
                         find(self.window, pyatspi.ROLE_GROUPING, "Waves"))
        return wait_for("Duration in Waves", lambda: find(waves, pyatspi.ROLE_SPIN_BUTTON, "Duration"))

    def ended(self):
        assert self.process.wait(timeout=TIMEOUT) == 0, "the dialog did not end with status 0"


def big_preview_animates(dialog):
    """Two pictures of the "Big Preview" box taken apart differ (needs ImageMagick's import)."""
    if not shutil.which("import"):
        print("no ImageMagick: not checking that the big preview animates")
        return True
    box = wait_for("the big preview", lambda: find(dialog.window, pyatspi.ROLE_UNKNOWN, "Big Preview") or
                   next((n for n in descendants(dialog.window) if n.name == "Big Preview" and
                         n.getRole() != pyatspi.ROLE_PAGE_TAB), None))
    x, y, w, h = box.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)

    def picture():
        return subprocess.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "rgb:-"],
                              check=True, capture_output=True).stdout
    first = picture()
    return wait_for("the big preview to move", lambda: picture() != first)


def input_box(main_window):
    """The input box the dialog opens: a further window "Lumenfall" with an "OK" button."""
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None:
            continue
        for top in app:
            if (top is not None and top.getRole() == pyatspi.ROLE_DIALOG and top.name == "Lumenfall" and
                    top != main_window and find(top, pyatspi.ROLE_PUSH_BUTTON, "OK")):
                return top
    return None


def gallery(dialog, page, list_name):
    """The gallery's list and the sub-page that holds it and its buttons."""
    select_page(dialog.window, page)
    presets = wait_for("list " + list_name, lambda: find(dialog.window, pyatspi.ROLE_LIST, list_name))
    return presets, presets.parent


def add_preset(dialog, holder, name):
    press(wait_for("Add", lambda: find(holder, pyatspi.ROLE_PUSH_BUTTON, "Add")))
    box = wait_for("the name's input box", lambda: input_box(dialog.window))
    field = wait_for("the name field", lambda: next(n for n in descendants(box) if n.getRole() == pyatspi.ROLE_TEXT))
    field.queryEditableText().setTextContents(name)
    press(find(box, pyatspi.ROLE_PUSH_BUTTON, "OK"))


def select(item):
    """Selects a list entry the way the bus offers: its own action, else by focusing it."""
    try:
        action = item.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        for wanted in ("Toggle", "Select", "Press", "SetFocus"):
            if wanted in names:
                action.doAction(names.index(wanted))
                return
    except NotImplementedError:
        pass
    item.queryComponent().grabFocus()


def hive_text(path):
    with open(path, "rb") as f:
        return f.read()


def x_server_answers(server, number):
    """Whether the server still runs and accepts a client on its socket."""
    deadline = time.monotonic() + 10
    while server.poll() is None and time.monotonic() < deadline:
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as client:
            try:
                client.connect("/tmp/.X11-unix/X" + number)
                return True
            except OSError:
                time.sleep(0.1)
    return False


def start_x_server():
    """Xvfb on a free display; its number comes back through a pipe. A server that has gone or
    does not accept clients (another server ending on the same number can take its socket
    with it) is replaced by one on another number."""
    for attempt in range(3):
        read_end, write_end = os.pipe()
        # -noreset: a server that resets when its last client leaves refuses the next one for a
        # moment, and the bus's launcher is such a client.
        server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten",
                                   "tcp", "-noreset"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if number and x_server_answers(server, number):
            os.environ["DISPLAY"] = ":" + number
            return server
        server.kill()
        server.wait()
        print("Xvfb on :%s did not answer; starting another" % number)
    raise AssertionError("Xvfb did not start")


def main():
    # The bus and its registry answer before the first program starts.
    pyatspi.Registry.getDesktop(0).childCount  # blocks until the registry answers
    scratch = tempfile.mkdtemp(prefix="lumenfall-atspi-")
    env = dict(os.environ)
    env["LUMENFALL_USER_HIVE"] = os.path.join(scratch, "user.reg")
    env["XDG_DATA_HOME"] = os.path.join(scratch, "data")
    env["XDG_CACHE_HOME"] = os.path.join(scratch, "cache")
    env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    env["QT_QPA_PLATFORM"] = "xcb"
    hive = env["LUMENFALL_USER_HIVE"]

    # The window, its pages and its buttons by name; Cancel stores nothing.
    dialog = Dialog(env)
    for page in ("Big Preview", "General", "Waves", "Logos", "Texts"):
        assert wait_for("page " + page, lambda: find(dialog.window, pyatspi.ROLE_PAGE_TAB, page))
    for name in ("Ok", "Apply", "Cancel", "Help", "About"):
        dialog.button(name)
    assert big_preview_animates(dialog)
    before = hive_text(hive)  # the first run has copied the installation's settings
    duration = dialog.wave_duration()
    duration.queryValue().currentValue = 77
    wait_for("the duration to change", lambda: duration.queryValue().currentValue == 77)
    press(dialog.button("Cancel"))
    dialog.ended()
    assert hive_text(hive) == before, "Cancel changed the user hive"

    # Ok stores the duration.
    dialog = Dialog(env)
    duration = dialog.wave_duration()
    duration.queryValue().currentValue = 77
    wait_for("the duration to change", lambda: duration.queryValue().currentValue == 77)
    press(dialog.button("Ok"))
    dialog.ended()
    text = hive_text(hive).decode("utf-8", "replace")
    waves = text[text.index("\\Waves]"):]
    waves = waves[:waves.index("\n[")] if "\n[" in waves else waves
    assert '"Duration"=dword:0000004d' in waves, waves

    # About opens a window "About" whose "Close" closes it.
    dialog = Dialog(env)
    press(dialog.button("About"))
    about = wait_for("the window \"About\"", lambda: window(pyatspi.ROLE_DIALOG, "About"))
    press(wait_for("Close", lambda: find(about, pyatspi.ROLE_PUSH_BUTTON, "Close")))
    wait_for("the About window to close", lambda: window(pyatspi.ROLE_DIALOG, "About") is None)
    press(dialog.button("Cancel"))
    dialog.ended()

    # "Add" in the wave gallery writes a preset file into the user's folder and lists it.
    dialog = Dialog(env)
    presets, holder = gallery(dialog, "Waves", "Wave Presets")
    add_preset(dialog, holder, "Made by ear")
    made = os.path.join(env["XDG_DATA_HOME"], "lumenfall", "waves", "Made by ear.lmx")
    wait_for("the new preset file", lambda: os.path.exists(made) and os.path.getsize(made) == 499)
    wait_for("the new entry", lambda: find(presets, pyatspi.ROLE_LIST_ITEM, "Made by ear"))

    # "Add" in the logo and text galleries creates the named key; "Remove" deletes just it.
    for page, list_name, key in (("Logos", "Logo Presets", "Logos"), ("Texts", "Text Presets", "Texts")):
        presets, holder = gallery(dialog, page, list_name)
        add_preset(dialog, holder, "Spoken")
        section = "\\" + key + "\\Spoken]"
        wait_for("the key " + section, lambda: section in hive_text(hive).decode("utf-8", "replace"))
        item = wait_for("the entry Spoken", lambda: find(presets, pyatspi.ROLE_LIST_ITEM, "Spoken"))
        select(item)
        wait_for("the entry to be selected", lambda: item.getState().contains(pyatspi.STATE_SELECTED))
        press(find(holder, pyatspi.ROLE_PUSH_BUTTON, "Remove"))
        wait_for("the key to go", lambda: section not in hive_text(hive).decode("utf-8", "replace"))
        text = hive_text(hive).decode("utf-8", "replace")
        assert "\\" + key + "\\_Active" in text, "Remove deleted more than its key"
    press(dialog.button("Cancel"))
    dialog.ended()
    print("accessibility bus: all checks passed")


if __name__ == "__main__":
    x_server = start_x_server()
    try:
        import pyatspi  # after DISPLAY is set: the bus may be announced on the display
        main()
    finally:
        x_server.terminate()
        x_server.wait()
