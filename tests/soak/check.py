"""Checks a soak run's logs and its messages folder against the promises of
the installation and prints the figures. Usable alone: check.py RUN_FOLDER."""

import dataclasses
import glob
import json
import os
import re
import sys

from recorder import file_digest

INFO_BOXES = (
    "This message has been played on another workstation",
    "This message has been removed by the purge process",
    "A message has been deleted.",
    "New Message listened to on another workstation",
    # The recorder writes newer copies under names already heard, and case
    # twins: their heard names are taken, so they stay new by design.
    "This message cannot be marked as heard: another message already has its heard name",
)
# Faults on the server that any workstation can meet.
GLOBAL_FAULTS = ("rename_refused", "truncate")
# How long after a fault its effects may still surface (caches, retries).
GRACE_MS = {"unmount": 10000, "drop_connection": 10000, "kill": 10000, "clock_step": 10000}
# How a play that counts as heard ends: its full length, or a key.
HEARD_ENDINGS = ("end", "stop_tone")
DEFAULT_GRACE_MS = 5000
# Races between workstations that the product reports as failures by design:
# a file listed, resolved or about to be renamed that another workstation
# renamed first ("File not found"), a heard name taken meanwhile, or, on an
# SMB share, a file another workstation holds open (copying it to play it).
RACE_ERROR = re.compile(r"^Error (53|58|70) \{ (53-File not found|(53|58)-Cannot rename"
                        r"|70-Cannot rename .*: Device or resource busy \}) ")
# The same races met when a play starts: the file listed is gone (renamed
# or purged by another workstation, seen late through a mount's cache). The
# control looks it up on the server then and plays its heard twin, or says
# it is gone, without an error box: such a box fails the run (it is counted
# apart), and the error log may keep the technical line of the failed copy.
RACE_PLAY_BOX = re.compile(r"^Message [NM]\S* could not be played: File not found\.")
# The file that marks the messages folder as the installation's.
FOLDER_MARKER = ".vnorvak-messages"
RACE_PLAY_LOG = re.compile(r"^(Error 53 \{ 53-File not found \} occurred at \d+ in "
                           r"|Message .* was not played and stays as it was: File not found$)")
# A listed message file that was renamed or purged elsewhere before the poll
# read its time: written to the error log alone.
VANISHED_LOG = re.compile(r"^Error 53 \{ 53-File not found: .*/[NM][^/]{11}\.vox \} occurred at \d+ in ")
# What the log says of a message kept new on purpose (a heard name taken, a
# newer recording under its name, a play that failed during a fault).
KEPT_NEW_LOG = re.compile(r"^Message .* (stays new: its heard name .* is taken by another message"
                          r"|stays new for now: it is in use elsewhere"
                          r"|is parked as .*; the next polls put it back"
                          r"|was replaced by a newer recording while it played; the newer one stays new"
                          r"|was not played and stays as it was: .*)$"
                          # and of a messages folder out of reach, whose box is
                          # checked against the faults, and back again
                          r"|^The messages folder .* (cannot be read: .*|can be read again)$"
                          r"|^Parked message .*$")
PLAY_FAILED_BOX = re.compile(r"^Message \S+ could not be played: ([^\r\n]*)")
NUMBERED_LOG = re.compile(r"^Error \d+ \{ \d+-(.*?) \} occurred at \d+ in ")
MESSAGE_NAME = re.compile(r"^[NM].{11}\.vox$")


@dataclasses.dataclass
class Options:
    max_rss_growth_kib: float = 40 * 1024
    crashed: dict = dataclasses.field(default_factory=dict)
    hung: dict = dataclasses.field(default_factory=dict)
    network: bool = True
    fault_skips: dict = dataclasses.field(default_factory=dict)
    hang_ms: int = 30000
    action_ms: int = 60000
    poll_after_fault_ms: int = 30000


@dataclasses.dataclass
class Result:
    figures: dict
    failures: list
    checks: dict = dataclasses.field(default_factory=dict)


def read_jsonl(path):
    records = []
    if not os.path.exists(path):
        return records
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.strip()
            if line:
                try:
                    records.append(json.loads(line))
                except ValueError:
                    records.append({"ev": "unreadable", "line": line})
    return records


