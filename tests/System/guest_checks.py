#!/usr/bin/python3
"""The system test's checks, run as root inside the VM (halvorin-system-test.service).

The suite is installed on a running systemd with a logged-in user on tty1, a
USB gadget mouse of the family is plugged in, and each check does what a
user of the mouse would do, then reads what comes out of the host's virtual
devices. Each check prints "halvorin-system-test: pass <name>" or
"... fail <name>: <why>"; the results go to <out>/results, and on failure the
guest's journal to <out>/journal.txt. The latency benchmark writes
<out>/latency.json. Every wait is bounded."""

import fcntl
import json
import os
import pwd
import select
import stat
import statistics
import struct
import subprocess
import sys
import time
import traceback
from pathlib import Path

ARGUMENTS = dict(word.split("=", 1) for word in Path("/proc/cmdline").read_text().split()
                 if word.startswith("halvorin."))
OUT = Path(ARGUMENTS["halvorin.out"])
PACKAGES = Path(ARGUMENTS["halvorin.packages"])  # the .debs of scripts/package.sh
PASSTHROUGH = ARGUMENTS["halvorin.passthrough"]  # Passthrough.cpp, built
HERE = Path(ARGUMENTS["halvorin.system"])
LAYER = Path("/run/halvorin-overlay")  # the overlay's upper and lower layers
INSTALLED = Path("/run/halvorin-system-test-install.json")  # how the install went
USER, OTHER = "halvorin-user", "halvorin-other"
UID = pwd.getpwnam(USER).pw_uid
# The agent's unit runs one process; read here, not asked of the user's
# service manager, which costs a process or two per question.
AGENT_CGROUP = Path(f"/sys/fs/cgroup/user.slice/user-{UID}.slice/user@{UID}.service/app.slice/"
                    "halvorin-agent.service")
VENDOR, PRODUCT = 0xFFF0, 0x0191  # the build's default vendor id, model 401
POINTER, KEYBOARD = "Halvorin virtual pointer", "Halvorin virtual keyboard"
PHYS_PREFIX = "halvorin-driverd/"

EV_KEY, EV_REL = 1, 2
REL_X, REL_Y, REL_WHEEL = 0, 1, 8
BTN_LEFT, BTN_RIGHT, BTN_MIDDLE = 0x110, 0x111, 0x112
KEY_LEFTCTRL, KEY_LEFTSHIFT, KEY_C = 29, 42, 46
# The gadget's report: one byte of buttons (bit n is button n+1), then dx, dy
# and the wheel. The host numbers the buttons as the kernel does: 0x01 left,
# 0x02 right, 0x04 middle, 0x08 side, 0x10 extra.
LEFT, RIGHT, MIDDLE, SIDE, EXTRA = 0x01, 0x02, 0x04, 0x08, 0x10
CONTROL_C = [(KEY_LEFTCTRL, 1), (KEY_C, 1), (KEY_C, 0), (KEY_LEFTCTRL, 0)]

EVIOCGRAB, EVIOCSCLOCKID = 0x40044590, 0x400445A0
EVIOCGKEY = 0x80604518  # 96 bytes: every key code
KDSKBMODE, K_OFF = 0x4B45, 0x04
EVENT = struct.Struct("llHHi")


class Failed(Exception):
    pass


def expect(condition, why):
    if not condition:
        raise Failed(why)


def say(text):
    print(f"halvorin-system-test: {text}", flush=True)


def run(*command, check=True, timeout=60, **options):
    result = subprocess.run(command, capture_output=True, text=True, timeout=timeout, **options)
    if check and result.returncode != 0:
        raise Failed(f"{' '.join(command)} exited {result.returncode}: "
                     f"{(result.stderr or result.stdout).strip()}")
    return result


def wait_until(predicate, timeout, why, interval=0.05):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failed(f"{why} (waited {timeout} s)")
        time.sleep(interval)


def as_user(*command, user=USER):
    """The command as the user, in the user's slice as the user's own programs
    run (where polkit finds the user's session), not in the test's service."""
    uid = pwd.getpwnam(user).pw_uid
    return ["systemd-run", "--quiet", "--scope", f"--uid={user}", f"--gid={user}",
            f"--slice=user-{uid}.slice", "--", "env", f"XDG_RUNTIME_DIR=/run/user/{uid}",
            f"DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/{uid}/bus", *command]


def user_systemctl(*arguments, check=True):
    return run(*as_user("systemctl", "--user", *arguments), check=check)


def unit_state(unit):
    return run("systemctl", "show", "-p", "ActiveState", "--value", unit, check=False).stdout.strip()


def journal(*filters):
    """This boot's journal lines (messages only) that match the filters. Lines
    are counted rather than read after a cursor: the journal stamps a line
    when it reads it, which after a freeze can be out of order."""
    return run("journalctl", "-b", "--no-pager", "-o", "cat", *filters, check=False).stdout.splitlines()


