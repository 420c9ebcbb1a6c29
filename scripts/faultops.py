"""The fault run's simulated drives, its tarvoctl calls and the checks of what they report.

Used by scripts/faults.
"""

import ctypes
import math
import shutil
import signal
import subprocess
import tempfile
import threading
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, List, Optional

# Writable entries whose value only the tool changes: (entry, width, largest value).
WRITABLE = [("6081:00", 32, 409600), ("100C:00", 16, 65535)]
CONSTANTS = ["20A0:06", "20A0:07"]
TEXTS = ["1008:00", "100A:00", "20A0:02"]
# The exported object list: two constants and the two writable entries.
EXPORT_LIST = [("20A0:06", 16), ("20A0:07", 16), ("6081:00", 32), ("100C:00", 16)]

# How many times the link sends a request that got no usable reply, in all: a serial
# exchange gives up after its fourth silent transmission, a CAN exchange after its third.
# A transmission waits one timeout past the last byte it received (the faults here send a
# reply's bytes together, or 2 ms apart).
ATTEMPTS = {"rs232": 4, "can": 3}
# An upload whose segment exchange failed runs again from its initiate request, twice.
UPLOAD_RESTARTS = 2
# The scope capture: its settings, start and status requests (the count of a clean run
# with some room), the samples asked for and the seconds it may wait for the record.
SCOPE_REQUESTS = 40
SCOPE_SAMPLES = 8
SCOPE_WAIT_S = 15
# The process starts, loads its dictionary and opens the port within this.
START_S = 1.0


@dataclass
class Result:
    code: Optional[int]  # None: killed after the run's own limit
    out: str
    err: str
    seconds: float


@dataclass
class Call:
    """One tarvoctl call: its words, how many exchanges it may make and its check."""
    kind: str
    words: List[str]
    requests: int = 1  # exchanges sent with repetitions
    transacts: int = 0  # single transmissions (segments)
    wait_s: float = 0.0  # a wait of its own (the scope's capture)
    check: Callable = None  # after exit 0: (whether it holds, what it printed)
    failed: Optional[Callable] = None  # after a failure: the drive may have taken a write


def segments_of(text_length):
    """Segments of a segmented upload of a text (seven bytes each, a shorter one last)."""
    return text_length // 7 + 1


def upload_exchanges(segments):
    """Requests and single transmissions of an upload at most: the initiate request and each
    segment, where each segment that fails may run the upload again from the start, twice:
    the initiate request and the segments delivered so far, then the segment again."""
    requests = 1 + segments * UPLOAD_RESTARTS
    transacts = sum(1 + UPLOAD_RESTARTS * (k + 1) for k in range(segments))
    return requests, transacts


def operation_bound(call, interface, timeout_ms):
    waits = call.requests * ATTEMPTS[interface] + call.transacts
    return timeout_ms / 1000.0 * waits + call.wait_s + START_S


class Tally:
    OUTCOMES = ("ok", "failed", "wrong", "hung", "crash")

    def __init__(self):
        self.lock = threading.Lock()
        self.counts = {outcome: 0 for outcome in self.OUTCOMES}
        self.by_kind = {}
        self.examples = []
        self.notes = []
        self.faults = 0
        self.longest = 0.0
        self.ratio = 0.0
        self.error = None

    def add(self, kind, outcome, detail, seconds, bound):
        with self.lock:
            self.counts[outcome] += 1
            counts = self.by_kind.setdefault(kind, {"ok": 0, "failed": 0, "wrong": 0})
            if outcome in counts:
                counts[outcome] += 1
            if outcome in ("wrong", "hung", "crash") and len(self.examples) < 6:
                self.examples.append(f"{outcome}: {detail}")
            self.longest = max(self.longest, seconds)
            self.ratio = max(self.ratio, seconds / bound)

    def add_faults(self, count):
        with self.lock:
            self.faults += count

    def note(self, text):
        with self.lock:
            self.notes.append(text)


