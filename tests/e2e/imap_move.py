#!/usr/bin/env python3
"""The real program under Xvfb on a mail server: a Move by date to a local store.

Run under xvfb-run and dbus-run-session. A throw-away Dovecot
(kestrel-imap-test-server) holds "Projects", some of it received years ago and
some now; the profile has that server as the store "Server" (password through
PasswordCommand, plain IMAP on 127.0.0.1) and a Maildir store "Archive". The
test ticks "Projects" with the mouse, starts the Move (Date Received, up to the
end of last year) with Alt+S, answers the confirmation with Enter, and reads
the summary line back through the accessibility bus. Then the server's count
and doveadm's count of the archive must agree with it.

Keys and clicks go through XTEST (the helpers of first_minute.py); the window's
texts and places come from AT-SPI (busctl). Usage:
imap_move.py PROGRAM SERVER_TOOL [--screenshots DIR]
"""

import argparse
import ctypes
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "firststart"))
from first_minute import (Keyboard, accept, screenshot, shown_windows,  # noqa: E402
                          wait_for, window_named)

SKIP = 77


class Accessibility:
    """The program's widgets as AT-SPI shows them: name, role and place."""

    def __init__(self):
        out = subprocess.run(["gdbus", "call", "--session", "--dest", "org.a11y.Bus",
                              "--object-path", "/org/a11y/bus", "--method",
                              "org.a11y.Bus.GetAddress"], capture_output=True, text=True)
        found = re.search(r"'([^']+)'", out.stdout)
        if not found:
            sys.exit("no accessibility bus: " + out.stderr)
        self.address = found.group(1)

    def _call(self, dest, path, interface, method, *args):
        out = subprocess.run(["busctl", "--address=" + self.address, "--json=short", "call",
                              dest, path, interface, method, *args],
                             capture_output=True, text=True)
        return json.loads(out.stdout)["data"] if out.returncode == 0 and out.stdout else None

    def _name(self, dest, path):
        out = subprocess.run(["busctl", "--address=" + self.address, "--json=short",
                              "get-property", dest, path, "org.a11y.atspi.Accessible", "Name"],
                             capture_output=True, text=True)
        return json.loads(out.stdout)["data"] if out.returncode == 0 and out.stdout else ""

    def nodes(self):
        """(name, dest, path) of every accessible object of the program."""
        apps = self._call("org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root",
                          "org.a11y.atspi.Accessible", "GetChildren")
        found = []
        todo = [tuple(app) for app in (apps[0] if apps else [])]
        while todo:
            dest, path = todo.pop()
            found.append((self._name(dest, path), dest, path))
            children = self._call(dest, path, "org.a11y.atspi.Accessible", "GetChildren")
            todo.extend(tuple(child) for child in (children[0] if children else []))
        return found

    def find(self, pattern):
        for name, dest, path in self.nodes():
            if re.search(pattern, name):
                return name, dest, path
        return None

    def centre(self, node):
        _, dest, path = node
        box = self._call(dest, path, "org.a11y.atspi.Component", "GetExtents", "u", "0")
        x, y, width, height = box[0]
        return x + width // 2, y + height // 2


class Mouse:
    def __init__(self, keyboard):
        self.display = keyboard.display
        self.x11 = keyboard.x11
        self.xtst = keyboard.xtst
        self.xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                                   ctypes.c_int, ctypes.c_ulong]
        self.xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                   ctypes.c_ulong]

    def click(self, x, y):
        self.xtst.XTestFakeMotionEvent(self.display, -1, x, y, 0)
        self.x11.XSync(self.display, 0)
        time.sleep(0.2)
        self.xtst.XTestFakeButtonEvent(self.display, 1, 1, 0)
        self.xtst.XTestFakeButtonEvent(self.display, 1, 0, 0)
        self.x11.XSync(self.display, 0)