def make_printable(text):
    out = []
    for ch in text:
        try:
            code = ch.encode("cp1252")[0] if len(ch.encode("cp1252")) == 1 else None
        except UnicodeEncodeError:
            code = None
        if code is None:
            out.append("?")
        elif code < 32 or code > 126:
            out.append("<%d>" % code)
        else:
            out.append(ch)
    return "".join(out)


def read_error_log(path):
    """The messages of an error log, pieces of a wrapped message joined."""
    entries = []
    with open(path, encoding="utf-8", errors="replace", newline="") as f:
        for line in f.read().split("\r\n"):
            if not line:
                continue
            if line.startswith("   '") and entries:
                entries[-1] += line[4:-1] if line.endswith("'") else line[4:]
                continue
            start = line.find(" - '")
            if start < 0:
                entries.append(line)
                continue
            piece = line[start + 4:]
            entries.append(piece[:-1] if piece.endswith("'") else piece)
    return entries


class FaultWindows:
    def __init__(self, server_events):
        self.windows = []  # (kind, ws, start, end)
        open_ = {}
        for e in server_events:
            if e.get("ev") == "fault_start":
                open_[(e["kind"], e.get("ws"))] = e["t"]
            elif e.get("ev") == "fault_end":
                start = open_.pop((e["kind"], e.get("ws")), e["t"])
                self.windows.append((e["kind"], e.get("ws"), start, e["t"]))
        for (kind, ws), start in open_.items():
            self.windows.append((kind, ws, start, float("inf")))

    def explains(self, ws, t):
        for kind, target, start, end in self.windows:
            if target not in (ws, None):
                continue
            if start - 500 <= t <= end + GRACE_MS.get(kind, DEFAULT_GRACE_MS):
                return kind
        return None


def _through_parking(moves):
    """A mark on a network folder renames the new name to a parking name
    ("<new name>.heard-<workstation>...") and then to the heard name (or back):
    one move from the first name to the last, none when it came back."""
    parked, out = {}, []
    for a, b, t in moves:
        if b and ".heard-" in b:
            parked[b] = parked.pop(a, a) if a else a
            continue
        if a and ".heard-" in a:
            a = parked.pop(a, a)
            if a == b:
                continue
        out.append((a, b, t))
    return out


