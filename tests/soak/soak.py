#!/usr/bin/env python3
"""Soak test of several workstations on one shared messages folder.

For each file system asked for (sshfs over a loopback SSH server, an SMB
share served by Samba on loopback and mounted with smbnetfs, or a plain local
folder) it starts one mount per workstation, a vnworkstation driver per
workstation, a recorder that writes new messages and a purge that removes
heard ones, injects faults for a bounded time, then checks that no message
was lost, garbled, marked heard unplayed or replaced, and prints the figures.
Exit status 0 when every check of every file system passes."""

import argparse
import glob
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
from shared_folder import SharedFolder, free_port  # noqa: E402
from smb_share import SmbShare  # noqa: E402

PROGRAM = "VN-Soak"
LOCAL_TMPFS_SIZE = "4m"
FILE_SYSTEMS = ("sshfs", "smb", "local")
FAKETIME = sorted(glob.glob("/usr/lib/*/faketime/libfaketime.so.1"))
# What the summary prints per file system, and the ones that must be 0.
SUMMARY = ["recorded", "played", "renamed", "purged", "faults", "lost", "mis-marked",
           "replaced", "garbled"]
MUST_BE_ZERO = ("lost", "mis-marked", "replaced", "garbled")


def say(text):
    print(text, flush=True)


