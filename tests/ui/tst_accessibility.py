# SPDX-FileCopyrightText: 2026 The Nimbrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""The real window end to end, found and driven as a screen reader does, over AT-SPI.

Runs the real nimbrel on its own Xvfb display against nimbrel-inbox, on the
private session bus of dbus-run-session (CTest starts it so), with harmless
processes named like the assistant's helpers, and goes through the screens a
user meets: verification empty, code sent, dashboard idle, monitoring with
detections, the first tick, and the window manager closing the window. At
each screen it reads the accessible tree (written to OUT/<screen>.txt for
review) and checks names, roles, states and actions; it listens to the events
a screen reader hears and checks that every status change produces one that
Orca speaks: a notification becoming showing. Keys come from xdotool, and the
e-mails are read from the inbox.

    dbus-run-session -- /usr/bin/python3 tst_accessibility.py \
        --app build/dev/src/app/nimbrel --inbox build/dev/tools/inbox/nimbrel-inbox \
        --out build/dev/accessibility
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request
from datetime import datetime

import pyatspi
from gi.repository import GLib

ARGS = None
# Generous: CI runs two tests at once on two busy cores.
TIMEOUT = 30.0
ADDRESS = "interviewer@example.com"
# Processes the scan reports; enough rows that the list scrolls.
SUSPECTS = [f"superstealthcluelyhelper{letter}" for letter in "abcdefghij"]
RESULTS = "Nimbrel Scan Results"


def pump():
    """Delivers pending AT-SPI events to the listeners."""
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


def wait_for(what, condition, timeout=TIMEOUT):
    """Polls condition, delivering events meanwhile, until it returns a truthy value."""
    deadline = time.monotonic() + timeout
    while True:
        pump()
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.05)


class Node:
    """One accessible object as read at one moment."""

    def __init__(self, accessible, depth):
        self.accessible = accessible
        self.depth = depth
        self.role = accessible.getRoleName()
        self.name = accessible.name
        self.description = accessible.description
        self.states = {pyatspi.stateToString(s) for s in accessible.getState().getStates()}
        try:
            action = accessible.queryAction()
            self.actions = [action.getName(i) for i in range(action.nActions)]
        except NotImplementedError:
            self.actions = []

    def __repr__(self):
        return (f"{'  ' * self.depth}{self.role} {self.name!r}"
                + (f" ({self.description})" if self.description else "")
                + f" [{', '.join(sorted(self.states))}]"
                + (f" actions: {', '.join(self.actions)}" if self.actions else ""))


