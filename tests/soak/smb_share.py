"""The shared messages folder of a soak as an SMB share: Debian's Samba
serving the server folder on a loopback port, mounted once per workstation
with smbnetfs (FUSE), each workstation with its own client settings. Samba's
defaults are kept: names are case-insensitive and case-preserving, a file
held open cannot be renamed, and a rename onto an existing name deletes it
first."""

import os
import pwd
import shutil
import signal
import socket
import subprocess
import time

from shared_folder import _run, end_process, free_port, kill_process

USER = "vnsoak"
PASSWORD = "Soak-Secret-1"
# FUSE keeps nothing: every look-up and attribute goes to the server.
SMB_SHORT_CACHE = "attr_timeout=0,entry_timeout=0"


def _listening(port):
    with socket.socket() as s:
        s.settimeout(0.2)
        return s.connect_ex(("127.0.0.1", port)) == 0


class SmbShare:
    kind = "smb"

    def __init__(self, root, say):
        self.root = root
        self.server = os.path.join(root, "server", "messages")
        self.say = say
        self.network = False
        self.reason = ""
        self.mounts = {}      # workstation -> its messages folder (a link into its mount)
        self.processes = {}   # workstation -> smbnetfs
        self.caches = {}      # workstation -> its FUSE cache options, "" for the defaults
        self.smbd = None
        self.owner = None
        self.port = None
        self.dir = os.path.join(root, "smb")
        os.makedirs(self.server, exist_ok=True)

    def describe(self):
        return "SMB share (Samba on 127.0.0.1:%s, smbnetfs per workstation, FUSE caches 1 s)" % self.port

    def start(self):
        missing = [t for t in ("smbd", "smbpasswd", "smbnetfs", "fusermount") if not shutil.which(t)]
        if missing:
            return self._fail("missing " + ", ".join(missing))
        if not os.path.exists("/dev/fuse"):
            return self._fail("no /dev/fuse")
        try:
            entry = pwd.getpwnam(USER)
        except KeyError:
            _run(["useradd", "-M", "-s", "/usr/sbin/nologin", USER])
            entry = pwd.getpwnam(USER)
        self.owner = (entry.pw_uid, entry.pw_gid)
        # Samba serves the folder as that user: it must reach and own it.
        for folder in (self.root, os.path.dirname(self.server)):
            os.chmod(folder, 0o755)
        os.chown(self.server, *self.owner)
        self.port = free_port()
        srv = os.path.join(self.dir, "srv")
        for sub in ("private", "lock", "state", "cache", "pid", "log", "ncalrpc"):
            os.makedirs(os.path.join(srv, sub), exist_ok=True)
        self.conf = os.path.join(self.dir, "smb.conf")
        with open(self.conf, "w") as f:
            f.write("\n".join([
                "[global]", "server role = standalone server", "interfaces = lo",
                "bind interfaces only = yes", "smb ports = %d" % self.port, "disable netbios = yes",
                "server min protocol = SMB2_10",
                "private dir = %s/private" % srv, "lock directory = %s/lock" % srv,
                "state directory = %s/state" % srv, "cache directory = %s/cache" % srv,
                "pid directory = %s/pid" % srv, "ncalrpc dir = %s/ncalrpc" % srv,
                "log file = %s/log/smbd.log" % srv,
                "passdb backend = tdbsam:%s/private/passdb.tdb" % srv,
                "load printers = no", "printcap name = /dev/null", "disable spoolss = yes",
                "map to guest = never",
                "[messages]", "path = " + self.server, "read only = no",
                "valid users = " + USER, "force user = " + USER, "create mask = 0664", ""]))
        result = _run(["smbpasswd", "-c", self.conf, "-a", "-s", USER],
                      input="%s\n%s\n" % (PASSWORD, PASSWORD))
        if result.returncode != 0:
            return self._fail("smbpasswd: " + result.stdout.strip())
        self.smbd = subprocess.Popen(["smbd", "-s", self.conf, "--foreground", "--no-process-group"],
                                     stdin=subprocess.DEVNULL,
                                     stdout=open(os.path.join(srv, "log", "smbd.out"), "w"),
                                     stderr=subprocess.STDOUT, start_new_session=True)
        deadline = time.time() + 20
        while time.time() < deadline and self.smbd.poll() is None and not _listening(self.port):
            time.sleep(0.1)
        if not _listening(self.port):
            return self._fail("smbd did not start (see %s/log)" % srv)
        self.network = True
        return True

    def _fail(self, reason):
        self.reason = reason
        self.network = False
        return False

    def mount(self, name, point, short_cache=False):
        """Makes `point` workstation `name`'s messages folder: a link to the
        share inside the workstation's own smbnetfs mount."""
        self.caches[name] = SMB_SHORT_CACHE if short_cache else ""
        home = os.path.join(self.dir, name)
        os.makedirs(os.path.join(home, ".smb"), exist_ok=True)
        os.chmod(os.path.join(home, ".smb"), 0o700)
        with open(os.path.join(home, ".smb", "smb.conf"), "w") as f:
            f.write("[global]\n  client min protocol = SMB2\n")
        with open(os.path.join(home, ".smb", "smbnetfs.conf"), "w") as f:
            f.write('smb_query_browsers "false"\nauth "%s" "%s"\n' % (USER, PASSWORD))
        for conf in os.listdir(os.path.join(home, ".smb")):
            os.chmod(os.path.join(home, ".smb", conf), 0o600)
        os.makedirs(os.path.join(home, "mnt"), exist_ok=True)
        os.makedirs(os.path.dirname(point), exist_ok=True)
        os.symlink(self._share(name), point)
        self.mounts[name] = point
        if not self.remount(name):
            raise RuntimeError("smbnetfs mount of %s failed (see %s/log)" % (name, home))
        return point

    def _share(self, name):
        return os.path.join(self.dir, name, "mnt", "127.0.0.1:%d" % self.port, "messages")

    def remount(self, name):
        home = os.path.join(self.dir, name)
        mnt = os.path.join(home, "mnt")
        for _ in range(5):
            options = ["-o", self.caches[name]] if self.caches.get(name) else []
            proc = subprocess.Popen(["smbnetfs", "-f"] + options + [mnt],
                                    env=dict(os.environ, HOME=home),
                                    stdin=subprocess.DEVNULL,
                                    stdout=open(os.path.join(home, "log"), "a"),
                                    stderr=subprocess.STDOUT, start_new_session=True)
            deadline = time.time() + 10
            while time.time() < deadline and proc.poll() is None:
                if os.path.ismount(mnt) and os.path.isdir(self._share(name)):
                    self.processes[name] = proc
                    return True
                time.sleep(0.1)
            kill_process(proc)
            _run(["fusermount", "-u", "-z", mnt])
        return False

    def unmount(self, name, lazy=True):
        mnt = os.path.join(self.dir, name, "mnt")
        _run(["fusermount", "-u"] + (["-z"] if lazy else []) + [mnt])
        proc = self.processes.pop(name, None)
        if proc:
            end_process(proc)

    def drop_connection(self, name):
        """Ends the workstation's smbnetfs as a broken network would."""
        if name in self.processes:
            kill_process(self.processes[name])

    def stop(self):
        for name in list(self.mounts):
            self.unmount(name)
        if self.smbd and self.smbd.poll() is None:
            os.killpg(self.smbd.pid, signal.SIGTERM)  # its children serve the clients
            try:
                self.smbd.wait(10)
            except subprocess.TimeoutExpired:
                self.smbd.kill()
                self.smbd.wait()