def kernel_lines(text):
    """When the kernel wrote each line holding `text`, by its own clock
    (monotonic ns), read from /dev/kmsg."""
    stamps = []
    kmsg = os.open("/dev/kmsg", os.O_RDONLY | os.O_NONBLOCK)
    try:
        while True:
            try:
                record = os.read(kmsg, 8192).decode(errors="replace")
            except BlockingIOError:
                break
            except BrokenPipeError:  # records overwritten meanwhile
                continue
            header, _, message = record.partition(";")
            if text in message.split("\n", 1)[0]:
                stamps.append(int(header.split(",")[2]) * 1000)
    finally:
        os.close(kmsg)
    return stamps


def processes(name):
    """The ids of the processes running the program `name`."""
    found = []
    for status in Path("/proc").glob("[0-9]*/comm"):
        try:
            if status.read_text().strip() == name[:15]:  # the kernel keeps 15 characters
                found.append(int(status.parent.name))
        except OSError:
            pass
    return found


# Input devices ---------------------------------------------------------------

def input_devices():
    """Every evdev node: (node, name, phys, bustype, vendor, product)."""
    devices = []
    for event in sorted(Path("/sys/class/input").glob("event*")):
        device = event / "device"
        try:
            ids = [int((device / "id" / field).read_text(), 16)
                   for field in ("bustype", "vendor", "product")]
            devices.append((f"/dev/input/{event.name}", (device / "name").read_text().strip(),
                            (device / "phys").read_text().strip(), *ids))
        except OSError:
            pass
    return devices


def node_named(name):
    return next((d[0] for d in input_devices() if d[1] == name and Path(d[0]).exists()), None)


def gadget_node():
    return next((d[0] for d in input_devices()
                 if d[3] == 0x03 and (d[4], d[5]) == (VENDOR, PRODUCT) and Path(d[0]).exists()),
                None)


class EventNode:
    """An evdev node read without blocking, with monotonic timestamps. Reads
    wait at most 15 s by default: each key the agent posts costs the host a
    few bus round trips, seconds apiece on a loaded emulated machine."""

    def __init__(self, path):
        self.path = path
        self.fd = os.open(path, os.O_RDONLY | os.O_NONBLOCK)
        fcntl.ioctl(self.fd, EVIOCSCLOCKID, struct.pack("i", time.CLOCK_MONOTONIC))
        self.gone = False

    def close(self):
        os.close(self.fd)

    def read(self, timeout, until=lambda events: False):
        """Events (nanoseconds, type, code, value) until `until` holds or the time is up."""
        events = []
        deadline = time.monotonic() + timeout
        while not self.gone and not until(events):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.fd], [], [], left)[0]:
                break
            try:
                data = os.read(self.fd, EVENT.size * 64)
            except OSError:  # ENODEV: the device went away
                self.gone = True
                break
            for offset in range(0, len(data), EVENT.size):
                seconds, micros, kind, code, value = EVENT.unpack_from(data, offset)
                events.append((seconds * 1_000_000_000 + micros * 1000, kind, code, value))
        return events

    def keys(self, count=None, timeout=15.0):
        """Key and button events, until `count` came or the time is up."""
        events = self.read(timeout, lambda seen: count is not None and
                           sum(1 for e in seen if e[1] == EV_KEY) >= count)
        return [(e[2], e[3]) for e in events if e[1] == EV_KEY]

    def drain(self):
        """Drops what is pending, without waiting."""
        while not self.gone and select.select([self.fd], [], [], 0)[0]:
            try:
                os.read(self.fd, EVENT.size * 64)
            except OSError:
                self.gone = True

    def held(self):
        """The key and button codes down now."""
        bits = fcntl.ioctl(self.fd, EVIOCGKEY, bytes(96))
        return {index * 8 + bit for index, byte in enumerate(bits) for bit in range(8)
                if byte >> bit & 1}


def open_named(name, timeout=20):
    return EventNode(wait_until(lambda: node_named(name), timeout, f"no device '{name}'"))


def relative_sum(events, code):
    return sum(e[3] for e in events if e[1] == EV_REL and e[2] == code)


# The gadget mouse --------------------------------------------------------------

GADGET = Path("/sys/kernel/config/usb_gadget/halvorin")
# A relative mouse: six buttons and two bits of padding, then X, Y and the
# wheel from -127 to 127.
REPORT_DESCRIPTOR = bytes.fromhex(
    "05010902a1010901a100"  # generic desktop, mouse, pointer
    "05091901290615002501950675018102"  # buttons 1 to 6
    "950175028101"  # padding
    "05010930093109381581257f750895038106"  # X, Y, wheel: relative
    "c0c0")


