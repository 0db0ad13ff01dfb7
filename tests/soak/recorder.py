"""The server side of the installation during a soak: a recorder that writes
new messages the way the telephone system does (under a temporary name, then
renamed into place) and a purge that removes heard messages a few seconds
after they were heard. Both log every file they touch as JSON lines."""

import hashlib
import json
import os
import random
import threading
import time

# Every message starts with this tag and its serial number, so the checker
# can tell each message by its contents whatever its name has become.
TAG = b"VNSOAK"
SERIAL_DIGITS = 8
BYTES_PER_SECOND = 4000
ORDER_CHARS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"


def message_bytes(serial, seconds):
    """The tag, the serial, then bytes that differ from message to message,
    so that a message cut short, or spliced from two, has another hash."""
    head = TAG + str(serial).zfill(SERIAL_DIGITS).encode()
    body = random.Random(serial).randbytes(64) * (int(seconds * BYTES_PER_SECOND) // 64 + 1)
    return head + body[:int(seconds * BYTES_PER_SECOND) - len(head)]


def digest(data):
    return hashlib.sha1(data).hexdigest()


def file_digest(path):
    """(serial, SHA-1 of the whole file, length); None for an unreadable file."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        return None
    return serial_in(data), digest(data), len(data)


def serial_in(data):
    digits = data[len(TAG):len(TAG) + SERIAL_DIGITS]
    if not data.startswith(TAG) or len(digits) != SERIAL_DIGITS or not digits.isdigit():
        return None
    return int(digits)


def serial_of(path):
    """The serial in a message file, None for a file without the tag."""
    try:
        with open(path, "rb") as f:
            return serial_in(f.read(len(TAG) + SERIAL_DIGITS))
    except OSError:
        return None


class JsonLog:
    def __init__(self, path):
        self._file = open(path, "a", encoding="utf-8")
        self._lock = threading.Lock()

    def write(self, **record):
        record.setdefault("t", int(time.time() * 1000))
        with self._lock:
            self._file.write(json.dumps(record) + "\n")
            self._file.flush()

    def close(self):
        self._file.close()


class PlayWatch:
    """Follows the workstations' event logs: which message each workstation
    is playing, or has paused or stopped and not yet marked heard."""

    def __init__(self, logs, playing_new):
        self.offsets = {path: 0 for path in logs}
        self.pending = {}  # workstation log -> serial being played
        self.playing_new = playing_new

    def poll(self):
        for path, offset in self.offsets.items():
            try:
                with open(path, "rb") as f:
                    f.seek(offset)
                    data = f.read()
            except OSError:
                continue
            end = data.rfind(b"\n") + 1
            self.offsets[path] = offset + end
            for line in data[:end].splitlines():
                try:
                    e = json.loads(line)
                except ValueError:
                    continue
                if e.get("ev") == "play_start":
                    self.pending[path] = e.get("serial")
                    if not self.playing_new(e.get("serial")):
                        self.pending.pop(path)
                elif e.get("ev") in ("heard", "start"):
                    self.pending.pop(path, None)
        return set(s for s in self.pending.values() if s is not None and s > 0)


class Recorder(threading.Thread):
    """Writes a new message every `interval` seconds on average for a few
    entities, and reuses names as a telephone system does:

    - a newer copy of a heard message (its heard file is still there): the
      same new name again;
    - a name whose ordering character differs only in case from one in the
      folder (NA000000001a beside MA000000001A), a different message to a
      case-sensitive folder and the same name to a case-insensitive share;
    - with `logs` given, a newer copy of a message that a workstation is
      playing (or has paused) while another has already marked it heard:
      the race in which the first one's marking must not take the newer copy.
    """

    def __init__(self, folder, log, rng, interval=0.5, entities=6, reuse=0.1, case_twins=0.1,
                 stop=None, logs=(), owner=None):
        super().__init__(name="recorder", daemon=True)
        self.folder, self.log, self.rng = folder, log, rng
        self.interval, self.reuse, self.case_twins = interval, reuse, case_twins
        self.entities = [str(100 + 7 * i).zfill(9) for i in range(entities)]
        self.stop_event = stop or threading.Event()
        self.serial = 0
        self.written = 0
        self.kinds = {}
        self.name_of = {}
        self.raced = set()
        self.owner = owner  # (uid, gid) the share's files belong to
        self.watch = PlayWatch(logs, self._still_new) if logs else None
        self.next_order = {e: 0 for e in self.entities}
        self._lock = threading.Lock()

    def _exists(self, name):
        return os.path.exists(os.path.join(self.folder, name + ".vox"))

    def _taken(self, name):
        return self._exists("N" + name[1:]) or self._exists("M" + name[1:])

    def _heard_only(self):
        heard = [n[:-4] for n in os.listdir(self.folder) if n.startswith("M") and n.endswith(".vox")]
        return sorted(n for n in heard if not self._exists("N" + n[1:]))

    def _new_name(self):
        pick = self.rng.random()
        if pick < self.reuse:
            candidates = self._heard_only()
            if candidates:
                return "N" + self.rng.choice(candidates)[1:], "newer_copy"
        elif pick < self.reuse + self.case_twins:
            names = sorted(n[:-4] for n in os.listdir(self.folder)
                           if n[:1] in "NM" and n.endswith(".vox") and n[11:12].isalpha())
            twins = ["N" + n[1:11] + n[11].swapcase() for n in names]
            twins = [n for n in twins if not self._taken(n)]
            if twins:
                return self.rng.choice(twins), "case_twin"
        entity = self.rng.choice(self.entities)
        for _ in range(len(ORDER_CHARS)):
            order = ORDER_CHARS[self.next_order[entity] % len(ORDER_CHARS)]
            self.next_order[entity] += 1
            name = "NA" + entity + order
            if not self._taken(name):
                return name, "fresh"
        return None, None

    def record_one(self, name=None, kind=None):
        with self._lock:
            if name is None:
                name, kind = self._new_name()
            if name is None:
                return
            self.serial += 1
            seconds = self.rng.choice([1, 1, 2, 2, 3, 4, 5, 20])
            data = message_bytes(self.serial, seconds)
            temp = os.path.join(self.folder, "REC%08d.tmp" % self.serial)
            with open(temp, "wb") as f:
                f.write(data)
                f.flush()
                os.fsync(f.fileno())
            if self.owner:
                os.chown(temp, *self.owner)
            os.rename(temp, os.path.join(self.folder, name + ".vox"))
            self.written += 1
            self.kinds[kind] = self.kinds.get(kind, 0) + 1
            self.name_of[self.serial] = name
            self.log.write(ev="recorded", serial=self.serial, name=name, seconds=seconds,
                           bytes=len(data), sha1=digest(data), kind=kind,
                           newer_copy=kind in ("newer_copy", "race"))

    def _still_new(self, serial):
        """Whether message `serial` is still under its new name: a play of a
        heard message races nothing."""
        name = self.name_of.get(serial)
        return bool(name) and serial_of(os.path.join(self.folder, "N" + name[1:] + ".vox")) == serial

    def race_plays(self):
        """A newer copy of each message being played here that another
        workstation has already marked heard."""
        for serial in self.watch.poll():
            name = self.name_of.get(serial)
            if not name or serial in self.raced:
                continue
            if self._exists("M" + name[1:]) and not self._exists("N" + name[1:]):
                self.raced.add(serial)
                self.record_one("N" + name[1:], "race")

    def run(self):
        due = time.time() + self.rng.expovariate(1.0 / self.interval)
        while not self.stop_event.wait(0.05):
            try:
                if self.watch:
                    self.race_plays()
                if time.time() >= due:
                    due = time.time() + self.rng.expovariate(1.0 / self.interval)
                    self.record_one()
            except OSError as e:
                self.log.write(ev="recorder_error", text=str(e))


class Purge(threading.Thread):
    """Every second removes the heard messages that were heard (renamed) more
    than `age` seconds ago. A file is first claimed by renaming it to a hidden
    name, so the serial logged is that of the file removed."""

    def __init__(self, folder, log, age=4.0, stop=None):
        super().__init__(name="purge", daemon=True)
        self.folder, self.log, self.age = folder, log, age
        self.stop_event = stop or threading.Event()
        self.purged = 0

    def purge_once(self):
        now = time.time()
        for name in sorted(os.listdir(self.folder)):
            if not (name.startswith("M") and name.endswith(".vox")):
                continue
            path = os.path.join(self.folder, name)
            try:
                if now - os.stat(path).st_ctime < self.age:
                    continue
                claimed = os.path.join(self.folder, ".purge-" + name)
                os.rename(path, claimed)
            except OSError:
                continue  # gone or held: the next round tries again
            serial, sha1, size = file_digest(claimed) or (None, None, 0)
            os.unlink(claimed)
            self.purged += 1
            self.log.write(ev="purged", name=name[:-4], serial=serial, bytes=size, sha1=sha1)

    def run(self):
        while not self.stop_event.wait(1.0):
            try:
                self.purge_once()
            except OSError as e:
                self.log.write(ev="purge_error", text=str(e))
