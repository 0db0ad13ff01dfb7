"""The shared messages folder of a soak: served by a loopback SSH server and
mounted once per workstation with sshfs, half of the workstations with
sshfs's own caches (20 s, as real mounts keep them) and half with short ones,
or, where SSH or FUSE cannot run here, the server folder itself for every
workstation (said loudly: that run does not test a network folder)."""

import os
import shutil
import socket
import subprocess
import time

SSHFS_SHORT_CACHE = "dcache_timeout=2,attr_timeout=1,entry_timeout=1"


def _run(args, **kw):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kw)


def end_process(proc, seconds=5):
    """Waits for a mount's process to end after its unmount, killing it when
    it does not."""
    try:
        proc.wait(seconds)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


def kill_process(proc):
    """Ends a process at once, as a broken network or a hung mount would."""
    if proc.poll() is None:
        proc.kill()
    proc.wait()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class SharedFolder:
    kind = "sshfs"

    def __init__(self, root, port, say):
        self.root = root
        self.server = os.path.join(root, "server", "messages")
        self.port = port
        self.say = say
        self.network = False
        self.reason = ""
        self.mounts = {}
        self.caches = {}
        self.processes = {}
        self.owner = None
        self._sshd_pid_file = os.path.join(root, "sshd.pid")
        os.makedirs(self.server, exist_ok=True)

    def start(self):
        """Starts the SSH server; False (and the reason) when it cannot run."""
        missing = [t for t in ("/usr/sbin/sshd", "sshfs", "ssh-keygen", "fusermount")
                   if not shutil.which(t) and not os.path.exists(t)]
        if missing:
            return self._no_network("missing " + ", ".join(missing))
        if not os.path.exists("/dev/fuse"):
            return self._no_network("no /dev/fuse")
        os.makedirs("/run/sshd", exist_ok=True)
        for key in ("hostkey", "clientkey"):
            path = os.path.join(self.root, key)
            if not os.path.exists(path):
                _run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", path])
        config = os.path.join(self.root, "sshd_config")
        with open(config, "w") as f:
            f.write("\n".join([
                "Port %d" % self.port, "ListenAddress 127.0.0.1",
                "HostKey " + os.path.join(self.root, "hostkey"),
                "PidFile " + self._sshd_pid_file,
                "AuthorizedKeysFile " + os.path.join(self.root, "clientkey.pub"),
                "StrictModes no", "PasswordAuthentication no",
                "PermitRootLogin prohibit-password", "Subsystem sftp internal-sftp",
                "UsePAM no", "MaxStartups 50", "MaxSessions 50", ""]))
        result = _run(["/usr/sbin/sshd", "-f", config, "-E", os.path.join(self.root, "sshd.log")])
        if result.returncode != 0:
            return self._no_network("sshd: " + result.stdout.strip())
        self.network = True
        return True

    def describe(self):
        if not self.network:
            return "PLAIN LOCAL FOLDER (%s)" % self.reason
        return ("sshfs over loopback SSH: %s with sshfs's own caches (20 s), %s with short ones (%s)"
                % (", ".join(n for n, c in sorted(self.caches.items()) if not c) or "none",
                   ", ".join(n for n, c in sorted(self.caches.items()) if c) or "none",
                   SSHFS_SHORT_CACHE))

    def use_local_folder(self, reason):
        return self._no_network(reason)

    def _no_network(self, reason):
        self.reason = reason
        self.network = False
        self.say("!" * 78)
        self.say("!! NO NETWORK FOLDER: %s." % reason)
        self.say("!! The workstations share a plain local folder; the unmount fault is skipped.")
        self.say("!" * 78)
        return False

    def mount(self, name, point, short_cache=False):
        """Makes `point` workstation `name`'s view of the shared folder: an
        sshfs mount, or a link to the server folder without a network."""
        os.makedirs(os.path.dirname(point), exist_ok=True)
        self.mounts[name] = point
        self.caches[name] = SSHFS_SHORT_CACHE if short_cache else ""
        if not self.network:
            os.symlink(self.server, point)
            return point
        os.makedirs(point, exist_ok=True)
        if not self.remount(name):
            if self.processes:
                raise RuntimeError("sshfs mount of %s failed" % name)
            # Not one mount works here (no FUSE in a container, say).
            self.stop()
            self._no_network("sshfs cannot mount (see %s-sshfs.log)" % name)
            os.rmdir(point)
            os.symlink(self.server, point)
        return point

    def remount(self, name):
        """Mounts (again) the workstation's folder; sshfs runs in the
        foreground as a child, so its process id is known exactly."""
        point = self.mounts[name]
        options = ("IdentityFile=%s,StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null,"
                   "LogLevel=ERROR,ServerAliveInterval=5" % os.path.join(self.root, "clientkey"))
        if self.caches.get(name):
            options += "," + self.caches[name]
        args = ["sshfs", "-f", "-p", str(self.port), "-o", options,
                "root@127.0.0.1:" + self.server, point]
        for _ in range(5):
            proc = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                    stderr=open(os.path.join(self.root, name + "-sshfs.log"), "a"))
            deadline = time.time() + 5
            while time.time() < deadline and proc.poll() is None:
                if os.path.ismount(point):
                    self.processes[name] = proc
                    return True
                time.sleep(0.05)
            kill_process(proc)
        return False

    def unmount(self, name, lazy=True):
        point = self.mounts.get(name)
        # A mount whose sshfs has gone answers "not connected", which
        # os.path.ismount() reads as no mount: unmount whatever is there.
        if point and self.network:
            _run(["fusermount", "-u"] + (["-z"] if lazy else []) + [point])
        proc = self.processes.pop(name, None)
        if proc:
            end_process(proc)

    def drop_connection(self, name):
        """Ends the workstation's sshfs process as a broken network would:
        its mount answers "not connected" until it is mounted again."""
        if name in self.processes:
            kill_process(self.processes[name])

    def stop(self):
        for name in list(self.mounts):
            self.unmount(name)
        if os.path.exists(self._sshd_pid_file):
            try:
                with open(self._sshd_pid_file) as f:
                    pid = int(f.read().strip())
                os.unlink(self._sshd_pid_file)  # never signal a reused id later
                os.kill(pid, 15)
            except (OSError, ValueError):
                pass