class Gadget:
    def __init__(self):
        run("modprobe", "-a", "dummy_hcd", "libcomposite", "usb_f_hid", "usbhid", "hid_generic",
            "evdev")
        if not Path("/sys/kernel/config/usb_gadget").exists():
            run("mount", "-t", "configfs", "configfs", "/sys/kernel/config")
        strings = {"manufacturer": "Halvorin system test", "product": "Gadget mouse 401",
                   "serialnumber": "401"}
        GADGET.mkdir(exist_ok=True)
        for name, value in (("idVendor", VENDOR), ("idProduct", PRODUCT), ("bcdUSB", 0x200),
                            ("bcdDevice", 0x100)):
            (GADGET / name).write_text(f"0x{value:04x}")
        (GADGET / "strings/0x409").mkdir(parents=True, exist_ok=True)
        for name, value in strings.items():
            (GADGET / "strings/0x409" / name).write_text(value)
        function = GADGET / "functions/hid.usb0"
        function.mkdir(parents=True, exist_ok=True)
        for name, value in (("protocol", "2"), ("subclass", "1"), ("report_length", "4")):
            (function / name).write_text(value)
        (function / "report_desc").write_bytes(REPORT_DESCRIPTOR)
        (GADGET / "configs/c.1/strings/0x409").mkdir(parents=True, exist_ok=True)
        (GADGET / "configs/c.1/strings/0x409/configuration").write_text("mouse")
        if not (GADGET / "configs/c.1/hid.usb0").exists():
            (GADGET / "configs/c.1/hid.usb0").symlink_to(function)
        self.udc = wait_until(lambda: os.listdir("/sys/class/udc"), 10, "no dummy UDC")[0]
        self.hidg = None
        self.nodes = []  # every node the gadget had, for the guard check

    def plug(self):
        (GADGET / "UDC").write_text(self.udc)
        node = wait_until(gadget_node, 20, "the gadget mouse has no event node")
        run("udevadm", "settle", "--timeout=20")
        self.nodes.append(node)
        self.hidg = os.open(wait_until(lambda: Path("/dev/hidg0").exists() and "/dev/hidg0", 10,
                                       "no /dev/hidg0"), os.O_WRONLY)
        return node

    def unplug(self):
        os.close(self.hidg)
        self.hidg = None
        (GADGET / "UDC").write_text("\n")
        wait_until(lambda: gadget_node() is None, 10, "the gadget mouse did not go away")

    def report(self, buttons=0, dx=0, dy=0, wheel=0):
        """One report, sent as soon as the previous one was taken."""
        if not select.select([], [self.hidg], [], 5)[1]:
            raise Failed("the gadget's previous report was never taken")
        os.write(self.hidg, struct.pack("Bbbb", buttons, dx, dy, wheel))

    def click(self, button):
        self.report(button)
        self.report(0)


# Latency -------------------------------------------------------------------------

def percentiles(name, values):
    values = sorted(values)
    return {f"{name}_median_us": statistics.median(values),
            f"{name}_p99_us": values[int(0.99 * (len(values) - 1))]}


class ReportTrace:
    """When the kernel takes in the motion of each of the gadget's reports: a
    kprobe on input_event for relative events, stamped with the monotonic
    clock that evdev uses too. The first one after a report is the gadget's;
    the output device's own come after it."""
    TRACING = Path("/sys/kernel/tracing")
    PROBE = "halvorin_report"

    def __enter__(self):
        if not (self.TRACING / "trace_clock").exists():
            run("mount", "-t", "tracefs", "tracefs", str(self.TRACING))
        (self.TRACING / "trace_clock").write_text("mono")
        self.probe(f"p:{self.PROBE} input_event type=%si:u16")
        (self.TRACING / f"events/kprobes/{self.PROBE}/filter").write_text(f"type == {EV_REL}")
        (self.TRACING / f"events/kprobes/{self.PROBE}/enable").write_text("1")
        self.pipe = os.open(self.TRACING / "trace_pipe", os.O_RDONLY | os.O_NONBLOCK)
        self.pending = b""
        return self

    def __exit__(self, *error):
        os.close(self.pipe)
        (self.TRACING / f"events/kprobes/{self.PROBE}/enable").write_text("0")
        self.probe(f"-:{self.PROBE}")

    def probe(self, line):
        # Appended without a seek, which the file refuses.
        events = os.open(self.TRACING / "kprobe_events", os.O_WRONLY | os.O_APPEND)
        try:
            os.write(events, line.encode() + b"\n")
        finally:
            os.close(events)

    def times(self):
        """The relative events taken in since the last call (monotonic ns)."""
        # Read until empty: poll on the pipe waits for a fuller buffer.
        while True:
            try:
                chunk = os.read(self.pipe, 65536)
            except BlockingIOError:
                break
            if not chunk:
                break
            self.pending += chunk
        lines, _, self.pending = self.pending.rpartition(b"\n")
        stamps = []
        for line in lines.decode(errors="replace").splitlines():
            if self.PROBE in line:  # "... [000] d.h1. 1234.567890: halvorin_report: (...) type=2"
                stamp = line.split(f": {self.PROBE}")[0].rsplit(" ", 1)[-1]
                stamps.append(int(round(float(stamp) * 1e9)))
        return stamps


# Installing -----------------------------------------------------------------------

def upper_layer():
    """Every path the guest wrote to its root so far."""
    upper = LAYER / "upper"
    return sorted("/" + str(path.relative_to(upper)) for path in upper.rglob("*"))


PACKAGE_NAMES = ("halvorin-driverd", "halvorin")