class DriveState:
    """What each writable entry may hold: the value last confirmed and those of writes that
    failed since (the drive may have taken them), until a read confirms the value last
    written."""

    def __init__(self, defaults, folder):
        self.defaults = defaults
        self.folder = folder
        self.possible = {entry: {int(defaults[entry])} for entry, _, _ in WRITABLE}
        self.failed = {entry: set() for entry, _, _ in WRITABLE}
        self.written = {entry: None for entry, _, _ in WRITABLE}

    def wrote(self, entry, value, ok):
        if ok:
            self.possible[entry] = {value} | self.failed[entry]
            self.written[entry] = value
        else:
            self.possible[entry].add(value)
            self.failed[entry].add(value)

    def holds(self, entry, text):
        """Whether the drive may hold the value read; a read confirms it."""
        if entry not in self.possible:
            return text == str(self.defaults[entry])
        if not text.isdigit() or int(text) not in self.possible[entry]:
            return False
        self.possible[entry] = {int(text)}
        if int(text) == self.written[entry]:
            self.failed[entry].clear()
        return True

    def may_hold(self, entry, value):
        if entry not in self.possible:
            return value == int(self.defaults[entry])
        return value in self.possible[entry]

    def expect(self, entry):
        return sorted(self.possible[entry]) if entry in self.possible else self.defaults[entry]

    # The calls of each kind of operation.
    def plan(self, kind, i, rng):
        return getattr(self, "plan_" + kind)(i, rng)

    def plan_read(self, i, rng):
        entry = CONSTANTS[(i // 8) % len(CONSTANTS)]
        return [Call("read", ["read", entry, "--raw"],
                     check=lambda r: self.judge(r, self.holds(entry, r.out), entry))]

    def plan_write(self, i, rng):
        entry, width, largest = WRITABLE[(i // 2) % len(WRITABLE)]
        value = rng.randint(0, largest)

        def written(result):
            self.wrote(entry, value, True)
            return result.out == str(value), f"printed {result.out!r}"

        return [Call("write", ["write", entry, str(value), "--width", str(width)], requests=2,
                     check=written, failed=lambda: self.wrote(entry, value, False)),
                self.read_back(entry)]

    def read_back(self, entry):
        return Call("read back", ["read", entry, "--raw"],
                    check=lambda r: self.judge(r, self.holds(entry, r.out), entry))

    def plan_upload(self, i, rng):
        entry = TEXTS[(i // 8) % len(TEXTS)]
        expected = str(self.defaults[entry])
        requests, transacts = upload_exchanges(segments_of(len(expected)))
        return [Call("upload", ["upload", entry], requests=requests, transacts=transacts,
                     check=lambda r: (r.out == expected, f"{r.out!r}, drive holds {expected!r}"))]

    def plan_export(self, i, rng):
        listing = self.folder / "list.cdo"
        target = self.folder / "out.cdi"
        listing.write_bytes(b"".join(
            f"{e[:4]}{e[5:]}{w:02X}\r\n".encode() for e, w in EXPORT_LIST))

        def exported(result):
            try:
                lines = target.read_text(encoding="latin-1").splitlines()
            except OSError:
                return False, "exit 0 without the file"
            finally:
                target.unlink(missing_ok=True)
            rows = [line.split(",") for line in lines]
            if len(rows) != len(EXPORT_LIST):
                return False, f"{len(rows)} rows of {len(EXPORT_LIST)}"
            for (entry, _), row in zip(EXPORT_LIST, rows):
                if len(row) != 3 or row[2] != "True" or not self.holds(entry, row[1]):
                    return False, f"row {row}, drive holds {self.expect(entry)}"
            return True, ""

        target.unlink(missing_ok=True)
        return [Call("export", ["export", str(listing), str(target)],
                     requests=len(EXPORT_LIST), check=exported)]

    def plan_import(self, i, rng):
        source = self.folder / "in.cdi"
        values = {entry: rng.randint(0, largest) for entry, _, largest in WRITABLE}
        source.write_bytes(b"".join(
            f"{e[:4]}{e[5:]}{w:02X},{values[e]},True\r\n".encode() for e, w, _ in WRITABLE))

        def imported(ok):
            for entry in values:
                self.wrote(entry, values[entry], ok)
            return True, ""

        def read_both(result):
            rows = [line.split("\t") for line in result.out.splitlines()]
            if len(rows) != len(values):
                return False, f"printed {result.out!r}"
            for (entry, _, _), row in zip(WRITABLE, rows):
                if row[0] != entry or not self.holds(entry, row[1]):
                    return False, f"read {row}, drive holds {self.expect(entry)}"
            return True, ""

        # Each row: the write, a read when its acknowledgement does not carry the value,
        # the read back.
        return [Call("import", ["import", str(source)], requests=3 * len(values),
                     check=lambda r: imported(True), failed=lambda: imported(False)),
                Call("read back", ["read"] + list(values) + ["--raw"], requests=len(values),
                     check=read_both)]

    def plan_scope(self, i, rng):
        csv = self.folder / "scope.csv"
        csv.unlink(missing_ok=True)
        channels = {1: "100C:00", 2: "6081:00"}

        def captured(result):
            try:
                lines = csv.read_text(encoding="latin-1").splitlines()
            except OSError:
                return False, "exit 0 without the file"
            finally:
                csv.unlink(missing_ok=True)
            samples = [line.split(",") for line in lines if line]
            if len(samples) != SCOPE_SAMPLES:
                return False, f"{len(samples)} samples of {SCOPE_SAMPLES}"
            for sample in samples:
                for column, entry in channels.items():
                    try:
                        value = int(sample[column - 1])
                    except (ValueError, IndexError):
                        return False, f"sample {sample}"
                    if not self.may_hold(entry, value):
                        return False, f"sample {sample}, drive holds {self.expect(entry)}"
            return True, ""

        words = ["scope"]
        for channel, entry in channels.items():
            words += ["--channel", f"{channel}={entry}"]
        words += ["--trigger", "manual", "--total", str(SCOPE_SAMPLES), "--csv", str(csv),
                  "--wait", str(SCOPE_WAIT_S)]
        requests, transacts = upload_exchanges(math.ceil(SCOPE_SAMPLES * 6 / 7) + 1)
        return [Call("scope", words, requests=SCOPE_REQUESTS + requests, transacts=transacts,
                     wait_s=SCOPE_WAIT_S, check=captured)]

    def judge(self, result, holds, entry):
        return holds, f"{result.out!r}, drive holds {self.expect(entry)}"


def check_operation(call, result, must_fail):
    """The outcome of a call that ended: ok, failed or wrong, and what was wrong."""
    what = f"{call.kind} {' '.join(call.words[1:3])}"
    if result.code != 0 or must_fail:
        if call.failed:
            call.failed()
    if result.code is None or result.code < 0:
        return "failed", what
    if result.code != 0:
        if not (result.err.strip() or result.out.strip()):
            return "wrong", f"{what}: exit {result.code} without a word"
        return "failed", what
    if must_fail:
        return "wrong", f"{what}: exit 0 from a drive that had stopped: {result.out!r}"
    good, detail = call.check(result)
    return ("ok" if good else "wrong"), f"{what}: {detail}"


def end_with_parent():
    """In the simulator's process before it starts: it ends when the run does, even when
    the run is killed (a test's time limit)."""
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


class Shard:
    """One simulated drive with its own program folder, and the calls made to it."""

    def __init__(self, stage, interface, options, number):
        self.stage = Path(stage).resolve()
        self.interface = interface
        self.options = options
        self.folder = Path(tempfile.mkdtemp(prefix="tarvo-faults-"))
        (self.folder / "data").symlink_to(self.stage / "data")
        (self.folder / "sys").mkdir()
        self.trace = self.folder / "trace.txt"
        self.exchanges = 0  # requests the drive received, counted from the traces
        self.answers = []  # of the last call's exchanges, whether each was answered
        self.port = f"ttyF{number % 1000}"
        args = [str(self.stage / "tarvo-drivesim"), "--folder", str(self.folder),
                "--no-console", "--quiet", "--static-inputs"] + options
        if interface == "can":
            (self.folder / "sys" / "can.ini").write_bytes(
                b"[can]\r\nbackend=sim\r\nsocket=dev/cansim0\r\n")
            args.append("--can-sim")
        else:
            args += ["--link", self.port]
        self.sim = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                    stdin=subprocess.DEVNULL, text=True,
                                    preexec_fn=end_with_parent)
        deadline = time.monotonic() + 30
        for line in self.sim.stdout:
            if line.strip() == "ready" or time.monotonic() > deadline:
                break
        if self.sim.poll() is not None:
            raise RuntimeError("tarvo-drivesim did not start with " + " ".join(options))

    def settle(self):
        """Lets the drive that stopped answering or closed its port after its last counted
        exchange be done with it: a reply it sent before it went silent (late, past the
        timeout of a loaded machine, and not taken) would pass for the answer to the next
        request of the same entry, as it would on a real line. A closing drive ends its
        process once the port is closed."""
        if "--close-after" in self.options:
            try:
                self.sim.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        else:
            time.sleep(0.3)

    def fresh_state(self, defaults):
        return DriveState(defaults, self.folder)

    def close(self):
        self.sim.terminate()
        try:
            self.sim.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.sim.kill()
            self.sim.wait()
        self.sim.stdout.close()
        shutil.rmtree(self.folder, ignore_errors=True)

    def ctl(self, words, limit):
        """Runs tarvoctl with the words; killed (code None) after `limit` seconds."""
        link = ["--can", "--bitrate", "0x001C"] if self.interface == "can" else ["--port", self.port]
        args = ([str(self.stage / "tarvoctl"), "--folder", str(self.folder), "--trace",
                 str(self.trace)] + link + list(words))
        self.trace.unlink(missing_ok=True)
        started = time.monotonic()
        try:
            done = subprocess.run(args, capture_output=True, text=True, timeout=limit,
                                  errors="replace")
            result = Result(done.returncode, done.stdout.rstrip("\n"), done.stderr,
                            time.monotonic() - started)
        except subprocess.TimeoutExpired:
            result = Result(None, "", "", time.monotonic() - started)
        try:
            lines = [line for line in self.trace.read_bytes().splitlines() if b"  ->  " in line]
        except OSError:
            lines = []
        self.answers = [b"  ->  no reply" not in line for line in lines]
        self.exchanges += len(lines)
        return result