def check(root, workstations, options=None):
    options = options or Options()
    failures, figures, failed = [], {}, set()

    def fail(check_name, text):
        failures.append(text)
        failed.add(check_name)
    server = read_jsonl(os.path.join(root, "server.jsonl"))
    folder_events = read_jsonl(os.path.join(root, "folder.jsonl"))
    logs = {ws: read_jsonl(os.path.join(root, ws + ".jsonl")) for ws in workstations}
    faults = FaultWindows(server)

    recorded = [e for e in server if e.get("ev") == "recorded"]
    purged = [e for e in server if e.get("ev") == "purged"]
    truncated = [e for e in server if e.get("ev") == "fault_start" and e["kind"] == "truncate"]
    name_of = {e["serial"]: e["name"] for e in recorded}
    figures["messages recorded"] = len(recorded)
    kinds = {}
    for e in recorded:
        kinds[e.get("kind", "fresh")] = kinds.get(e.get("kind", "fresh"), 0) + 1
    figures["messages recorded, by name"] = dict(sorted(kinds.items()))
    figures["messages purged"] = len(purged)
    figures["faults injected"] = dict(sorted(
        (k, sum(1 for w in faults.windows if w[0] == k)) for k in {w[0] for w in faults.windows}))
    if options.fault_skips:
        figures["faults skipped"] = options.fault_skips
    for e in server:
        if e.get("ev") == "fault_end" and e.get("remounted") is False:
            fail("setup", "%s: the shared folder could not be mounted again" % e.get("ws"))
        if e.get("ev") in ("recorder_error", "purge_error", "fault_error"):
            fail("setup", "%s: %s" % (e["ev"], e.get("text")))

    # 1. Every message recorded is, at the end, in the folder under its new
    # or heard name with all of its own bytes, or was purged with them.
    # A name can be truncated more than once in a long run (a later message
    # of the same name): each empty file or purge takes the latest truncation
    # of its name before it that no other has taken.
    sha1_of = {e["serial"]: e.get("sha1") for e in recorded}
    truncations = [[e["t"], e["name"][1:], e.get("serial"), False] for e in truncated]
    truncated_serials = {e.get("serial") for e in truncated}

    def truncated_serial(key, before=float("inf")):
        for entry in sorted(truncations, key=lambda x: -x[0]):
            if entry[1] == key and entry[0] < before and not entry[3]:
                entry[3] = True
                return entry[2]
        return None

    garbled = []

    def same_bytes(serial, sha1, where):
        if sha1_of.get(serial) and sha1 and sha1 != sha1_of[serial] and serial not in truncated_serials:
            garbled.append(serial)
            fail("no message lost or garbled", "GARBLED: message %d (%s) %s other bytes than recorded"
                 % (serial, name_of.get(serial), where))
    present, stray = {}, []
    messages = os.path.join(root, "server", "messages")
    for name in sorted(os.listdir(messages)) if os.path.isdir(messages) else []:
        path = os.path.join(messages, name)
        if name == FOLDER_MARKER:
            continue
        if not MESSAGE_NAME.match(name):
            stray.append(name)
            continue
        serial, sha1, size = file_digest(path) or (None, None, 0)
        if serial is None:
            if size == 0:
                serial = truncated_serial(name[1:12])
            if serial is None:
                fail("no message lost or garbled", "file %s holds no recorded message" % name)
                continue
        else:
            same_bytes(serial, sha1, "is in the folder as %s with" % name)
        if serial in present:
            fail("no message lost or garbled", "message %s is in the folder twice: %s and %s" % (serial, present[serial], name))
        elif serial in name_of and name_of[serial][1:] != name[1:12]:
            fail("no message lost or garbled", "message %s (%s) is in the folder as %s" % (serial, name_of[serial], name))
        present[serial] = name
    for name in stray:
        fail("no message lost or garbled", "stray file in the messages folder: %s" % name)
    purged_serials = set()
    for e in purged:
        serial = e.get("serial")
        if serial is None and e.get("bytes") == 0:
            serial = truncated_serial(e["name"][1:], e["t"])
        elif serial is not None:
            same_bytes(serial, e.get("sha1"), "was purged as %s with" % e["name"])
        if serial is None:
            fail("no message lost or garbled", "the purge removed %s, which held no recorded message" % e["name"])
        purged_serials.add(serial)

    # 2. What the server folder saw: new names come only from the recorder,
    # heard names only from renames of new names, and no name takes the
    # place of a file (a rename onto a name in use, or a message file
    # deleted other than by the purge, which first renames it to a name of
    # its own).
    moves, pending = [], {}
    names, replacements = set(), []
    for e in folder_events:
        name = e.get("name", "")
        if e.get("ev") == "overflow":
            fail("server names only by recorder and renames", "the folder watch overflowed: its counts are incomplete")
        elif e.get("ev") == "moved_from":
            pending[e["cookie"]] = name
            names.discard(name)
        elif e.get("ev") == "moved_to":
            moves.append((pending.pop(e["cookie"], None), name, e["t"]))
            if name in names and MESSAGE_NAME.match(name):
                replacements.append((name, "a rename from %s took its place" % moves[-1][0]))
            names.add(name)
        elif e.get("ev") == "create":
            names.add(name)
        elif e.get("ev") == "delete":
            names.discard(name)
            if name[:1] == "M" and MESSAGE_NAME.match(name):
                replacements.append((name, "deleted"))
    moves = _through_parking(moves)
    for name, how in replacements:
        fail("no file replaced", "REPLACED: %s was %s" % (name, how))

    # A message missing at the end is accounted for by a file of its name
    # (whatever the case of its letters) that was replaced; else it is lost.
    replaced_keys = {}
    for name, _ in replacements:
        replaced_keys[name[1:12].lower()] = replaced_keys.get(name[1:12].lower(), 0) + 1
    lost, replaced_serials = [], set()
    missing_by_name = {}
    for serial, name in name_of.items():
        if serial not in present and serial not in purged_serials:
            missing_by_name.setdefault(name[1:].lower(), []).append(serial)
    for key, serials in missing_by_name.items():
        allowed = replaced_keys.get(key, 0)
        replaced_serials.update(serials[:allowed])
        lost += serials[allowed:]
    for serial in lost:
        fail("no message lost or garbled", "LOST: message %d (%s) is neither in the folder nor purged" % (serial, name_of[serial]))
    figures["messages at the end (new / heard)"] = "%d / %d" % (
        sum(1 for n in present.values() if n.startswith("N")),
        sum(1 for n in present.values() if n.startswith("M")))
    figures["messages lost"] = len(lost)
    figures["messages garbled"] = len(set(garbled))
    figures["files replaced"] = len(replacements)

    renames = [(a, b) for a, b, _ in moves
               if a and b and a.startswith("N") and b.startswith("M") and a[1:] == b[1:]]
    for a, b, _ in moves:
        if b.startswith("N") and not (a or "").startswith("REC"):
            fail("server names only by recorder and renames", "HEARD TO NEW: %s appeared as %s" % (a, b))
        if b.startswith("M") and not (a and a.startswith("N") and a[1:] == b[1:]):
            fail("server names only by recorder and renames", "heard name %s made from %s, not by a rename of its new name" % (b, a))
    for e in folder_events:
        name = e.get("name", "")
        if e.get("ev") == "create" and name[:1] in ("N", "M"):
            fail("server names only by recorder and renames", "%s was created, not renamed into place" % name)
        if e.get("ev") == "delete" and name[:1] == "N":
            fail("server names only by recorder and renames", "new message file %s was deleted" % name)
    new_appearances = sum(1 for _, b, _ in moves if b.startswith("N"))
    if new_appearances != len(recorded):
        fail("server names only by recorder and renames", "%d new names appeared in the folder, the recorder wrote %d"
                        % (new_appearances, len(recorded)))
    figures["renames new to heard (seen on the server)"] = len(renames)

    # 3. The workstations: their own account of the renames and events. A
    # workstation killed by a fault may have done a rename or raised an
    # event it had no time to log.
    kills = {}
    for kind, target, _, _ in faults.windows:
        if kind == "kill":
            kills[target] = kills.get(target, 0) + 1
    outcomes, finished, boxes, actions = {}, 0, {}, {}
    played = []
    for ws in workstations:
        ws_finished = sum(1 for e in logs[ws] if e.get("ev") == "finished_new")
        ws_heard = [e for e in logs[ws] if e.get("ev") == "heard"]
        if not 0 <= len(ws_heard) - ws_finished <= kills.get(ws, 0):
            fail("renames match events", "%s: %d FinishedPlayingNewMsg events for %d new messages dealt with"
                            % (ws, ws_finished, len(ws_heard)))
        finished += ws_finished
        for e in ws_heard:
            outcomes[e["outcome"]] = outcomes.get(e["outcome"], 0) + 1
        for e in logs[ws]:
            if e.get("ev") == "action":
                actions[e["what"]] = actions.get(e["what"], 0) + 1
            elif e.get("ev") == "played":
                played.append(dict(e, ws=ws))
    ws_renames = outcomes.get("renamed", 0) + outcomes.get("replaced_stale", 0)
    heard_plays = [e for e in played if e.get("ending") in HEARD_ENDINGS]
    figures["messages played to the end (or a key)"] = len(heard_plays)
    figures["FinishedPlayingNewMsg events"] = finished
    figures["new messages dealt with, by outcome"] = dict(sorted(outcomes.items()))
    # Found renamed by another workstation between the listing and the play:
    # its heard twin plays, without a box.
    figures["plays of a message heard elsewhere meanwhile (no box)"] = outcomes.get("heard_before_play", 0)
    figures["operator actions"] = dict(sorted(actions.items()))
    if not 0 <= len(renames) - ws_renames <= sum(kills.values()):
        fail("renames match events", "the workstations renamed %d messages, the server saw %d renames"
                        % (ws_renames, len(renames)))

    # 3a. A message is heard only when a workstation has played all of it: every
    # message that ended under its heard name (or was purged, which takes heard
    # ones only) was played to its end, with its own bytes, somewhere.
    heard_serials = {s for s, n in present.items() if n.startswith("M")} | purged_serials
    heard_serials -= truncated_serials | {None}
    fully_played = {e.get("serial") for e in heard_plays
                    if e.get("serial") in sha1_of and e.get("sha1") in (None, sha1_of[e["serial"]])}
    mis_marked = sorted(heard_serials - fully_played)
    for serial in mis_marked:
        fail("no message marked heard unplayed", "MIS-MARKED: message %d (%s) was marked heard, "
             "but no workstation played it to its end" % (serial, name_of.get(serial)))
    # A play that got fewer bytes than were recorded, through a mount's cache
    # that still held the size of an older copy of the name, loses nothing
    # as long as the message is not marked heard on its strength (the check
    # above): it is counted, not failed. Any other play of other bytes fails.
    bytes_of = {e["serial"]: e.get("bytes") for e in recorded}
    cut_short = 0
    for e in played:
        serial = e.get("serial")
        if serial in sha1_of and e.get("sha1") != sha1_of[serial] and serial not in truncated_serials:
            if (e.get("bytes") is not None and bytes_of.get(serial) is not None
                    and e["bytes"] < bytes_of[serial]):
                cut_short += 1
                continue
            garbled.append(serial)
            fail("no message lost or garbled", "GARBLED: %s played message %d (%s) with other bytes "
                 "than recorded (%s bytes)" % (e.get("ws"), serial, name_of.get(serial), e.get("bytes")))
    figures["messages garbled"] = len(set(garbled))
    figures["plays cut short by a stale cache (message kept new)"] = cut_short
    figures["messages marked heard but never played"] = len(mis_marked)

    # 4. Health: no crash, no hang, bounded memory; failures only where a
    # fault explains them; the polling goes on after every fault.
    figures["boxes"] = {}
    for ws in workstations:
        log = logs[ws]
        if ws in options.crashed:
            fail("no crash, hang or growth", "%s: exited with status %s" % (ws, options.crashed[ws]))
        if ws in options.hung:
            fail("no crash, hang or growth", "%s: hung (%s)" % (ws, options.hung[ws]))
        if not any(e.get("ev") == "start" for e in log):
            fail("no crash, hang or growth", "%s: never started: %s" % (ws, [e for e in log if e.get("ev") == "fatal"]))
            continue
        # A workstation killed by a fault starts again: its last run counts.
        last_run = log[max(i for i, e in enumerate(log) if e.get("ev") == "start"):]
        if not any(e.get("ev") == "exit" for e in last_run):
            fail("no crash, hang or growth", "%s: no orderly exit" % ws)
        times = [e["t"] for e in log if "t" in e]
        gaps = [b - a for a, b in zip(times, times[1:])]
        if gaps and max(gaps) > options.hang_ms:
            fail("no crash, hang or growth", "%s: silent for %d ms" % (ws, max(gaps)))
        for e in log:
            if e.get("ev") == "action_end" and e.get("ms", 0) > options.action_ms:
                fail("no crash, hang or growth", "%s: %s took %d ms" % (ws, e["what"], e["ms"]))
        rss = [(e["t"], e["rss_kb"]) for e in last_run if e.get("ev") in ("alive", "exit") and e.get("rss_kb")]
        if rss:
            warm = [k for t, k in rss if t <= rss[0][0] + 30000]
            growth = rss[-1][1] - max(warm)
            figures.setdefault("memory growth after warm-up (KiB)", {})[ws] = growth
            if growth > options.max_rss_growth_kib:
                fail("no crash, hang or growth", "%s: memory grew by %d KiB" % (ws, growth))
        counted = figures["boxes"]
        error_boxes = []
        play_failures = set()
        for e in log:
            if e.get("ev") not in ("box", "host_error"):
                continue
            text = e.get("text", "")
            if e["ev"] == "box" and text.startswith(INFO_BOXES):
                key = text.split("\r\n")[0]
            elif e["ev"] == "box" and RACE_ERROR.match(text):
                key = "error: rename/delete race with another workstation"
            elif e["ev"] == "box" and RACE_PLAY_BOX.match(text) and faults.explains(ws, e["t"]) is None:
                fail("failures explained by faults", "%s: a message renamed or purged elsewhere "
                     "before its play showed an error box: %r" % (ws, text))
                key = "UNEXPLAINED: play of a message gone elsewhere"
            else:
                fault = faults.explains(ws, e["t"])
                if fault is None:
                    fail("failures explained by faults", "%s: unexplained %s: %r" % (ws, e["ev"], text))
                    key = "UNEXPLAINED"
                else:
                    key = "failure during fault " + fault
            if e["ev"] == "box" and text.startswith("Error "):
                error_boxes.append(make_printable(text))
            # A play that failed shows its reason in plain words; the error
            # log keeps the numbered line of the same failure.
            failed_play = PLAY_FAILED_BOX.match(text) if e["ev"] == "box" else None
            if failed_play:
                play_failures.add(failed_play.group(1).rstrip("."))
            counted[key] = counted.get(key, 0) + 1
        log_dir = os.path.join(root, ws + "-logs")
        disk_full = any(w[0] == "local_full" and w[1] == ws for w in faults.windows)
        for path in sorted(glob.glob(os.path.join(log_dir, "Log*.txt"))):
            for entry in read_error_log(path):
                # A full folder cuts a line short; the next one follows it.
                joined = entry.rfind(" VN-Orvak - '")
                if disk_full and joined >= 0:
                    entry = entry[joined + len(" VN-Orvak - '"):]
                # The last entry written into a full folder may stay cut short.
                if disk_full and entry and any(b.startswith(entry) for b in error_boxes):
                    continue
                if disk_full and entry.startswith("Error 61 {"):
                    continue
                numbered = NUMBERED_LOG.match(entry)
                if numbered and numbered.group(1) in play_failures:
                    continue
                if (entry not in error_boxes and not RACE_PLAY_LOG.match(entry)
                        and not KEPT_NEW_LOG.match(entry) and not VANISHED_LOG.match(entry)):
                    fail("failures explained by faults", "%s: error log entry without its box: %s" % (ws, entry[:160]))
        for kind, target, start, end in faults.windows:
            if target not in (ws, None) or end == float("inf"):
                continue
            polled = any(e.get("ev") == "msg_updated" and end < e["t"] <= end + options.poll_after_fault_ms
                         for e in log)
            last = times[-1] if times else 0
            if not polled and last > end + options.poll_after_fault_ms:
                fail("polling goes on after faults", "%s: no poll result within %d ms after fault %s"
                                % (ws, options.poll_after_fault_ms, kind))
    checks = ["setup", "no message lost or garbled", "no file replaced",
              "no message marked heard unplayed", "server names only by recorder and renames",
              "renames match events", "no crash, hang or growth", "failures explained by faults",
              "polling goes on after faults"]
    return Result(figures, failures, {c: c not in failed for c in checks})


def report(result):
    lines = ["", "== soak figures"]
    for key, value in result.figures.items():
        if isinstance(value, dict):
            lines.append("  %s:" % key)
            for k, v in value.items():
                lines.append("      %-58s %s" % (k, v))
        else:
            lines.append("  %-62s %s" % (key, value))
    lines.append("== invariant checks")
    for name, ok in result.checks.items():
        lines.append("  %-62s %s" % (name, "passed" if ok else "FAILED"))
    for failure in result.failures[:200]:
        lines.append("  FAIL " + failure)
    passed = sum(1 for ok in result.checks.values() if ok)
    lines.append("soak: %d passed, %d failed" % (passed, len(result.checks) - passed))
    return "\n".join(lines)


if __name__ == "__main__":
    run = sys.argv[1]
    names = sorted(os.path.basename(p)[:-6] for p in glob.glob(os.path.join(run, "ws*.jsonl")))
    res = check(run, names)
    print(report(res))
    sys.exit(1 if res.failures else 0)
