#!/usr/bin/env python3
"""Soak test of several workstations on one shared messages folder.

Starts a loopback SSH server and one sshfs mount per workstation (a plain
local folder when that cannot run here, said loudly), a vnworkstation driver
per workstation, a recorder that writes new messages and a purge that removes
heard ones, injects faults for a bounded time, then checks that no message
was lost or heard twice and prints the figures. Exit status 0 when every
check passes."""

import argparse
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import check  # noqa: E402
from faults import FaultInjector, Workstation  # noqa: E402
from folder_watch import FolderWatch  # noqa: E402
from recorder import JsonLog, Purge, Recorder  # noqa: E402
from shared_folder import SharedFolder  # noqa: E402

PROGRAM = "VN-Soak"
LOCAL_TMPFS_SIZE = "4m"


def say(text):
    print(text, flush=True)


def free_port():
    import socket
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def write_settings(ws_root, index, time_scale):
    """The workstation's local settings: its installation, the simulated
    board, the telephone for even workstations and the sound card for odd."""
    local = os.path.join(ws_root, "appdata", "Qrn", "Vantel")
    ini = os.path.join(local, "QelLocal.ini")
    with open(ini, "w") as f:
        f.write("\n".join([
            "[Zuzidivuz]", "VnPath=" + os.path.join(ws_root, "inst"), "ErrorLog=1",
            "SoundCard=%d" % (index % 2), "",
            "[Messages]", "MsgTimer=1", "Msgport=%d" % (index + 1), "ConnectString=20%d" % index,
            "",
            "[VoiceBoard]", "Driver=simulated", "TimeScale=%g" % time_scale, "AnswerSeconds=1",
            ""]))
    return ini