def install():
    """The suite's packages, installed on the running system by dpkg, whose
    maintainer scripts do the rest."""
    debs = [next(PACKAGES.glob(f"{name}_*.deb"), None) for name in PACKAGE_NAMES]
    expect(all(debs), f"no packages in {PACKAGES}: run scripts/package.sh")
    # dpkg's own lines go to the journal, stamped, as they come.
    status = subprocess.run(["dpkg", "--install", *map(str, debs)], timeout=300).returncode
    expect(status == 0, f"dpkg --install exited {status}")


def uninstall():
    """The packages removed, then purged, as `apt remove` and `apt purge` do."""
    run("dpkg", "--remove", *PACKAGE_NAMES, timeout=120)
    run("dpkg", "--purge", *PACKAGE_NAMES, timeout=120)


def install_before_login():
    """Run by halvorin-system-test-install.service, while the user logs in."""
    before = upper_layer()
    started = time.monotonic()
    try:
        install()
        outcome = {"passed": True, "detail": f"{time.monotonic() - started:.1f} s"}
    except Exception as error:
        outcome = {"passed": False, "detail": str(error)}
    INSTALLED.write_text(json.dumps({**outcome, "before": before}))


# The checks --------------------------------------------------------------------

class SystemTest:
    def __init__(self):
        self.results = []
        self.gadget = None
        self.keyboard = None
        self.before_install = set()  # the root's upper layer before the install

    # Helpers shared by the checks.

    def pointer(self):
        return open_named(POINTER)

    def press_observing(self, device, buttons, count, timeout=15.0):
        """Presses and releases `buttons`; the key events `device` emits."""
        device.drain()
        self.gadget.click(buttons)
        return device.keys(count, timeout)

    def retry_until_served(self, attempt, timeout, why):
        """Repeats a press until its effect shows: the agent attaches on its own time."""
        wait_until(attempt, timeout, why, interval=0.2)

    def copy_gives_control_c(self):
        """False while a Copy press does nothing at all; its keys must be Ctrl+C.
        Posted keys may take a second each on a loaded machine, so a press
        gets that long before the next one."""
        keys = self.press_observing(self.keyboard, EXTRA, 1, timeout=4)
        if not keys:
            return False
        keys += self.keyboard.keys(3)
        expect(keys == CONTROL_C, f"Copy gave {keys}")
        return True

    def hold_click_and_shift(self, pointer):
        """The left button, then the Shift button as well, held down."""
        self.gadget.report(LEFT)
        expect(pointer.keys(1) == [(BTN_LEFT, 1)], "the click did not go down")
        self.gadget.report(LEFT | SIDE)
        expect(self.keyboard.keys(1) == [(KEY_LEFTSHIFT, 1)], "Shift did not go down")

    @staticmethod
    def agent_pid():
        """The agent's process, 0 when it does not run."""
        try:
            return int((AGENT_CGROUP / "cgroup.procs").read_text().split()[0])
        except (OSError, IndexError):
            return 0

    # The checks, in the order a user meets them.

    def check_session(self):
        """logind reports the user's autologin session on tty1 active and local."""
        def session():
            listed = run("loginctl", "show-user", USER, "-p", "Display", "--value", check=False)
            return listed.stdout.strip()
        name = wait_until(session, 60, f"{USER} has no session")
        state = run("loginctl", "show-session", name, "-p", "Active", "-p", "Remote", "-p", "Seat",
                    "-p", "Type").stdout.split()
        expect({"Active=yes", "Remote=no", "Seat=seat0", "Type=tty"} <= set(state),
               f"session {name}: {' '.join(state)}")
        wait_until(lambda: Path(f"/run/user/{UID}/bus").exists(), 60, "no user bus")
        wait_until(lambda: unit_state(f"user@{UID}.service") == "active", 60,
                   "the user's service manager is not running")
        # A display server turns the console's keyboard off; so does the
        # test, or the host's virtual keyboard would type into the shell.
        with open("/dev/tty1", "wb") as tty:
            fcntl.ioctl(tty, KDSKBMODE, K_OFF)

    def check_install(self):
        """The suite installed, and its host does not run before a mouse is there."""
        expect(INSTALLED.exists(), "the install did not run")
        outcome = json.loads(INSTALLED.read_text())
        self.before_install = set(outcome["before"])
        expect(outcome["passed"], outcome["detail"])
        added = set(upper_layer()) - self.before_install
        expect(any(path.endswith("/halvorin-driverd") for path in added),
               "the install left no trace on the root's upper layer")
        expect(unit_state("halvorin-driverd.service") == "inactive", "the host runs unasked")

    def check_plug_starts_host(self):
        """Plugging the mouse starts the host through the udev rule; it grabs the mouse."""
        self.gadget = Gadget()
        node = self.gadget.plug()
        wait_until(lambda: unit_state("halvorin-driverd.service") == "active", 30,
                   "halvorin-driverd did not start on plug")
        wanted_by = run("systemctl", "show", "-p", "WantedBy", "--value",
                        "halvorin-driverd.service").stdout
        expect(".device" in wanted_by, f"not started by the device: WantedBy={wanted_by.strip()}")
        mouse = EventNode(node)
        try:
            def grabbed():
                try:
                    fcntl.ioctl(mouse.fd, EVIOCGRAB, 1)
                except OSError:
                    return True  # EBUSY: the host holds it
                fcntl.ioctl(mouse.fd, EVIOCGRAB, 0)
                return False
            wait_until(grabbed, 10, f"the host did not grab {node}")
        finally:
            mouse.close()
        self.keyboard = open_named(KEYBOARD)

    def check_clicks_before_settings(self):
        """Before any settings, left, right and middle click as themselves, the
        rest do nothing; motion and wheel pass unchanged."""
        pointer = self.pointer()
        for button, code in ((LEFT, BTN_LEFT), (RIGHT, BTN_RIGHT), (MIDDLE, BTN_MIDDLE)):
            keys = self.press_observing(pointer, button, 2)
            expect(keys == [(code, 1), (code, 0)], f"button 0x{button:02x} gave {keys}")
        keys = self.press_observing(pointer, EXTRA, 1, timeout=0.5)
        expect(keys == [] and self.keyboard.keys(timeout=0.2) == [],
               f"the extra button did something: {keys}")
        pointer.drain()
        self.gadget.report(dx=5, dy=-3, wheel=1)
        events = pointer.read(3, lambda seen: relative_sum(seen, REL_WHEEL) != 0)
        moved = (relative_sum(events, REL_X), relative_sum(events, REL_Y),
                 relative_sum(events, REL_WHEEL))
        expect(moved == (5, -3, 1), f"dx, dy, wheel came out as {moved}")
        pointer.close()

    def check_virtual_devices_phys(self):
        """The host's virtual devices carry its phys, and only they do."""
        phys = {d[1]: d[2] for d in input_devices()}
        for name in (POINTER, KEYBOARD):
            expect(phys.get(name, "").startswith(PHYS_PREFIX), f"{name} has phys '{phys.get(name)}'")
        others = [d for d in input_devices() if d[2].startswith(PHYS_PREFIX)
                  and d[1] not in (POINTER, KEYBOARD)]
        expect(not others, f"other devices with the host's phys: {others}")

    def check_agent_sends_settings(self):
        """The agent, started as the user's unit, finds the host and sends the
        user's settings (imported with halvorinctl): the extra button now copies."""
        # Where the user can read it, whatever the checkout's permissions.
        settings = Path("/run/halvorin-user-settings.xml")
        settings.write_bytes((HERE / "user-settings.xml").read_bytes())
        settings.chmod(0o644)
        run(*as_user("halvorinctl", "import", str(settings)))
        user_systemctl("start", "halvorin-agent.service")
        expect(self.agent_pid(), "the agent is not running")
        self.retry_until_served(self.copy_gives_control_c, 30,
                                "the user's settings never reached the mouse")

    def check_client_change(self):
        """A change made with halvorinctl, as the pane makes it, changes what
        the virtual pointer emits: the middle button right-clicks, and the
        pointer speeds up."""
        run(*as_user("halvorinctl", "set", "button", "2", "Right Click"))
        run(*as_user("halvorinctl", "set", "pointer", "9"))
        pointer = self.pointer()
        wait_until(lambda: self.press_observing(pointer, MIDDLE, 2, timeout=1) ==
                   [(BTN_RIGHT, 1), (BTN_RIGHT, 0)], 15, "the middle button does not right-click")
        pointer.drain()
        self.gadget.report(dx=10)
        moved = relative_sum(pointer.read(2, lambda seen: relative_sum(seen, REL_X) != 0), REL_X)
        expect(moved >= 25, f"dx 10 at the fastest speed came out as {moved}")
        pointer.close()

    def check_copy_and_modifier(self):
        """Copy comes out of the virtual keyboard as Ctrl+C; a button mapped to
        Shift holds it until the button is let go."""
        keys = self.press_observing(self.keyboard, EXTRA, 4)
        expect(keys == CONTROL_C, f"Copy gave {keys}")
        self.gadget.report(SIDE)
        keys = self.keyboard.keys(1)
        expect(keys == [(KEY_LEFTSHIFT, 1)], f"the Shift button gave {keys}")
        expect(self.keyboard.keys(timeout=0.5) == [], "Shift did not stay down")
        expect(KEY_LEFTSHIFT in self.keyboard.held(), "Shift is not held")
        self.gadget.report(0)
        keys = self.keyboard.keys(1)
        expect(keys == [(KEY_LEFTSHIFT, 0)], f"letting go gave {keys}")

    def check_polkit(self):
        """Real polkit and logind: a user without a session is refused on
        SetProperties, PostEvent and Subscribe; the active user is allowed."""
        tree = run("busctl", "tree", "--list", "org.halvorin.Driver1").stdout.split()
        instance = next(path for path in tree if path.startswith("/org/halvorin/Driver1/service/"))
        calls = {  # each as busctl arguments; the posted key-down is C
            "SetProperties": f"{instance} org.halvorin.Driver1.Service SetProperties v a{{sv}} 0",
            "PostEvent": "/org/halvorin/Driver1/HIDSystem org.halvorin.Driver1.HIDSystem "
                         "PostEvent unnqiuu 10 0 0 8 0 0 0",
            "Subscribe": f"{instance} org.halvorin.Driver1.Service Subscribe",
        }
        # One shell per user: each call, then its exit status and its error.
        script = "".join(f"e=$(busctl call org.halvorin.Driver1 {call} 2>&1 > /dev/null); "
                         f"echo {name} $? $e; " for name, call in calls.items())
        for user, allowed in ((OTHER, False), (USER, True)):
            self.keyboard.drain()
            answers = run(*as_user("sh", "-c", script, user=user)).stdout.splitlines()
            expect(len(answers) == len(calls), f"calls by {user} gave {answers}")
            for answer in answers:
                name, status, error = (answer.split(" ", 2) + [""])[:3]
                refused = "Access denied" in error
                expect(status == "0" if allowed else refused, f"{name} by {user}: {status} {error}")
            # The key a client still holds goes up when it leaves the bus.
            keys = self.keyboard.keys(2, timeout=15 if allowed else 0.5)
            expect(keys == ([(KEY_C, 1), (KEY_C, 0)] if allowed else []),
                   f"PostEvent by {user} typed {keys}")

    def check_unplug_mid_press(self):
        """Unplugging with a click and a modifier held leaves nothing down on
        either virtual device; the host goes on running."""
        pointer = self.pointer()
        self.hold_click_and_shift(pointer)
        self.gadget.unplug()
        wait_until(lambda: not self.keyboard.held(), 5, "a key stays down after the unplug")
        pointer.read(5, lambda seen: pointer.gone)
        expect(pointer.gone, "the mouse's virtual pointer outlived the mouse")
        pointer.close()
        expect(unit_state("halvorin-driverd.service") == "active", "the host stopped")

    def check_replug(self):
        """Plugged in again, the mouse is served with the user's settings."""
        self.gadget.plug()
        self.retry_until_served(self.copy_gives_control_c, 30, "the replugged mouse does not copy")
        pointer = self.pointer()
        keys = self.press_observing(pointer, MIDDLE, 2)
        expect(keys == [(BTN_RIGHT, 1), (BTN_RIGHT, 0)], f"the middle button gave {keys}")
        pointer.close()

    def check_host_restart(self):
        """The host restarted under the running agent finds the mouse again and
        gets the settings again."""
        before = self.agent_pid()
        run("systemctl", "restart", "halvorin-driverd.service")
        self.keyboard.close()
        self.keyboard = open_named(KEYBOARD)
        self.retry_until_served(self.copy_gives_control_c, 30,
                                "the mouse does not copy after the host restarted")
        expect(self.agent_pid() == before, "the agent restarted too")

    def check_agent_killed(self):
        """The agent killed while a modifier button is held: the modifier is let
        go, and the agent comes back."""
        pid = self.agent_pid()
        self.gadget.report(SIDE)
        expect(self.keyboard.keys(1) == [(KEY_LEFTSHIFT, 1)], "Shift did not go down")
        os.kill(pid, 9)
        keys = self.keyboard.keys(1)
        expect(keys == [(KEY_LEFTSHIFT, 0)], f"Shift was not let go: {keys}")
        self.gadget.report(0)
        wait_until(lambda: self.agent_pid() not in (0, pid), 15, "the agent did not come back")
        self.retry_until_served(self.copy_gives_control_c, 30,
                                "the mouse does not copy after the agent came back")
        expect(not self.keyboard.held(), "a key stays down")

    @staticmethod
    def lock_timeouts():
        return sum("Delay lock is active" in line for line in journal("_SYSTEMD_UNIT=systemd-logind.service"))

    def check_suspend_resume(self):
        """A suspend through logind, with the Shift button held: the agent's
        sleep path lets Shift go before the tasks freeze, under its delay lock
        (the VM cannot sleep for real: tasks stay frozen for 5 s); after the
        wake the agent locks again and the mouse works."""
        def agent_locks():
            listed = run("systemd-inhibit", "--list", "--no-pager", "--no-legend").stdout
            return [line for line in listed.splitlines() if "HalvorinAgent" in line and "delay" in line]
        wait_until(agent_locks, 10, "the agent holds no delay lock")
        self.gadget.report(SIDE)
        expect(self.keyboard.keys(1) == [(KEY_LEFTSHIFT, 1)], "Shift did not go down")
        suspends, timeouts = len(kernel_lines("PM: suspend exit")), self.lock_timeouts()
        Path("/sys/power/pm_test").write_text("freezer")
        run("systemctl", "suspend")
        released = [e for e in self.keyboard.read(60, lambda seen: any(e[1] == EV_KEY for e in seen))
                    if e[1] == EV_KEY]
        wait_until(lambda: len(kernel_lines("PM: suspend exit")) > suspends, 60,
                   "the system never came back from the suspend")
        self.gadget.report(0)
        expect(self.lock_timeouts() == timeouts, "logind stopped waiting for the agent's lock")
        expect([e[2:] for e in released] == [(KEY_LEFTSHIFT, 0)], f"Shift was not let go: {released}")
        # Both stamps are the kernel's: the key event's, and the printk of
        # the suspend entry.
        entry = kernel_lines("PM: suspend entry")[-1]
        expect(released[0][0] < entry, f"Shift was let go {(released[0][0] - entry) / 1e9:.1f} s "
                                       "after the tasks froze")
        wait_until(agent_locks, 20, "the agent took no new delay lock after the wake")
        self.retry_until_served(self.copy_gives_control_c, 30, "the mouse does not copy after the wake")

    def check_removal(self):
        """Removing and purging the packages with a modifier and a click held:
        the host and the agent stop, nothing stays held, the mouse is given
        back, and no file of the packages is left behind."""
        pointer = self.pointer()
        self.hold_click_and_shift(pointer)
        uninstall()
        for node in (pointer, self.keyboard):
            events = node.read(10, lambda seen: node.gone)
            down = {}
            for event in events:
                if event[1] == EV_KEY:
                    down[event[2]] = event[3]
            expect(not [code for code, value in down.items() if value], f"{node.path} left keys held")
        self.gadget.report(0)
        expect(unit_state("halvorin-driverd.service") in ("inactive", ""), "the host still runs")
        expect(not self.agent_pid(), "the agent still runs")
        left = processes("halvorin-driverd") + processes("HalvorinAgent")
        expect(not left, f"processes left: {left}")
        expect(node_named(POINTER) is None and node_named(KEYBOARD) is None,
               "a virtual device is left")
        mouse = EventNode(gadget_node())
        try:
            fcntl.ioctl(mouse.fd, EVIOCGRAB, 1)
        except OSError:
            raise Failed("the mouse is still grabbed")
        finally:
            mouse.close()
        self.check_nothing_left_behind()

    def check_nothing_left_behind(self):
        # Logs, caches, users' data, the daemons' and dpkg's own state, and
        # the indexes that other packages' triggers rebuild aside (dpkg's
        # knowledge of the packages is asked of dpkg).
        ignored = ("/var/log/", "/var/lib/systemd/", "/var/cache/", "/home/", "/root/", "/run/",
                   "/tmp/", "/var/tmp/", "/etc/ld.so.cache", "/var/lib/dpkg/",
                   "/usr/share/applications/mimeinfo.cache",
                   "/usr/share/icons/hicolor/icon-theme.cache")
        states = run("dpkg-query", "-W", "-f", "${Package} ${db:Status-Abbrev}\\n", *PACKAGE_NAMES,
                     check=False).stdout.split("\n")
        kept = [line for line in states if len(line.split()) > 1 and line.split()[1][1] != "n"]
        expect(not kept, f"dpkg still has: {kept}")
        # What the guest wrote since: a path the host's root lacks is left
        # behind; a whiteout over one it has is a system file removed.
        left, removed = [], []
        for path in sorted(set(upper_layer()) - self.before_install):
            if path.startswith(ignored):
                continue
            written = os.lstat(LAYER / "upper" / path[1:])
            in_lower = os.path.lexists(LAYER / "lower" / path[1:])
            if stat.S_ISCHR(written.st_mode) and written.st_rdev == 0:
                if in_lower:
                    removed.append(path)
            elif not in_lower:
                left.append(path)
        expect(not left, f"left behind: {' '.join(left)}")
        expect(not removed, f"system files removed: {' '.join(removed)}")

    def check_own_devices_never_mice(self):
        """The host took only the gadget's nodes for mice, never its own devices."""
        found = [line.split()[1] for line in journal("_SYSTEMD_UNIT=halvorin-driverd.service")
                 if line.startswith("Mouse /dev/") and "found" in line]
        expect(found, "the host's journal names no mouse")
        strangers = [node for node in found if node not in self.gadget.nodes]
        expect(not strangers, f"the host took {strangers} for mice")

    def check_nothing_failed(self):
        """No unit failed, system or user, and neither the host nor the agent
        ever crashed."""
        failed = run("systemctl", "--failed", "--plain", "--no-legend").stdout.strip()
        failed += user_systemctl("--failed", "--plain", "--no-legend", check=False).stdout.strip()
        expect(not failed, f"failed units: {failed}")
        crashes = [line for line in journal() if "code=dumped" in line and "halvorin" in line.lower()]
        expect(not crashes, f"crashes: {crashes}")

    # The latency benchmark (figures, not a pass or fail).

    def latency(self, node, samples):
        """Per report: from the gadget's write, and from the kernel's input
        event of the report (the added time), to the event on `node`;
        microseconds."""
        device = EventNode(node)
        totals, added = [], []
        with ReportTrace() as trace:
            for index in range(samples):
                device.drain()
                trace.times()
                sent = time.clock_gettime_ns(time.CLOCK_MONOTONIC)
                self.gadget.report(dx=1 if index % 2 == 0 else -1)
                moved = [e for e in device.read(1, lambda seen: any(e[1] == EV_REL for e in seen))
                         if e[1] == EV_REL]
                received = trace.times()
                if moved and received:
                    totals.append((moved[0][0] - sent) / 1000)
                    added.append((moved[0][0] - received[0]) / 1000)
                time.sleep(0.002 + (index % 5) * 0.001)
        device.close()
        expect(len(added) >= samples * 0.95, f"only {len(added)} of {samples} reports came out of {node}")
        return totals, added

    def passthrough_latency(self, samples):
        """The same through Passthrough, the host stopped meanwhile."""
        run("systemctl", "stop", "halvorin-driverd.service")
        copy = subprocess.Popen([PASSTHROUGH, gadget_node()], stdout=subprocess.PIPE, text=True)
        try:
            node = copy.stdout.readline().strip()
            expect(node, "the passthrough did not start")
            return self.latency(node, samples)
        finally:
            copy.terminate()
            copy.wait(5)
            run("systemctl", "start", "halvorin-driverd.service")

    def benchmark_latency(self):
        """The host (no settings yet: gain 1) against a plain grab-and-copy
        passthrough, same boot, same mouse, in alternating rounds so that
        neither gets the quieter moments of the machine."""
        paths = {"host": ([], []), "passthrough": ([], [])}
        for _ in range(2):
            for name, measure in (("host", lambda: self.latency(node_named(POINTER), 200)),
                                  ("passthrough", lambda: self.passthrough_latency(200))):
                totals, added = measure()
                paths[name][0].extend(totals)
                paths[name][1].extend(added)
            open_named(POINTER).close()
        figures = {name: {"samples": len(added), **percentiles("total", totals),
                          **percentiles("added", added)}
                   for name, (totals, added) in paths.items()}
        host, passthrough = figures["host"], figures["passthrough"]
        figures["added_p99_ratio"] = host["added_p99_us"] / passthrough["added_p99_us"]
        (OUT / "latency.json").write_text(json.dumps(figures, indent=2) + "\n")
        for name in paths:
            path = figures[name]
            say(f"latency {name}: write to event median {path['total_median_us']:.0f} us, "
                f"p99 {path['total_p99_us']:.0f} us; added median {path['added_median_us']:.0f} us, "
                f"p99 {path['added_p99_us']:.0f} us ({path['samples']} reports)")
        say(f"latency: the host's added p99 is {figures['added_p99_ratio']:.2f} times the "
            "passthrough's (goal: at most 1.5)")
        self.keyboard.close()
        self.keyboard = open_named(KEYBOARD)

    # Running them.

    def run_all(self):
        checks = [
            ("install", self.check_install, True),
            ("session-active-and-local", self.check_session, True),
            ("plug-starts-host-and-grabs", self.check_plug_starts_host, True),
            ("clicks-before-settings", self.check_clicks_before_settings, False),
            ("virtual-devices-phys", self.check_virtual_devices_phys, False),
            ("latency-benchmark", self.benchmark_latency, True),
            ("agent-sends-user-settings", self.check_agent_sends_settings, True),
            ("halvorinctl-change-remaps", self.check_client_change, False),
            ("copy-and-held-modifier", self.check_copy_and_modifier, False),
            ("polkit-refuses-user-without-session", self.check_polkit, False),
            ("unplug-mid-press-releases", self.check_unplug_mid_press, False),
            ("replug-served-with-settings", self.check_replug, False),
            ("host-restart-resends-settings", self.check_host_restart, False),
            ("agent-killed-releases-modifier", self.check_agent_killed, False),
            ("suspend-resume", self.check_suspend_resume, False),
            ("removal-stops-releases-cleans", self.check_removal, False),
            ("own-devices-never-mice", self.check_own_devices_never_mice, False),
            ("no-failed-units-or-crashes", self.check_nothing_failed, False),
        ]
        stop = None
        for name, check, essential in checks:
            started = time.monotonic()
            if stop:
                self.record(name, False, f"not run: {stop} failed")
                continue
            try:
                check()
                self.record(name, True, f"{time.monotonic() - started:.1f} s")
            except Exception as error:  # every failure is reported, none ends the run
                why = str(error) if isinstance(error, Failed) else traceback.format_exc().strip()
                self.record(name, False, why)
                if essential:
                    stop = name
        failed = [name for name, passed, _ in self.results if not passed]
        if failed or ARGUMENTS.get("halvorin.journal") == "always":
            with open(OUT / "journal.txt", "w") as kept:
                subprocess.run(["journalctl", "-b", "-o", "short-monotonic", "--no-pager"],
                               stdout=kept, timeout=60)
        with open(OUT / "results", "w") as results:
            for name, passed, detail in self.results:
                results.write(f"{'pass' if passed else 'fail'} {name}: {detail}\n")
            results.write("end\n")
        say(f"{len(self.results) - len(failed)} passed, {len(failed)} failed")
        return not failed

    def record(self, name, passed, detail):
        self.results.append((name, passed, detail))
        say(f"{'pass' if passed else 'FAIL'} {name} ({detail})" if passed else
            f"FAIL {name}: {detail}")


if __name__ == "__main__":
    if sys.argv[1:] == ["install"]:
        sys.exit(install_before_login())
    passed = SystemTest().run_all()
    os.sync()
    subprocess.run(["systemctl", "poweroff", "--force", "--force"])
    sys.exit(0 if passed else 1)