class Session:
    """Xvfb, the inbox, a few suspicious processes and the window."""

    def __init__(self):
        self.work = tempfile.mkdtemp(prefix="nimbrel-a11y-")
        self.processes = []
        self.env = dict(os.environ)
        self.env.pop("QT_QPA_PLATFORM", None)
        self._start_display()
        self._start_inbox()
        for name in SUSPECTS:
            executable = os.path.join(self.work, name)
            shutil.copy("/bin/sleep", executable)
            self._spawn([executable, "600"])
        self._start_app()

    def _spawn(self, command, **options):
        process = subprocess.Popen(command, env=self.env, **options)
        self.processes.append(process)
        return process

    def _start_display(self):
        read_end, write_end = os.pipe()
        self._spawn(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1000x900x24",
                     "-nolisten", "tcp"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as reader:
            self.env["DISPLAY"] = ":" + reader.readline().strip()

    def start_window_manager(self):
        self._spawn(["openbox", "--sm-disable"], stderr=subprocess.DEVNULL)
        wait_for("the window manager", lambda: subprocess.run(
            ["wmctrl", "-m"], env=self.env, capture_output=True).returncode == 0)

    def _start_inbox(self):
        key_file = os.path.join(self.work, "key")
        self.key = "accessibility-test-key"
        with open(key_file, "w") as out:
            out.write(self.key)
        inbox = self._spawn([ARGS.inbox, "--port", "0", "--api-key-file", key_file],
                            stdout=subprocess.PIPE, text=True)
        self.base_url = re.search(r"http://127\.0\.0\.1:\d+", inbox.stdout.readline()).group(0)

    def _start_app(self):
        app = os.path.join(self.work, "nimbrel")
        shutil.copy(ARGS.app, app)
        with open(os.path.join(self.work, "Config.plist"), "w") as out:
            out.write(f"""<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>ResendAPIKey</key><string>{self.key}</string>
<key>ResendAPIBaseURL</key><string>{self.base_url}</string>
</dict></plist>""")
        self.env.update(QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        self.app = self._spawn([app])
        self.application = wait_for("the window on the accessibility bus", self._find_application)
        window = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid",
                                 str(self.app.pid)], env=self.env, capture_output=True,
                                text=True, timeout=TIMEOUT, check=True).stdout.split()[0]
        # No window manager: give the window the keyboard by hand.
        self.xdotool("windowfocus", "--sync", window)

    def _find_application(self):
        for application in pyatspi.Registry.getDesktop(0):
            if application is not None and application.get_process_id() == self.app.pid:
                return application
        return None

    def xdotool(self, *arguments):
        subprocess.run(["xdotool", *arguments], env=self.env, timeout=TIMEOUT, check=True,
                       stdout=subprocess.DEVNULL)

    def type(self, text):
        self.xdotool("type", "--delay", "40", text)

    def emails(self, subject=None):
        """The inbox's e-mails (with this subject), oldest first."""
        request = urllib.request.Request(self.base_url + "/api/emails",
                                         headers={"Authorization": "Bearer " + self.key})
        with urllib.request.urlopen(request, timeout=5) as answer:
            mails = json.load(answer)[::-1]
        return [mail for mail in mails if subject in (None, mail["subject"])]

    def latest_code(self):
        mail = wait_for("the verification e-mail", self.emails)[-1]
        return re.search(r"<strong>(\d{6})</strong>", mail["html"]).group(1)

    def tree(self, hidden=False):
        """Every showing object of the window (with hidden=True every object),
        in tree order; read again when an object goes away while it is read
        (a screen fading out)."""
        return wait_for("a whole accessible tree", lambda: self._read_tree(hidden))

    def _read_tree(self, hidden):
        nodes = []

        def walk(accessible, depth):
            node = Node(accessible, depth)
            if depth > 0 and "showing" not in node.states and not hidden:
                return
            nodes.append(node)
            for child in accessible:
                if child is not None:
                    walk(child, depth + 1)
        try:
            walk(self.application, 0)
        except GLib.Error:
            return None
        return nodes

    def stop(self):
        for process in reversed(self.processes):
            process.kill()
            process.wait()
        shutil.rmtree(self.work, ignore_errors=True)


class Events:
    """The AT-SPI events a screen reader listens to, as they arrive."""

    KINDS = ["object:state-changed:showing", "object:state-changed:focused",
             "object:state-changed:enabled", "object:state-changed:sensitive"]

    def __init__(self, pid):
        self.pid = pid
        self.seen = []
        pyatspi.Registry.registerEventListener(self._record, *self.KINDS)

    def _record(self, event):
        try:
            if event.source.get_process_id() != self.pid:
                return
            self.seen.append((event.type, event.detail1, event.source.getRoleName(),
                              event.source.name))
        except GLib.Error:
            pass  # the object went away before it could be read

    def clear(self):
        pump()
        self.seen.clear()

    def wait(self, what, kind, detail1, role, name):
        try:
            return wait_for(what, lambda: (kind, detail1, role, name) in self.seen)
        except AssertionError as error:
            raise AssertionError(f"{error}; events seen: {self.seen}") from None

    def announcements(self):
        """What Orca speaks of its own accord: each notification that appears."""
        pump()
        return [name for kind, detail1, role, name in self.seen
                if kind == "object:state-changed:showing" and detail1 == 1
                and role == "notification"]


