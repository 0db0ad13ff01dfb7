"""Faults injected while a soak runs, one at a time, each logged with its
start and end so the checker can tell the failures they explain."""

import os
import subprocess
import threading
import time

from recorder import serial_of


def _quiet(args):
    return subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


class Workstation:
    """What the faults need to know of one workstation: its folders, its
    event log, its clock file (None when its clock cannot be stepped) and how
    to start its driver (None when it cannot be restarted)."""

    def __init__(self, name, local, ini, local_is_tmpfs, log=None, clock_file=None, start=None):
        self.name, self.local, self.ini = name, local, ini
        self.local_is_tmpfs = local_is_tmpfs
        self.log, self.clock_file, self.start = log, clock_file, start
        self.proc = None
        self.lock = threading.Lock()
        self.kills = 0

    def busy(self):
        """Whether an operator action (a playback, say) is running now."""
        try:
            with open(self.log, "rb") as f:
                f.seek(max(0, os.path.getsize(self.log) - 8192))
                tail = f.read().decode("utf-8", "replace")
        except OSError:
            return False
        return tail.rfind('"ev":"action",') > tail.rfind('"ev":"action_end",')

    def kill_and_restart(self):
        """SIGKILL, then the driver starts again on the same folders and log."""
        with self.lock:
            self.proc.kill()
            self.proc.wait()
            self.kills += 1
            self.proc = self.start(self.kills)


