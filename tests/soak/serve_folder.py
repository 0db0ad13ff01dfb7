#!/usr/bin/env python3
"""Serves one messages folder on loopback with the soak's servers and mounts
it twice with short caches, as two workstations racing on a folder of a file
server see it.
  serve_folder.py sshfs DIR   SSH server + two sshfs mounts
  serve_folder.py smb DIR     Samba server + two smbnetfs mounts
  serve_folder.py stop DIR    unmounts and stops what DIR started
On success prints three lines: the server's folder, then each mount's view of
it; a process left in the background holds the servers and mounts until
`stop`. Exits 77 with the reason on standard output when the server cannot run
on this machine."""

import fcntl
import os
import signal
import stat
import sys
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from shared_folder import SharedFolder, free_port  # noqa: E402
from smb_share import SmbShare  # noqa: E402

SKIP = 77
WORKSTATIONS = ("wsA", "wsB")


def _log(text):
    print(text, file=sys.stderr, flush=True)


def _lock_file(root):
    return os.path.join(root, "serving.lock")


def _pid_file(root):
    return os.path.join(root, "serving.pid")


def _reachable_by_all(root):
    """Samba serves the share as its own user, who must pass through every
    folder above it (a test's temporary folder is private)."""
    folder = os.path.dirname(os.path.abspath(root))
    while folder != "/":
        mode = os.stat(folder).st_mode
        if not mode & stat.S_IXOTH:
            os.chmod(folder, stat.S_IMODE(mode) | stat.S_IXOTH)
        folder = os.path.dirname(folder)


def _serve(kind, root):
    """Starts the server and mounts it twice: (exit status, what to print,
    the folder to stop later or None)."""
    if kind == "smb":
        _reachable_by_all(root)
        folder = SmbShare(root, _log)
    else:
        folder = SharedFolder(root, free_port(), _log)
    if not folder.start():
        folder.stop()
        return SKIP, "%s: %s\n" % (kind, folder.reason), None
    try:
        views = [folder.mount(name, os.path.join(root, name), short_cache=True)
                 for name in WORKSTATIONS]
    except RuntimeError as e:
        folder.stop()
        return SKIP, "%s: %s\n" % (kind, e), None
    if not folder.network:  # sshfs fell back to the plain folder
        folder.stop()
        return SKIP, "%s: %s\n" % (kind, folder.reason), None
    return 0, "".join(path + "/\n" for path in [folder.server] + views), folder


def start(kind, root):
    """Serves from a child process that outlives this one: the mounts'
    processes are its children, so the folder's own stop() ends them."""
    os.makedirs(root, exist_ok=True)
    report_in, report_out = os.pipe()
    if os.fork():
        os.close(report_out)
        with os.fdopen(report_in) as report:
            status, _, text = report.read().partition("\n")
        sys.stdout.write(text)
        return int(status) if status else 1
    os.close(report_in)
    os.setsid()
    # The caller's pipes stay open while anything holds them: keep none.
    log = os.open(os.path.join(root, "serving.log"), os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644)
    os.dup2(os.open(os.devnull, os.O_RDONLY), 0)
    os.dup2(log, 1)
    os.dup2(log, 2)
    lock = open(_lock_file(root), "w")
    fcntl.flock(lock, fcntl.LOCK_EX)  # held until all is stopped
    folder = None
    try:
        status, text, folder = _serve(kind, root)
    except Exception:
        status, text = 1, traceback.format_exc()
    if folder:
        # Blocked only now: the servers and mounts must not inherit it.
        signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGTERM})
        with open(_pid_file(root), "w") as f:
            f.write("%d\n" % os.getpid())
    with os.fdopen(report_out, "w") as report:
        report.write("%d\n%s" % (status, text))
    if folder:
        signal.sigwait({signal.SIGTERM})
        signal.pthread_sigmask(signal.SIG_UNBLOCK, {signal.SIGTERM})
        folder.stop()
        os.unlink(_pid_file(root))
    os._exit(status)


def stop(root):
    """Ends what `start` left serving `root`, once it has stopped all."""
    try:
        lock = open(_lock_file(root))
    except FileNotFoundError:
        return 0
    with lock:
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            return 0  # nothing is serving: never signal a reused process id
        except BlockingIOError:
            pass
        try:
            with open(_pid_file(root)) as f:
                os.kill(int(f.read()), signal.SIGTERM)
        except FileNotFoundError:
            pass  # it could not serve and is ending by itself
        fcntl.flock(lock, fcntl.LOCK_EX)
    return 0


def main(argv):
    if len(argv) != 3 or argv[1] not in ("sshfs", "smb", "stop"):
        print("usage: %s sshfs|smb|stop DIR" % argv[0], file=sys.stderr)
        return 2
    if argv[1] == "stop":
        return stop(argv[2])
    return start(argv[1], argv[2])


if __name__ == "__main__":
    sys.exit(main(sys.argv))
