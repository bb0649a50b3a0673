#!/usr/bin/env python3
"""A new user's first minute with the real program on a real X server.

Run under xvfb-run: a fresh $HOME holds a ~/Maildir made by Dovecot; the
program starts, shows the first warning and the "Mail stores" dialog, each
accepted with Enter alone as a user would, and the main window comes up on the
store. To see that the window lists the store and its folders, the test ticks
all folders (Alt+A) and previews (Alt+P): the preview mirrors the source's
folders in the new archive store. Alt+Q ends the program.

Keys go through the XTEST extension (libXtst, by ctypes); windows are found
with xwininfo. Usage: first_minute.py PROGRAM [--screenshots DIR]
"""

import argparse
import ctypes
import os
import pwd
import re
import shutil
import subprocess
import sys
import tempfile
import time

TIMEOUT = 60


class Keyboard:
    def __init__(self):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XStringToKeysym.restype = ctypes.c_ulong
        self.x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
        self.x11.XKeysymToKeycode.restype = ctypes.c_ubyte
        self.x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x11.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                            ctypes.c_ulong]
        self.x11.XFlush.argtypes = [ctypes.c_void_p]
        self.x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                ctypes.c_ulong]
        # A window that goes away between listing and focusing raises an X
        # error, whose default handler would end this script.
        handler_type = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
        self._ignore = handler_type(lambda display, event: 0)
        self.x11.XSetErrorHandler(self._ignore)
        self.display = self.x11.XOpenDisplay(None)
        if not self.display:
            sys.exit("cannot open the X display %s" % os.environ.get("DISPLAY"))

    def _code(self, name):
        return self.x11.XKeysymToKeycode(self.display, self.x11.XStringToKeysym(name.encode()))

    def press(self, window, *names):
        """Focuses window, then presses the keys together (modifiers first)."""
        self.x11.XSetInputFocus(self.display, window, 2, 0)  # RevertToParent, CurrentTime
        self.x11.XSync(self.display, 0)
        time.sleep(0.3)
        codes = [self._code(name) for name in names]
        for code in codes:
            self.xtst.XTestFakeKeyEvent(self.display, code, 1, 0)
        for code in reversed(codes):
            self.xtst.XTestFakeKeyEvent(self.display, code, 0, 0)
        self.x11.XSync(self.display, 0)


def shown_windows():
    """(id, name) of every viewable top-level window."""
    out = subprocess.run(["xwininfo", "-root", "-children"], capture_output=True, text=True).stdout
    found = []
    for wid, name in re.findall(r'^\s+(0x[0-9a-f]+) "(.*?)":', out, re.M):
        info = subprocess.run(["xwininfo", "-id", wid], capture_output=True, text=True).stdout
        if "IsViewable" in info:
            found.append((int(wid, 16), name))
    return found


def wait_for(predicate, what):
    deadline = time.time() + TIMEOUT
    while time.time() < deadline:
        result = predicate()
        if result:
            return result
        time.sleep(0.25)
    sys.exit("timed out waiting for " + what)


def window_named(name, besides=()):
    def find():
        for wid, shown in shown_windows():
            if shown == name and wid not in besides:
                return wid
        return None
    return find


def accept(keys, window, what):
    """Enter until the window closes: a key sent before the window took the
    focus is lost."""
    for _ in range(10):
        keys.press(window, "Return")
        deadline = time.time() + 3
        while time.time() < deadline:
            if window not in [w for w, _ in shown_windows()]:
                return
            time.sleep(0.25)
    sys.exit("Enter did not close " + what)


def drive(keys, window, chords, done):
    deadline = time.time() + TIMEOUT
    sent = 0
    while not done() and time.time() < deadline:
        others = [w for w, _ in shown_windows() if w != window]
        for other in others:
            keys.press(other, "Return")
        if not others and time.time() - sent > 5:
            for chord in chords:
                keys.press(window, *chord)
            sent = time.time()
        time.sleep(0.5)