def write_settings(ws_root, index, time_scale):
    """The workstation's local settings: its installation, the simulated
    board, the telephone for even workstations and the sound card for odd."""
    local = os.path.join(ws_root, "appdata", "Qrn", "Vantel")
    ini = os.path.join(local, "QelLocal.ini")
    with open(ini, "w") as f:
        f.write("\n".join([
            "[Zuzidivuz]", "VnPath=" + os.path.join(ws_root, "inst"), "ErrorLog=1",
            "SoundCard=%d" % (index % 2), "",
            "[Messages]", "MsgTimer=1", "RenameOnStop=0", "Msgport=%d" % (index + 1), "ConnectString=20%d" % index,
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


def summary(result):
    f = result.figures
    return {"recorded": f["messages recorded"],
            "played": f["messages played to the end (or a key)"],
            "renamed": f["renames new to heard (seen on the server)"],
            "purged": f["messages purged"],
            "faults": sum(f["faults injected"].values()),
            "lost": f["messages lost"],
            "mis-marked": f["messages marked heard but never played"],
            "replaced": f["files replaced"],
            "garbled": f["messages garbled"]}


def open_shared(fs, root):
    if fs == "smb":
        shared = SmbShare(root, say)
        if not shared.start():
            return None, shared.reason
        return shared, ""
    shared = SharedFolder(root, free_port(), say)
    if fs == "local":
        shared.use_local_folder("--fs local given")
    else:
        shared.start()
    return shared, ""


def run_soak(fs, args, seed, root):
    """One bounded soak on file system `fs`; the check's result, or None
    (and the reason) when that file system cannot run here."""
    rng = random.Random(seed)
    driver = os.path.join(os.path.abspath(args.build), "tools", "vnworkstation", "vnworkstation")
    os.makedirs(root, exist_ok=True)
    say("soak: %s: %d workstations, %.1f minutes, seed %d, folder %s"
        % (fs, args.workstations, args.minutes, seed, root))
    shared, reason = open_shared(fs, root)
    if shared is None:
        say("!" * 78)
        say("!! %s CANNOT RUN HERE: %s. No soak on this file system." % (fs.upper(), reason))
        say("!" * 78)
        return None, reason
    events = JsonLog(os.path.join(root, "server.jsonl"))
    watch = FolderWatch(shared.server, os.path.join(root, "folder.jsonl"))

    stations, tmpfs = [], []
    xdg = os.path.join(root, "xdg")
    os.makedirs(xdg, mode=0o700, exist_ok=True)
    clock = FAKETIME[0] if FAKETIME and not args.no_clock_steps else None
    for i in range(args.workstations):
        name = "ws%d" % (i + 1)
        ws_root = os.path.join(root, name)
        local = os.path.join(ws_root, "appdata", "Qrn", "Vantel")
        is_tmpfs = mount_local_tmpfs(local)
        if is_tmpfs:
            tmpfs.append(local)
        ini = write_settings(ws_root, i, args.time_scale)
        shared.mount(name, os.path.join(ws_root, "inst", "VNT", "Data", "messages"),
                     **({"short_cache": i >= args.workstations // 2} if shared.kind == "sshfs" else {}))
        clock_file = None
        if clock:
            clock_file = os.path.join(ws_root, "clock")
            with open(clock_file, "w") as f:
                f.write("+0\n")
        stations.append(Workstation(name, local, ini, is_tmpfs, log=os.path.join(root, name + ".jsonl"),
                                    clock_file=clock_file))
    say("soak: shared folder: " + shared.describe())
    if not tmpfs:
        say("soak: local folders are not tmpfs mounts: 'full' and 'read-only' are simulated")
    if not clock:
        say("soak: no libfaketime: the clock is not stepped")

    def starter(i, ws):
        def start(incarnation):
            env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=xdg,
                       VNORVAK_LOCAL_APPDATA=os.path.join(root, ws.name, "appdata"),
                       VNORVAK_MACHINE_DIR=os.path.join(root, ws.name, "machine"),
                       VNORVAK_SYSTEM_DIR=os.path.join(root, ws.name, "system"))
            if ws.clock_file:
                # The wall clock follows the file; the monotonic clock stays true.
                env.update(LD_PRELOAD=clock, FAKETIME_TIMESTAMP_FILE=ws.clock_file,
                           FAKETIME_CACHE_DURATION="1", FAKETIME_DONT_FAKE_MONOTONIC="1")
            cmd = [driver, "--program", PROGRAM, "--workstation", ws.name, "--log", ws.log,
                   "--seed", str(seed + i + 1000 * incarnation),
                   "--poll-ms", str(args.poll_ms), "--think-ms", str(args.think_ms)]
            return subprocess.Popen(cmd, env=env, stdin=subprocess.DEVNULL,
                                    stdout=open(os.path.join(root, ws.name + ".out"), "a"),
                                    stderr=subprocess.STDOUT)
        return start

    # Some messages before the workstations start.
    stop = threading.Event()
    recorder = Recorder(shared.server, events, rng, interval=args.record_every, stop=stop,
                        logs=[ws.log for ws in stations], owner=shared.owner)
    for _ in range(12):
        recorder.record_one()
    for i, ws in enumerate(stations):
        ws.start = starter(i, ws)
        ws.proc = ws.start(0)
    purge = Purge(shared.server, events, stop=threading.Event())
    faults = None if args.no_faults else FaultInjector(shared, stations, events, rng,
                                                       stop=threading.Event(), kinds=args.kinds)
    recorder.start()
    purge.start()
    if faults:
        faults.start()

    hung, crashed = {}, {}
    deadline = time.time() + args.minutes * 60
    next_report = time.time() + 60
    while time.time() < deadline:
        time.sleep(1)
        for ws in stations:
            with ws.lock:
                ended = ws.proc.poll()
            if ended is not None and ws.name not in crashed:
                crashed[ws.name] = ended
                say("soak: %s ended early with status %s" % (ws.name, ended))
            elif ws.name not in hung and last_line_age(ws.log) > args.hang_seconds:
                hung[ws.name] = "no log line for %.0f s" % args.hang_seconds
                say("soak: %s is silent: hung" % ws.name)
        if time.time() >= next_report:
            next_report += 60
            say("soak: %s %.1f min: %d recorded, %d purged, faults %s"
                % (fs, (time.time() - deadline) / 60 + args.minutes, recorder.written, purge.purged,
                   sum(faults.count.values()) if faults else 0))

    # Wind down: no new faults or messages, the workstations finish, then the purge.
    if faults:
        faults.stop_event.set()
        faults.join(30)
    stop.set()
    recorder.join(10)
    for ws in stations:
        if ws.proc.poll() is None:
            ws.proc.send_signal(signal.SIGTERM)
    for ws in stations:
        p = ws.proc
        try:
            p.wait(60)
        except subprocess.TimeoutExpired:
            hung[ws.name] = "did not exit within 60 s of SIGTERM"
            p.send_signal(signal.SIGABRT)
            try:
                p.wait(10)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        if p.returncode != 0 and ws.name not in crashed:
            crashed[ws.name] = p.returncode
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
        say("soak: %s FAILED (folder kept: %s)" % (fs, root))
    elif not shared.network:
        say("soak: %s PASSED, BUT WITHOUT A NETWORK FOLDER (%s)" % (fs, shared.reason))
    else:
        say("soak: %s PASSED" % fs)
    return result, ""


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--fs", default="sshfs",
                    help="file systems to soak on, in turn: a comma-separated list of %s"
                    % ", ".join(FILE_SYSTEMS))
    ap.add_argument("--minutes", type=float, default=5.0, help="per file system")
    ap.add_argument("--build", default="build", help="build folder holding tools/vnworkstation")
    ap.add_argument("--workstations", type=int, default=4)
    ap.add_argument("--seed", type=int, default=None)
    ap.add_argument("--root", help="folder for the runs (default: a new temporary folder)")
    ap.add_argument("--no-faults", action="store_true")
    ap.add_argument("--faults", help="only these faults, in turn (comma-separated; default all: %s)"
                    % ", ".join(FaultInjector.KINDS))
    ap.add_argument("--no-clock-steps", action="store_true",
                    help="run the workstations without libfaketime")
    ap.add_argument("--time-scale", type=float, default=0.01)
    ap.add_argument("--poll-ms", type=int, default=300)
    ap.add_argument("--think-ms", type=int, default=150)
    ap.add_argument("--record-every", type=float, default=0.4, help="mean seconds between messages")
    ap.add_argument("--hang-seconds", type=float, default=30.0, help="watchdog: silent driver")
    ap.add_argument("--max-rss-growth-mb", type=float, default=40.0)
    ap.add_argument("--keep", action="store_true", help="keep the runs' folders")
    ap.add_argument("--local-folder", action="store_true", help="the same as --fs local")
    args = ap.parse_args()

    systems = ["local"] if args.local_folder else [f.strip() for f in args.fs.split(",") if f.strip()]
    args.kinds = [k.strip() for k in args.faults.split(",")] if args.faults else None
    if args.kinds and not set(args.kinds) <= set(FaultInjector.KINDS):
        say("soak: unknown fault in %s (known: %s)" % (args.faults, ", ".join(FaultInjector.KINDS)))
        return 2
    unknown = [f for f in systems if f not in FILE_SYSTEMS]
    if unknown or not systems:
        say("soak: unknown file system %s (one of %s)" % (", ".join(unknown), ", ".join(FILE_SYSTEMS)))
        return 2
    driver = os.path.join(os.path.abspath(args.build), "tools", "vnworkstation", "vnworkstation")
    if not os.access(driver, os.X_OK):
        say("soak: no driver at %s (build first)" % driver)
        return 2
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    base = args.root or tempfile.mkdtemp(prefix="vnorvak-soak-")
    # Samba serves a folder inside it as a user of its own, who must reach it.
    os.chmod(base, 0o755)
    rows, failed = [], False
    for fs in systems:
        root = os.path.join(base, fs)
        result, reason = run_soak(fs, args, seed, root)
        if result is None:
            rows.append((fs, None, "cannot run here: " + reason))
            continue
        figures = summary(result)
        bad = result.failures or any(figures[k] for k in MUST_BE_ZERO)
        failed = failed or bool(bad)
        rows.append((fs, figures, "FAILED" if bad else "passed"))
    say("")
    say("== soak summary (seed %d)" % seed)
    say("  %-6s " % "fs" + " ".join("%10s" % k for k in SUMMARY) + "  result")
    for fs, figures, verdict in rows:
        cells = " ".join("%10s" % (figures[k] if figures else "-") for k in SUMMARY)
        say("  %-6s %s  %s" % (fs, cells, verdict))
    if failed:
        say("soak: FAILED (folders kept: %s)" % base)
        return 1
    say("soak: PASSED")
    if not args.keep and not args.root:
        shutil.rmtree(base, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
