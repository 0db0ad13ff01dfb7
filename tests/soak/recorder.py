"""The server side of the installation during a soak: a recorder that writes
new messages the way the telephone system does (under a temporary name, then
renamed into place) and a purge that removes heard messages a few seconds
after they were heard. Both log every file they touch as JSON lines."""

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
    head = TAG + str(serial).zfill(SERIAL_DIGITS).encode()
    return head + bytes([0x11]) * (int(seconds * BYTES_PER_SECOND) - len(head))


def serial_of(path):
    """The serial in a message file, None for a file without the tag."""
    try:
        with open(path, "rb") as f:
            head = f.read(len(TAG) + SERIAL_DIGITS)
    except OSError:
        return None
    if not head.startswith(TAG):
        return None
    digits = head[len(TAG):]
    return int(digits) if digits.isdigit() and len(digits) == SERIAL_DIGITS else None


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


class Recorder(threading.Thread):
    """Writes a new message every `interval` seconds on average for a few
    entities. Now and then it records a newer copy of a message that has
    been heard (its heard file is still there): the same name again."""

    def __init__(self, folder, log, rng, interval=0.5, entities=6, reuse=0.05, stop=None):
        super().__init__(name="recorder", daemon=True)
        self.folder, self.log, self.rng = folder, log, rng
        self.interval, self.reuse = interval, reuse
        self.entities = [str(100 + 7 * i).zfill(9) for i in range(entities)]
        self.stop_event = stop or threading.Event()
        self.serial = 0
        self.written = 0
        self.next_order = {e: 0 for e in self.entities}

    def _new_name(self):
        if self.rng.random() < self.reuse:
            heard = [n for n in os.listdir(self.folder) if n.startswith("M") and n.endswith(".vox")]
            candidates = [n for n in heard if not os.path.exists(os.path.join(self.folder, "N" + n[1:]))]
            if candidates:
                return "N" + self.rng.choice(sorted(candidates))[1:-4], True
        entity = self.rng.choice(self.entities)
        for _ in range(len(ORDER_CHARS)):
            order = ORDER_CHARS[self.next_order[entity] % len(ORDER_CHARS)]
            self.next_order[entity] += 1
            name = "NA" + entity + order
            if not any(os.path.exists(os.path.join(self.folder, s + name[1:] + ".vox")) for s in "NM"):
                return name, False
        return None, False

    def record_one(self):
        name, newer_copy = self._new_name()
        if name is None:
            return
        self.serial += 1
        seconds = self.rng.choice([1, 1, 2, 2, 3, 4, 5])
        temp = os.path.join(self.folder, "REC%08d.tmp" % self.serial)
        with open(temp, "wb") as f:
            f.write(message_bytes(self.serial, seconds))
            f.flush()
            os.fsync(f.fileno())
        os.rename(temp, os.path.join(self.folder, name + ".vox"))
        self.written += 1
        self.log.write(ev="recorded", serial=self.serial, name=name, seconds=seconds,
                       newer_copy=newer_copy)

    def run(self):
        while not self.stop_event.wait(self.rng.expovariate(1.0 / self.interval)):
            try:
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
            serial = serial_of(claimed)
            size = os.path.getsize(claimed)
            os.unlink(claimed)
            self.purged += 1
            self.log.write(ev="purged", name=name[:-4], serial=serial, bytes=size)

    def run(self):
        while not self.stop_event.wait(1.0):
            try:
                self.purge_once()
            except OSError as e:
                self.log.write(ev="purge_error", text=str(e))