def mount_local_tmpfs(local):
    os.makedirs(local, exist_ok=True)
    return subprocess.run(["mount", "-t", "tmpfs", "-o", "size=" + LOCAL_TMPFS_SIZE, "tmpfs", local],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def last_line_age(path):
    try:
        return time.time() - os.path.getmtime(path)
    except OSError:
        return 0.0


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--minutes", type=float, default=5.0)
    ap.add_argument("--build", default="build", help="build folder holding tools/vnworkstation")
    ap.add_argument("--workstations", type=int, default=4)
    ap.add_argument("--seed", type=int, default=None)
    ap.add_argument("--root", help="folder for the run (default: a new temporary folder)")
    ap.add_argument("--no-faults", action="store_true")
    ap.add_argument("--time-scale", type=float, default=0.01)
    ap.add_argument("--poll-ms", type=int, default=300)
    ap.add_argument("--think-ms", type=int, default=150)
    ap.add_argument("--record-every", type=float, default=0.4, help="mean seconds between messages")
    ap.add_argument("--hang-seconds", type=float, default=30.0, help="watchdog: silent driver")
    ap.add_argument("--max-rss-growth-mb", type=float, default=40.0)
    ap.add_argument("--keep", action="store_true", help="keep the run's folder")
    ap.add_argument("--local-folder", action="store_true",
                    help="share a plain local folder instead of sshfs mounts")
    args = ap.parse_args()

    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    rng = random.Random(seed)
    driver = os.path.join(os.path.abspath(args.build), "tools", "vnworkstation", "vnworkstation")
    if not os.access(driver, os.X_OK):
        say("soak: no driver at %s (build first)" % driver)
        return 2
    root = args.root or tempfile.mkdtemp(prefix="vnorvak-soak-")
    os.makedirs(root, exist_ok=True)
    say("soak: %d workstations, %.1f minutes, seed %d, folder %s"
        % (args.workstations, args.minutes, seed, root))

    shared = SharedFolder(root, free_port(), say)
    if args.local_folder:
        shared.use_local_folder("--local-folder given")
    else:
        shared.start()
    say("soak: shared folder: %s" % ("sshfs over loopback SSH, caching " +
                                     "on (" + "dcache 2 s, attr 1 s)" if shared.network
                                     else "PLAIN LOCAL FOLDER (" + shared.reason + ")"))
    events = JsonLog(os.path.join(root, "server.jsonl"))
    watch = FolderWatch(shared.server, os.path.join(root, "folder.jsonl"))

    stations, procs, tmpfs = [], {}, []
    xdg = os.path.join(root, "xdg")
    os.makedirs(xdg, mode=0o700, exist_ok=True)
    for i in range(args.workstations):
        name = "ws%d" % (i + 1)
        ws_root = os.path.join(root, name)
        local = os.path.join(ws_root, "appdata", "Qrn", "Vantel")
        is_tmpfs = mount_local_tmpfs(local)
        if is_tmpfs:
            tmpfs.append(local)
        ini = write_settings(ws_root, i, args.time_scale)
        shared.mount(name, os.path.join(ws_root, "inst", "VNT", "Data", "messages"))
        stations.append(Workstation(name, local, ini, is_tmpfs))
    if not tmpfs:
        say("soak: local folders are not tmpfs mounts: 'full' and 'read-only' are simulated")

    def start_driver(i, ws):
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=xdg,
                   VNORVAK_LOCAL_APPDATA=os.path.join(root, ws.name, "appdata"),
                   VNORVAK_MACHINE_DIR=os.path.join(root, ws.name, "machine"),
                   VNORVAK_SYSTEM_DIR=os.path.join(root, ws.name, "system"))
        cmd = [driver, "--program", PROGRAM, "--workstation", ws.name,
               "--log", os.path.join(root, ws.name + ".jsonl"), "--seed", str(seed + i),
               "--poll-ms", str(args.poll_ms), "--think-ms", str(args.think_ms)]
        return subprocess.Popen(cmd, env=env, stdin=subprocess.DEVNULL,
                                stdout=open(os.path.join(root, ws.name + ".out"), "w"),
                                stderr=subprocess.STDOUT)

    # Some messages before the workstations start.
    stop = threading.Event()
    recorder = Recorder(shared.server, events, rng, interval=args.record_every, stop=stop)
    for _ in range(12):
        recorder.record_one()
    for i, ws in enumerate(stations):
        procs[ws.name] = start_driver(i, ws)
    purge = Purge(shared.server, events, stop=threading.Event())
    faults = None if args.no_faults else FaultInjector(shared, stations, events, rng,
                                                       stop=threading.Event())
    recorder.start()
    purge.start()
    if faults:
        faults.start()

    hung, crashed = {}, {}
    deadline = time.time() + args.minutes * 60
    next_report = time.time() + 60
    while time.time() < deadline:
        time.sleep(1)
        for name, p in procs.items():
            if p.poll() is not None and name not in crashed:
                crashed[name] = p.returncode
                say("soak: %s ended early with status %s" % (name, p.returncode))
            elif name not in hung and last_line_age(os.path.join(root, name + ".jsonl")) > args.hang_seconds:
                hung[name] = "no log line for %.0f s" % args.hang_seconds
                say("soak: %s is silent: hung" % name)
        if time.time() >= next_report:
            next_report += 60
            say("soak: %.1f min: %d recorded, %d purged, faults %s"
                % ((time.time() - deadline) / 60 + args.minutes, recorder.written, purge.purged,
                   sum(faults.count.values()) if faults else 0))

    # Wind down: no new faults or messages, the workstations finish, then the purge.
    if faults:
        faults.stop_event.set()
        faults.join(30)
    stop.set()
    recorder.join(10)
    for name, p in procs.items():
        if p.poll() is None:
            p.send_signal(signal.SIGTERM)
    for name, p in procs.items():
        try:
            p.wait(60)
        except subprocess.TimeoutExpired:
            hung[name] = "did not exit within 60 s of SIGTERM"
            p.send_signal(signal.SIGABRT)
            try:
                p.wait(10)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        if p.returncode != 0 and name not in crashed:
            crashed[name] = p.returncode
    purge.stop_event.set()
    purge.join(10)
    watch.stop()
    events.close()
    for ws in stations:
        shared.unmount(ws.name)
        keep = os.path.join(root, ws.name + "-logs")
        os.makedirs(keep, exist_ok=True)
        for log in os.listdir(ws.local):
            if log.endswith(".txt"):
                shutil.copy(os.path.join(ws.local, log), keep)
    shared.stop()
    for local in tmpfs:
        subprocess.run(["umount", "-l", local], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    result = check.check(root, [ws.name for ws in stations],
                         check.Options(max_rss_growth_kib=args.max_rss_growth_mb * 1024,
                                       crashed=crashed, hung=hung, network=shared.network,
                                       fault_skips=faults.skipped if faults else {}))
    say(check.report(result))
    if result.failures:
        say("soak: FAILED (folder kept: %s)" % root)
        return 1
    if not shared.network:
        say("soak: PASSED, BUT WITHOUT A NETWORK FOLDER (%s)" % shared.reason)
    else:
        say("soak: PASSED")
    if not args.keep and not args.root:
        shutil.rmtree(root, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