class ServerTool:
    def __init__(self, program):
        self.process = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        text=True)
        line = self.process.stdout.readline()
        if not line:
            code = self.process.wait()
            if code == SKIP:
                print("dovecot is not installed: skipped")
                sys.exit(SKIP)
            sys.exit("the test server did not start (%d)" % code)
        self.about = json.loads(line)

    def ask(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()
        return int(self.process.stdout.readline())

    def stop(self):
        if self.process.poll() is None:
            self.process.stdin.write("quit\n")
            self.process.stdin.close()
            self.process.wait(30)


def write_profile(home, about):
    archive = os.path.join(home, "Mail Archive")
    for sub in ("cur", "new", "tmp"):
        os.makedirs(os.path.join(archive, sub))
    profile = os.path.join(home, "profile.ini")
    with open(profile, "w") as f:
        f.write("[Profile]\nUserName=Demo User\nUserAddress=demo.user@example.com\n"
                "DefaultStore=Server\n"
                "[Store1]\nName=Server\nType=imap\nHost=%s\nPort=%d\nSecurity=none\nUser=%s\n"
                "PasswordCommand=echo '%s'\n"
                "[Store2]\nName=Archive\nPath=%s\n"
                % (about["host"], about["port"], about["user"], about["password"], archive))
    return profile, archive


def run(args, server, keys, a11y, mouse, home):
    about = server.about
    profile, archive = write_profile(home, about)
    env = {key: value for key, value in os.environ.items()
           if not key.startswith(("XDG_CONFIG", "KESTREL_"))}
    env.update(HOME=home, QT_QPA_PLATFORM="xcb", KESTREL_PROFILE=profile,
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    program = subprocess.Popen([os.path.abspath(args.program)], env=env, cwd=home)
    try:
        warning = wait_for(window_named("Kestrel Mailkeep"), "the first warning")
        accept(keys, warning, "the first warning")
        window = wait_for(window_named("Kestrel Mailkeep", besides=(warning,)), "the main window")

        folder = wait_for(lambda: a11y.find(r"^%s\b" % about["mailbox"]), "the server's folders")
        mouse.click(*a11y.centre(folder))
        time.sleep(0.5)
        summary = re.compile(r"^\d+ items? moved\.")
        line = lambda: (a11y.find(summary.pattern) or (None,))[0]
        # Start; the confirmation (and any notice) is answered by its default
        # button. Alt+S again only while nothing has come.
        deadline = time.time() + 90
        started = 0
        while not line() and time.time() < deadline:
            others = [w for w, _ in shown_windows() if w not in (window, warning)]
            for other in others:
                keys.press(other, "Return")
            if not others and time.time() - started > 10:
                keys.press(window, "Alt_L", "s")
                started = time.time()
            time.sleep(0.5)
        text = line()
        if not text:
            sys.exit("no summary line after Start")
        time.sleep(1)
        screenshot(window, args.screenshots, "imap-move.png")

        moved = int(text.split()[0])
        on_server = server.ask("count " + about["mailbox"])
        archived = server.ask("local %s %s" % (about["mailbox"], archive))
        print("summary: %r; server %s: %d left; archive (doveadm): %d"
              % (text, about["mailbox"], on_server, archived))
        problems = []
        if "not be processed" in text:
            problems.append("a message failed")
        if moved != about["inRange"]:
            problems.append("moved %d, %d were received in the range" % (moved, about["inRange"]))
        if on_server != about["outOfRange"]:
            problems.append("the server keeps %d, expected %d" % (on_server, about["outOfRange"]))
        if archived != moved:
            problems.append("doveadm counts %d in the archive, the summary %d" % (archived, moved))
        if problems:
            sys.exit("; ".join(problems))

        # The "Add IMAP Account" dialog, from "Stores…" beside the Source list.
        stores_button = wait_for(lambda: a11y.find(r"^Stores…$"), "the Stores button")
        mouse.click(*a11y.centre(stores_button))
        stores = wait_for(window_named("Mail stores"), "the stores dialog")
        time.sleep(0.5)
        keys.press(stores, "Alt_L", "i")
        account = wait_for(lambda: next((w for w, name in shown_windows()
                                         if w not in (window, warning, stores)), None),
                           "the Add IMAP Account dialog")
        time.sleep(1)
        screenshot(account, args.screenshots, "imap-account-dialog.png")
        for dialog in (account, stores):
            for _ in range(10):
                if dialog not in [w for w, _ in shown_windows()]:
                    break
                keys.press(dialog, "Escape")
                time.sleep(1)
        # Quit; the notice shown on the way out is answered by its default
        # button.
        quit_button = wait_for(lambda: a11y.find(r"^Quit$"), "the Quit button")
        mouse.click(*a11y.centre(quit_button))
        deadline = time.time() + 30
        while program.poll() is None and time.time() < deadline:
            time.sleep(1)
            for other in [w for w, _ in shown_windows() if w != window]:
                keys.press(other, "Return")
        if program.poll() != 0:
            sys.exit("the program did not end cleanly on Quit (%s); windows: %s"
                     % (program.poll(), shown_windows()))
        print("imap move: the summary, the server and doveadm agree")
        return 0
    finally:
        if program.poll() is None:
            program.kill()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("server_tool")
    parser.add_argument("--screenshots")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY") or not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        sys.exit("run under xvfb-run and dbus-run-session")
    for tool in ("busctl", "gdbus"):
        if not shutil.which(tool):
            print("%s is not installed: skipped" % tool)
            return SKIP
    work = tempfile.mkdtemp(prefix="kestrel-imap-move-")
    home = os.path.join(work, "home")
    os.makedirs(home)
    server = ServerTool(args.server_tool)
    try:
        keys = Keyboard()
        return run(args, server, keys, Accessibility(), Mouse(keys), home)
    finally:
        server.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
