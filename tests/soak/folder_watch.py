"""Watches the server's messages folder with inotify and logs every change of
a name in it (created, deleted, moved from/to with the move's cookie), so the
checker has a witness that is independent of the workstations' own logs."""

import ctypes
import ctypes.util
import json
import os
import select
import struct
import threading
import time

IN_CREATE = 0x100
IN_DELETE = 0x200
IN_MOVED_FROM = 0x40
IN_MOVED_TO = 0x80
IN_CLOSE_WRITE = 0x08
IN_Q_OVERFLOW = 0x4000
IN_ISDIR = 0x40000000

_KINDS = {
    IN_CREATE: "create",
    IN_DELETE: "delete",
    IN_MOVED_FROM: "moved_from",
    IN_MOVED_TO: "moved_to",
    IN_CLOSE_WRITE: "written",
}
_HEADER = struct.Struct("iIII")


class FolderWatch:
    """Logs the events of one folder to a JSON-lines file from a thread."""

    def __init__(self, folder, log_path):
        libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
        self._fd = libc.inotify_init1(os.O_NONBLOCK | os.O_CLOEXEC)
        if self._fd < 0:
            raise OSError(ctypes.get_errno(), "inotify_init1")
        mask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE
        if libc.inotify_add_watch(self._fd, os.fsencode(folder), mask) < 0:
            raise OSError(ctypes.get_errno(), "inotify_add_watch")
        self._log = open(log_path, "a", encoding="utf-8")
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, name="folder-watch", daemon=True)
        self._thread.start()

    def _run(self):
        poller = select.poll()
        poller.register(self._fd, select.POLLIN)
        while True:
            ready = poller.poll(100)
            if not ready:
                if self._stop.is_set():
                    break
                continue
            try:
                data = os.read(self._fd, 1 << 16)
            except BlockingIOError:
                continue
            self._parse(data)
        self._log.close()
        os.close(self._fd)

    def _parse(self, data):
        now = int(time.time() * 1000)
        pos = 0
        while pos + _HEADER.size <= len(data):
            _wd, mask, cookie, length = _HEADER.unpack_from(data, pos)
            raw = data[pos + _HEADER.size:pos + _HEADER.size + length]
            pos += _HEADER.size + length
            name = raw.split(b"\0", 1)[0].decode("utf-8", "replace")
            if mask & IN_Q_OVERFLOW:
                self._write({"t": now, "ev": "overflow"})
                continue
            if mask & IN_ISDIR:
                continue
            for bit, kind in _KINDS.items():
                if mask & bit:
                    self._write({"t": now, "ev": kind, "name": name, "cookie": cookie})

    def _write(self, record):
        self._log.write(json.dumps(record) + "\n")
        self._log.flush()

    def stop(self):
        """Reads what is still queued, then ends the thread."""
        time.sleep(0.3)
        self._stop.set()
        self._thread.join(5)