class FaultInjector(threading.Thread):
    KINDS = ["rename_refused", "settings_garbage", "truncate", "local_full", "unmount",
             "local_readonly", "drop_connection", "kill", "clock_step"]
    CLOCK_STEP_SECONDS = 600

    def __init__(self, shared, workstations, log, rng, every=10.0, hold=5.0, stop=None, kinds=None):
        super().__init__(name="faults", daemon=True)
        self.kinds = kinds or self.KINDS
        self.shared, self.workstations, self.log, self.rng = shared, workstations, log, rng
        self.every, self.hold = every, hold
        self.stop_event = stop or threading.Event()
        self.count = {}
        self.skipped = {}
        self._undo = None
        self.immutable = set()

    # -- helpers ----------------------------------------------------------
    def _new_messages(self):
        folder = self.shared.server
        return sorted(n for n in os.listdir(folder) if n.startswith("N") and n.endswith(".vox"))

    def _start(self, kind, ws=None, **detail):
        self.count[kind] = self.count.get(kind, 0) + 1
        self.log.write(ev="fault_start", kind=kind, ws=ws, **detail)

    def _end(self, kind, ws=None, **detail):
        self.log.write(ev="fault_end", kind=kind, ws=ws, **detail)

    def _skip(self, kind, why):
        self.skipped[kind] = why
        return None

    # -- the faults: each starts its fault and returns how to end it ------
    def rename_refused(self, ws):
        names = self._new_messages()
        if not names:
            return None
        name = self.rng.choice(names)
        path = os.path.join(self.shared.server, name)
        if not _quiet(["chattr", "+i", path]):
            return self._skip("rename_refused", "chattr +i is not possible on the server folder")
        self.immutable.add(name)
        self._start("rename_refused", None, name=name[:-4])
        return lambda: (_quiet(["chattr", "-i", path]), self.immutable.discard(name),
                        self._end("rename_refused", None, name=name[:-4]))

    def settings_garbage(self, ws):
        with open(ws.ini, "rb") as f:
            original = f.read()
        garbage = bytes(self.rng.randrange(256) for _ in range(self.rng.randrange(64, 2048)))
        garbage += b"\n[Messages\nMsgTimer=\xff\xfe\n=\n[]\n" + bytes(range(32))
        if not self._replace(ws.ini, garbage):
            return self._skip("settings_garbage", "the settings folder cannot be written")
        self._start("settings_garbage", ws.name)

        def restore():
            for _ in range(50):
                if self._replace(ws.ini, original):
                    break
                time.sleep(0.1)
            self._end("settings_garbage", ws.name)
        return restore

    @staticmethod
    def _replace(path, data):
        temp = path + ".soak"
        try:
            with open(temp, "wb") as f:
                f.write(data)
            os.replace(temp, path)
            return True
        except OSError:
            return False

    def truncate(self, ws):
        names = [n for n in self._new_messages() if n not in self.immutable]
        if not names:
            return None
        name = self.rng.choice(names)
        path = os.path.join(self.shared.server, name)
        serial = serial_of(path)
        try:
            os.truncate(path, 0)
        except OSError:
            return None
        self._start("truncate", None, name=name[:-4], serial=serial)
        self._end("truncate", None, name=name[:-4], serial=serial)
        return None

    def local_full(self, ws):
        if not ws.local_is_tmpfs:
            return self._immutable_local(ws, "local_full")
        filler = os.path.join(ws.local, "filler.bin")
        try:
            with open(filler, "wb") as f:
                while True:
                    f.write(b"\0" * 65536)
        except OSError:
            pass  # the folder is full
        self._start("local_full", ws.name)
        return lambda: (os.unlink(filler), self._end("local_full", ws.name))

    def local_readonly(self, ws):
        if not ws.local_is_tmpfs:
            return self._immutable_local(ws, "local_readonly")
        if not _quiet(["mount", "-o", "remount,ro", ws.local]):
            return self._skip("local_readonly", "remount read-only refused")
        self._start("local_readonly", ws.name)

        def back():
            while not _quiet(["mount", "-o", "remount,rw", ws.local]):
                time.sleep(0.1)
            self._end("local_readonly", ws.name)
        return back

    def _immutable_local(self, ws, kind):
        # Without a mount of its own, the folder is made immutable instead:
        # nothing can be created, written or removed in it, as when full.
        if not _quiet(["chattr", "+i", ws.local]):
            return self._skip(kind, "neither a tmpfs nor chattr for the local folder")
        self._start(kind, ws.name, simulated="immutable folder")
        return lambda: (_quiet(["chattr", "-i", ws.local]), self._end(kind, ws.name))

    def unmount(self, ws):
        if not self.shared.network:
            return self._skip("unmount", "no network folder")
        self._start("unmount", ws.name)
        self.shared.unmount(ws.name)

        def back():
            ok = self.shared.remount(ws.name)
            self._end("unmount", ws.name, remounted=ok)
        return back

    def drop_connection(self, ws):
        if not self.shared.network:
            return self._skip("drop_connection", "no network folder")
        self._start("drop_connection", ws.name)
        self.shared.drop_connection(ws.name)

        def back():
            self.shared.unmount(ws.name)
            ok = self.shared.remount(ws.name)
            self._end("drop_connection", ws.name, remounted=ok)
        return back

    def kill(self, ws):
        if not ws.start or not ws.proc:
            return self._skip("kill", "the workstation cannot be restarted")
        # Killed in the middle of a playback (its call up), when one comes.
        deadline = time.time() + 5
        while time.time() < deadline and not ws.busy() and not self.stop_event.is_set():
            time.sleep(0.01)
        self._start("kill", ws.name, busy=ws.busy())
        ws.kill_and_restart()
        self._end("kill", ws.name)
        return None

    def clock_step(self, ws):
        """The workstation's wall clock goes back, then forward past the true
        time, then back to it; its monotonic clock runs on undisturbed."""
        if not ws.clock_file:
            return self._skip("clock_step", "no libfaketime")
        step = self.CLOCK_STEP_SECONDS
        self._start("clock_step", ws.name, seconds=-step)
        self._replace(ws.clock_file, b"-%d\n" % step)

        def forward_then_back():
            self.log.write(ev="clock_step", ws=ws.name, seconds=step)
            self._replace(ws.clock_file, b"+%d\n" % step)
            self.stop_event.wait(self.hold)
            self._replace(ws.clock_file, b"+0\n")
            self._end("clock_step", ws.name)
        return forward_then_back

    # -- the schedule -----------------------------------------------------
    def run(self):
        turn = 0
        while not self.stop_event.wait(self.rng.uniform(0.5, 1.5) * self.every):
            kind = self.kinds[turn % len(self.kinds)]
            ws = self.workstations[turn % len(self.workstations)]
            turn += 1
            try:
                undo = getattr(self, kind)(ws)
            except OSError as e:
                self.log.write(ev="fault_error", kind=kind, text=str(e))
                continue
            if undo:
                self._undo = undo
                self.stop_event.wait(self.hold)
                self.end_current()

    def end_current(self):
        undo, self._undo = self._undo, None
        if undo:
            undo()