def make_dovecot_maildir(work, home):
    """~/Maildir with INBOX, Sent and Lists/Qt, made by doveadm (as nobody when root)."""
    maildir = os.path.join(home, "Maildir")
    for sub in ("cur", "new", "tmp"):
        os.makedirs(os.path.join(maildir, sub))
    config = os.path.join(work, "dovecot.conf")
    with open(config, "w") as f:
        f.write("mail_location = maildir:%s\nmail_home = %s\nssl = no\nlog_path = /dev/stderr\n"
                % (maildir, home))
    prefix = []
    if os.geteuid() == 0:  # doveadm refuses root
        os.chmod(work, 0o755)
        subprocess.run(["chown", "-R", "nobody:nogroup", home], check=True)
        prefix = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                  "env", "USER=nobody", "HOME=" + home]
    doveadm = prefix + ["doveadm", "-c", config]
    subprocess.run(doveadm + ["mailbox", "create", "Sent", "Lists.Qt"], check=True)
    for mailbox in ("INBOX", "INBOX", "Sent", "Lists.Qt"):
        message = ("From: Alice <alice@example.org>\nTo: user@example.org\n"
                   "Date: Mon, 3 Jan 2011 10:00:00 +0000\nSubject: Hello\n\nBody.\n")
        subprocess.run(doveadm + ["save", "-m", mailbox], input=message.encode(), check=True)
    os.remove(config)
    # Received last decade (a Maildir message's file time), so that the default
    # filter, up to the end of last year, takes them.
    received = time.mktime((2011, 1, 3, 10, 0, 0, 0, 0, -1))
    for root, _, files in os.walk(maildir):
        if os.path.basename(root) in ("cur", "new"):
            for name in files:
                os.utime(os.path.join(root, name), (received, received))
    if os.geteuid() == 0:
        subprocess.run(["chown", "-R", "root:root", home], check=True)


def screenshot(window, directory, name):
    if directory:
        subprocess.run(["import", "-window", hex(window), os.path.join(directory, name)],
                       check=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("--screenshots")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        sys.exit("run under xvfb-run")
    if not shutil.which("doveadm"):
        print("doveadm is not installed: skipped")
        return 0

    work = tempfile.mkdtemp(prefix="kestrel-first-minute-")
    home = os.path.join(work, "home")
    os.makedirs(home)
    make_dovecot_maildir(work, home)
    # An mbsync account in its default layout (INBOX/cur, no Maildir++ dots):
    # listed, but not ticked, since the stores are Maildir++ trees.
    for sub in ("cur", "new", "tmp"):
        os.makedirs(os.path.join(home, ".mail/work/INBOX", sub))

    env = {key: value for key, value in os.environ.items()
           if not key.startswith(("XDG_", "KESTREL_", "MAILDIR", "NOTMUCH"))}
    env.update(HOME=home, QT_QPA_PLATFORM="xcb", USER=pwd.getpwuid(os.getuid()).pw_name)
    program = subprocess.Popen([os.path.abspath(args.program)], env=env, cwd=home)
    keys = Keyboard()
    try:
        # The first warning, before the main window is shown.
        warning = wait_for(window_named("Kestrel Mailkeep"), "the first warning")
        accept(keys, warning, "the first warning")

        stores = wait_for(window_named("Mail stores"), "the stores dialog")
        time.sleep(1)
        screenshot(stores, args.screenshots, "stores-dialog.png")
        accept(keys, stores, "the stores dialog")

        profile = os.path.join(home, ".config/kestrel-mailkeep/profile.ini")
        text = open(profile).read()
        for line in ("Name=Maildir", "Path=%s/Maildir" % home, "Name=Archive",
                     "Path=%s/Mail Archive" % home, "Type=maildir"):
            if line not in text:
                sys.exit("the profile lacks %r:\n%s" % (line, text))
        if ".mail/work" in text:
            sys.exit("a tree the program cannot read was ticked:\n" + text)

        window = wait_for(window_named("Kestrel Mailkeep", besides=(warning,)), "the main window")
        time.sleep(1.5)
        screenshot(window, args.screenshots, "main-window-first-start.png")
        archive = os.path.join(home, "Mail Archive")
        mirrored = lambda: all(os.path.isdir(os.path.join(archive, d, "cur"))
                               for d in (".Sent", ".Lists.Qt"))
        # Tick every folder of the source, ~/Maildir, and preview; whatever asks
        # on the way (the confirmation) is answered by its default button. Keys
        # are sent again while nothing happens, in case they came too early.
        drive(keys, window, [("Alt_L", "a"), ("Alt_L", "p")], mirrored)
        if not mirrored():
            sys.exit("the preview did not mirror the folders of ~/Maildir: %s"
                     % sorted(os.listdir(archive)))
        time.sleep(1)
        drive(keys, window, [("Alt_L", "q")], lambda: program.poll() is not None)
        if program.poll() is None:
            sys.exit("the program did not end on Quit")
        if program.returncode != 0:
            sys.exit("the program ended with %d" % program.returncode)
        print("first minute: dialog accepted, store and folders listed, preview mirrored them")
        return 0
    finally:
        if program.poll() is None:
            program.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