class TestAccessibility(unittest.TestCase):
    """One walk through the window, screen by screen, in order."""

    @classmethod
    def setUpClass(cls):
        cls.session = Session()
        cls.events = Events(cls.session.app.pid)

    @classmethod
    def tearDownClass(cls):
        cls.session.stop()

    def screen(self, label):
        """The showing tree now, also written to OUT/<label>.txt."""
        nodes = self.session.tree()
        os.makedirs(ARGS.out, exist_ok=True)
        with open(os.path.join(ARGS.out, label + ".txt"), "w") as out:
            out.write("\n".join(map(repr, nodes)) + "\n")
        return nodes

    def find(self, nodes, role, name):
        matches = [node for node in nodes if node.role == role and node.name == name]
        self.assertEqual(len(matches), 1, f"one {role} {name!r} in\n" + "\n".join(map(repr, nodes)))
        return matches[0]

    def check(self, node, present=(), absent=()):
        self.assertLessEqual(set(present), node.states, repr(node))
        self.assertFalse(set(absent) & node.states, repr(node))

    def wait_screen(self, label, role, name, gone=None):
        """Waits for an object to show (and another to go), then reads the screen."""
        def ready():
            shown = {(node.role, node.name) for node in self.session.tree()}
            return (role, name) in shown and gone not in shown
        wait_for(f"{role} {name!r}", ready)
        return self.screen(label)

    def test_1_verification_empty(self):
        nodes = self.wait_screen("1-verification-empty", "push button", "Send Verification Code")
        self.find(nodes, "heading", "Nimbrel")
        tagline = self.find(nodes, "label",
                            "Verify interviewers & scan for spyware during remote interviews")
        self.check(tagline, absent={"focusable"})  # text, not a control
        self.assertEqual(tagline.actions, [])
        field = self.find(nodes, "text", "Interviewer Email")
        self.check(field, present={"editable", "focused"})
        self.assertEqual(field.description, "Enter email address")
        send = self.find(nodes, "push button", "Send Verification Code")
        self.check(send, absent={"enabled", "sensitive", "focusable"})
        self.assertEqual(send.actions, ["Press"])
        self.assertFalse([node for node in nodes if node.role == "notification"])
        # Nothing hidden or unnamed stands in the tree.
        self.assertEqual([node for node in self.session.tree(hidden=True)[2:]
                          if "showing" not in node.states or not node.name], [])

        # Typing an address enables Send, and a screen reader hears so.
        self.events.clear()
        self.session.type(ADDRESS)
        for kind in ("object:state-changed:enabled", "object:state-changed:sensitive"):
            self.events.wait("Send enabled", kind, 1, "push button", "Send Verification Code")

    def test_2_code_sent(self):
        self.events.clear()
        self.session.xdotool("key", "Return")
        message = f"Verification code sent to {ADDRESS}"  # no "✓" spoken
        nodes = self.wait_screen("2-code-sent", "notification", message)
        self.check(self.find(nodes, "text", "Verification Code"), present={"editable", "focused"})
        self.check(self.find(nodes, "push button", "Verify Code"),
                   present={"enabled", "sensitive", "focusable"})
        self.assertFalse([node for node in nodes if node.name == "Send Verification Code"])
        self.assertEqual(self.events.announcements(), [message])

        # A wrong code is said, and said again when it is wrong again.
        for attempt in (1, 2):
            self.events.clear()
            self.session.type("000000")
            self.session.xdotool("key", "Return")
            self.events.wait(f"wrong code {attempt}", "object:state-changed:showing", 1,
                             "notification", "Incorrect code. Try again.")
            self.session.xdotool("key", "ctrl+a", "BackSpace")

    def test_3_dashboard_idle(self):
        self.events.clear()
        self.session.type(self.session.latest_code())
        self.session.xdotool("key", "Return")
        nodes = self.wait_screen("3-dashboard-idle", "heading", "Nimbrel Scanner",
                                 gone=("heading", "Nimbrel"))
        self.find(nodes, "label", "Security Monitoring Dashboard")
        wait_for("success spoken", lambda: "Verification successful!" in self.events.announcements())
        wait_for("the spoken success gone from the tree", lambda: not [
            node for node in self.session.tree() if node.name == "Verification successful!"])
        self.check(self.find(nodes, "push button", "Manual Scan"),
                   present={"enabled", "focusable", "focused"})
        self.check(self.find(nodes, "push button", "Start Monitor"), present={"enabled"})
        self.find(nodes, "notification", "Idle")
        for node in nodes:
            self.assertEqual(len(node.actions), len(set(node.actions)), repr(node))

    def test_4_monitoring_with_detections(self):
        self.events.clear()
        dashboard = self.session.tree()
        self.find(dashboard, "push button", "Manual Scan").accessible.queryAction().doAction(0)
        self.events.wait("the scan's result", "object:state-changed:showing", 1,
                         "notification", "Suspicious processes detected.")
        results = wait_for("the scan's e-mail", lambda: self.session.emails(RESULTS))
        self.assertIn(f"🚨 CLUELY DETECTED - Process: {SUSPECTS[0]}", results[0]["html"])
        self.find(dashboard, "push button", "Start Monitor").accessible.queryAction().doAction(0)
        nodes = self.wait_screen("4-monitoring-with-detections", "push button", "Stop Monitor")
        # (Monitoring's first tick, 10 s on, may add its own result after these.)
        self.assertEqual(self.events.announcements()[:2],
                         ["Suspicious processes detected.", "Monitoring started..."])

        self.find(nodes, "heading", "Detected Processes")
        detections = self.find(nodes, "list", "Detected Processes")
        self.check(detections, present={"focusable"})
        count = int(re.fullmatch(r"(\d+) detections", detections.description).group(1))
        self.assertGreaterEqual(count, len(SUSPECTS))
        rows = [node for node in nodes if node.role == "list item"]
        self.assertTrue(rows)
        for row in rows:
            self.assertRegex(row.name, r"^Cluely detected — Process: .+, Detected at .+")
            self.check(row, present={"focusable", "selectable"})
        bars = [node for node in nodes if node.role == "scroll bar"]
        self.assertEqual(len(bars), 1)
        self.assertEqual(bars[0].name, "Detected Processes")

        # Tab reaches the list, the first row takes the focus and is read out;
        # End goes to the last row, selected, and the focus goes there directly.
        self.events.clear()
        self.session.xdotool("key", "Tab", "Tab")
        first = self.events.wait("the first row focused", "object:state-changed:focused", 1,
                                 "list item", rows[0].name)
        self.assertTrue(first)
        self.events.clear()
        self.session.xdotool("key", "End")
        last = wait_for("the last row focused", lambda: [
            name for kind, detail1, role, name in self.events.seen
            if kind == "object:state-changed:focused" and detail1 == 1 and role == "list item"
            and name != rows[0].name])
        selected = [node.name for node in self.screen("5-last-row")
                    if node.role == "list item" and "selected" in node.states]
        self.assertEqual(selected, last[:1])
        self.assertEqual([(role, name) for kind, detail1, role, name in self.events.seen
                          if kind == "object:state-changed:focused" and detail1 == 1],
                         [("list item", last[0])])

    def test_5_first_tick(self):
        """The first tick comes a full interval after the start and e-mails its findings."""
        tick = wait_for("the first tick's e-mail", lambda: self.session.emails(RESULTS)[1:])[0]
        start = self.session.emails("Nimbrel Monitoring Started")[0]
        after = (datetime.fromisoformat(tick["receivedAt"])
                 - datetime.fromisoformat(start["receivedAt"])).total_seconds()
        print(f"first monitoring scan e-mail {after:.1f} s after the start notice")
        self.assertTrue(8 <= after <= 16, after)
        self.assertIn(f"Process: {SUSPECTS[0]}", tick["html"])

    def test_6_window_manager_close(self):
        """Closed by the desktop while monitoring (WM_DELETE_WINDOW): the
        application ends by itself, after its stop notice."""
        self.session.start_window_manager()
        # wmctrl finds the window once the window manager has taken it in.
        wait_for("the window manager's close", lambda: subprocess.run(
            ["wmctrl", "-c", "Nimbrel"], env=self.session.env).returncode == 0)
        self.assertEqual(self.session.app.wait(timeout=15), 0)
        stopped = "Nimbrel Monitoring Stopped"
        wait_for("the stop notice", lambda: self.session.emails(stopped))
        mails = self.session.emails()
        self.assertEqual([mail["subject"] for mail in mails].count(stopped), 1)
        self.assertEqual({address for mail in mails for address in mail["to"]}, {ADDRESS})


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", required=True)
    parser.add_argument("--inbox", required=True)
    parser.add_argument("--out", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)
