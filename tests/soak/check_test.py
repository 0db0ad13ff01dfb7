"""The soak checker on small made-up runs: a clean run passes, and each kind
of fault the soak is there to find is reported."""

import json
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import check  # noqa: E402
from recorder import digest, message_bytes  # noqa: E402


_folders = []


def tearDownModule():
    for folder in _folders:
        shutil.rmtree(folder, ignore_errors=True)


class Run:
    """A run folder written line by line: server events, folder events, one
    workstation's log and the final folder."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="soak-check-")
        _folders.append(self.root)
        os.makedirs(os.path.join(self.root, "server", "messages"))
        self.t = 1000

    def add(self, log, **record):
        self.t += 10
        record.setdefault("t", self.t)
        with open(os.path.join(self.root, log + ".jsonl"), "a") as f:
            f.write(json.dumps(record) + "\n")

    def path(self, name):
        return os.path.join(self.root, "server", "messages", name + ".vox")

    def file(self, name, serial, length=None):
        with open(self.path(name), "wb") as f:
            f.write(message_bytes(serial, 1)[:length] if serial else b"")

    def record(self, serial, name):
        self.add("server", ev="recorded", serial=serial, name=name,
                 bytes=len(message_bytes(serial, 1)), sha1=digest(message_bytes(serial, 1)))
        self.add("folder", ev="moved_from", name="REC%08d.tmp" % serial, cookie=serial)
        self.add("folder", ev="moved_to", name=name + ".vox", cookie=serial)

    def play(self, serial, ending="end", ws="ws1", data=None):
        data = message_bytes(serial, 1) if data is None else data
        self.add(ws, ev="played", serial=serial, sha1=digest(data), bytes=len(data), ending=ending)

    def rename(self, name, cookie, serial=None):
        """A workstation plays message `serial` (unless None) and renames `name`."""
        if serial is not None:
            self.play(serial)
        self.add("folder", ev="moved_from", name=name + ".vox", cookie=cookie)
        self.add("folder", ev="moved_to", name="M" + name[1:] + ".vox", cookie=cookie)
        self.add("ws1", ev="heard", name=name, outcome="renamed")
        self.add("ws1", ev="finished_new")

    def healthy_workstation(self):
        self.add("ws1", ev="start", rss_kb=1000)
        self.add("ws1", ev="alive", rss_kb=1000)
        self.add("ws1", ev="msg_updated", list="", cnt=0, new=0)
        self.add("ws1", ev="exit", rss_kb=1100, plays=3)

    def check(self):
        return check.check(self.root, ["ws1"])


def clean_run():
    run = Run()
    run.healthy_workstation()
    run.record(1, "NA000000001A")
    run.record(2, "NA000000001B")
    run.rename("NA000000001A", 101, serial=1)
    run.file("MA000000001A", 1)
    run.file("NA000000001B", 2)
    return run


class CheckTest(unittest.TestCase):
    def test_a_clean_run_passes_and_counts(self):
        run = clean_run()
        open(os.path.join(run.root, "server", "messages", check.FOLDER_MARKER), "w").close()
        result = run.check()
        self.assertEqual(result.failures, [])
        self.assertEqual(result.figures["messages recorded"], 2)
        self.assertEqual(result.figures["renames new to heard (seen on the server)"], 1)
        self.assertEqual(result.figures["messages lost"], 0)

    def test_a_mark_through_a_parking_name_is_one_rename(self):
        run = clean_run()
        parked = "NA000000001B.heard-ws2-7-1.vox"
        run.add("folder", ev="moved_from", name="NA000000001B.vox", cookie=201)
        run.add("folder", ev="moved_to", name=parked, cookie=201)
        run.add("folder", ev="moved_from", name=parked, cookie=202)
        run.add("folder", ev="moved_to", name="NA000000001B.vox", cookie=202)  # put back
        self.assertEqual(run.check().failures, [])
        run.add("folder", ev="moved_from", name="NA000000001B.vox", cookie=203)
        run.add("folder", ev="moved_to", name=parked, cookie=203)
        run.add("folder", ev="moved_from", name=parked, cookie=204)
        run.add("folder", ev="moved_to", name="MA000000001B.vox", cookie=204)
        run.play(2)
        run.add("ws1", ev="heard", name="NA000000001B", outcome="renamed")
        run.add("ws1", ev="finished_new")
        os.unlink(os.path.join(run.root, "server", "messages", "NA000000001B.vox"))
        run.file("MA000000001B", 2)
        result = run.check()
        self.assertEqual(result.failures, [])
        self.assertEqual(result.figures["renames new to heard (seen on the server)"], 2)

    def test_a_message_neither_present_nor_purged_is_lost(self):
        run = clean_run()
        os.unlink(os.path.join(run.root, "server", "messages", "NA000000001B.vox"))
        self.assertIn("LOST: message 2 (NA000000001B) is neither in the folder nor purged",
                      run.check().failures)
        run.rename("NA000000001B", 102, serial=2)
        run.add("server", ev="purged", name="MA000000001B", serial=2, bytes=4000)
        self.assertEqual(run.check().failures, [])

    def test_a_rename_that_replaces_a_heard_file_fails_the_run(self):
        run = clean_run()
        run.record(3, "NA000000001A")  # a newer copy of the heard message
        os.unlink(run.path("MA000000001A"))
        run.file("MA000000001A", 3)
        self.assertTrue(any("LOST: message 1" in f for f in run.check().failures))
        # The newer copy's rename took the heard file's place: message 1 is
        # accounted for, and the replacement is the failure.
        run.rename("NA000000001A", 7, serial=3)
        result = run.check()
        self.assertEqual(result.failures,
                         ["REPLACED: MA000000001A.vox was a rename from NA000000001A.vox took its place"])
        self.assertEqual(result.figures["files replaced"], 1)
        self.assertEqual(result.figures["messages lost"], 0)

    def test_a_heard_file_deleted_before_a_rename_onto_its_name_is_replaced(self):
        # A share that cannot replace in one step deletes the target first,
        # whatever the case of its name.
        run = clean_run()
        run.record(3, "NA000000001a")
        run.add("folder", ev="delete", name="MA000000001A.vox", cookie=0)
        os.unlink(run.path("MA000000001A"))
        run.rename("NA000000001a", 8, serial=3)
        run.file("MA000000001a", 3)
        result = run.check()
        self.assertEqual(result.failures, ["REPLACED: MA000000001A.vox was deleted"])
        self.assertEqual(result.figures["messages lost"], 0)

    def test_a_name_truncated_twice_accounts_for_both_messages(self):
        run = clean_run()
        for serial in (3, 4):
            run.record(serial, "NA000000002A")
            run.add("server", ev="fault_start", kind="truncate", ws=None, name="NA000000002A",
                    serial=serial)
            run.add("server", ev="fault_end", kind="truncate", ws=None, name="NA000000002A")
            if serial == 3:
                run.rename("NA000000002A", 30, serial=None)
                run.add("server", ev="purged", name="MA000000002A", serial=None, bytes=0)
        run.file("NA000000002A", None)
        self.assertEqual(run.check().failures, [])

    def test_heard_back_to_new_and_copies_are_caught(self):
        run = clean_run()
        run.add("folder", ev="moved_from", name="MA000000001A.vox", cookie=9)
        run.add("folder", ev="moved_to", name="NA000000001A.vox", cookie=9)
        run.add("folder", ev="create", name="MA000000001B.vox", cookie=0)
        run.add("folder", ev="delete", name="NA000000001B.vox", cookie=0)
        failures = "\n".join(run.check().failures)
        self.assertIn("HEARD TO NEW", failures)
        self.assertIn("MA000000001B.vox was created, not renamed into place", failures)
        self.assertIn("new message file NA000000001B.vox was deleted", failures)

    def test_the_same_message_twice_or_unknown_contents_are_caught(self):
        run = clean_run()
        run.file("MA000000001B", 2)
        run.file("MA000000001C", 0)
        with open(os.path.join(run.root, "server", "messages", "REC00000009.tmp"), "w") as f:
            f.write("x")
        failures = "\n".join(run.check().failures)
        self.assertIn("message 2 is in the folder twice", failures)
        self.assertIn("file MA000000001C.vox holds no recorded message", failures)
        self.assertIn("stray file in the messages folder: REC00000009.tmp", failures)

    def test_contents_are_compared_whole(self):
        run = clean_run()
        run.file("MA000000001A", 1, length=100)  # the head is intact, the rest cut off
        self.assertEqual(run.check().failures, [
            "GARBLED: message 1 (NA000000001A) is in the folder as MA000000001A.vox with other "
            "bytes than recorded"])
        run = clean_run()
        run.add("server", ev="purged", name="MA000000001B", serial=2, bytes=100, sha1=digest(b"x"))
        os.unlink(run.path("NA000000001B"))
        self.assertIn("GARBLED: message 2 (NA000000001B) was purged as MA000000001B with other "
                      "bytes than recorded", run.check().failures)
        run = clean_run()
        data = bytearray(message_bytes(2, 1))
        data[-1] ^= 0xFF
        run.play(2, data=bytes(data))
        self.assertIn("GARBLED: ws1 played message 2 (NA000000001B) with other bytes than recorded "
                      "(%d bytes)" % len(data), run.check().failures)
        # Cut short by a stale cache and kept new: counted, not failed.
        run = clean_run()
        run.play(2, ending="stop_voice", data=message_bytes(2, 1)[:100])
        result = run.check()
        self.assertEqual(result.failures, [])
        self.assertEqual(result.figures["plays cut short by a stale cache (message kept new)"], 1)

    def test_a_message_marked_heard_must_have_been_played_whole(self):
        run = Run()
        run.healthy_workstation()
        run.record(1, "NA000000001A")
        run.rename("NA000000001A", 101)
        run.file("MA000000001A", 1)
        mis_marked = "MIS-MARKED: message 1 (NA000000001A) was marked heard, but no workstation " \
                     "played it to its end"
        self.assertEqual(run.check().failures, [mis_marked])
        self.assertEqual(run.check().figures["messages marked heard but never played"], 1)
        run.play(1, ending="stop_voice")  # stopped: not heard
        run.play(2)  # another message
        self.assertEqual(run.check().failures, [mis_marked])
        run.play(1)  # played to its end
        self.assertEqual(run.check().failures, [])

    def test_a_purged_message_counts_as_heard(self):
        run = clean_run()
        run.record(3, "NA000000001C")
        run.rename("NA000000001C", 102)
        run.add("server", ev="purged", name="MA000000001C", serial=3, bytes=4000,
                sha1=digest(message_bytes(3, 1)))
        self.assertIn("MIS-MARKED: message 3 (NA000000001C) was marked heard, but no workstation "
                      "played it to its end", run.check().failures)

    def test_a_killed_workstation_runs_again(self):
        run = clean_run()
        run.add("server", ev="fault_start", kind="kill", ws="ws1")
        run.add("ws1", ev="heard", name="NA000000001B", outcome="renamed")  # killed before the event
        run.add("ws1", ev="start", rss_kb=5000)
        run.add("server", ev="fault_end", kind="kill", ws="ws1")
        run.add("ws1", ev="alive", rss_kb=5000)
        run.add("ws1", ev="exit", rss_kb=5000)
        failures = run.check().failures
        self.assertNotIn("ws1: no orderly exit", failures)
        self.assertNotIn("ws1: 1 FinishedPlayingNewMsg events for 2 new messages dealt with", failures)
        run = clean_run()
        run.add("ws1", ev="heard", name="NA000000001B", outcome="renamed")
        run.add("ws1", ev="start", rss_kb=5000)
        self.assertIn("ws1: no orderly exit", run.check().failures)
        self.assertIn("ws1: 1 FinishedPlayingNewMsg events for 2 new messages dealt with",
                      run.check().failures)

    def test_renames_and_events_must_agree(self):
        run = clean_run()
        run.add("ws1", ev="finished_new")
        self.assertIn("ws1: 2 FinishedPlayingNewMsg events for 1 new messages dealt with",
                      run.check().failures)
        run.add("ws1", ev="heard", name="NA000000001B", outcome="renamed")
        failures = "\n".join(run.check().failures)
        self.assertIn("the workstations renamed 2 messages, the server saw 1 renames", failures)

    def test_failures_need_a_fault_to_explain_them(self):
        run = clean_run()
        race = "Error 53 { 53-File not found } occurred at 67 in VNOrvak"
        run.add("ws1", ev="box", text=race)
        run.add("ws1", ev="box", text="Error 70 { 70-Cannot rename /m/NA000000001A.vox to "
                "/m/MA000000001A.vox: Device or resource busy } occurred at 54 in VNOrvak")
        run.add("ws1", ev="box", text="Error 75 { 75-Path/File access error } occurred at 75 in VNOrvak")
        # A message renamed elsewhere before its play is looked up, not an error.
        run.add("ws1", ev="box", text="Message NA000000001B could not be played: File not found."
                "\r\nIt stays new.")
        failures = run.check().failures
        self.assertEqual(len(failures), 2)
        self.assertIn("unexplained box", failures[0])
        self.assertIn("before its play showed an error box", failures[1])
        run.add("server", ev="fault_start", kind="unmount", ws="ws1", t=run.t - 1000)
        run.add("server", ev="fault_end", kind="unmount", ws="ws1", remounted=True)
        self.assertEqual(run.check().failures, [])

    def test_a_crash_a_hang_or_a_leak_fails_the_run(self):
        run = clean_run()
        run.add("ws1", ev="alive", rss_kb=999999, t=run.t + 60000)
        failures = "\n".join(check.check(run.root, ["ws1"], check.Options(crashed={"ws1": -11})).failures)
        self.assertIn("ws1: exited with status -11", failures)
        self.assertIn("ws1: silent for", failures)
        self.assertIn("ws1: memory grew by", failures)

    def test_error_log_entries_must_match_boxes(self):
        run = clean_run()
        text = "Error 53 { 53-File not found } occurred at 67 in VNOrvak"
        run.add("ws1", ev="box", text=text)
        logs = os.path.join(run.root, "ws1-logs")
        os.makedirs(logs)
        long_text = "Error 75 { 75-" + "x" * 120 + " } occurred at 1 in VNOrvak"
        with open(os.path.join(logs, "Log260101.txt"), "w", newline="") as f:
            f.write("Jan01 10:00:00 VN-Orvak - '" + text + "'\r\n")
            line = "Jan01 10:00:01 VN-Orvak - '" + long_text + "'"
            f.write(line[:100] + "'\r\n   '" + line[100:] + "\r\n")
            # A listed message renamed elsewhere before its time was read.
            f.write("Jan01 10:00:01 VN-Orvak - 'Error 53 { 53-File not found: /m/NA000000001A.vox }"
                    " occurred at 31 in VNOrvak'\r\n")
        failures = run.check().failures
        self.assertEqual(len(failures), 1)
        self.assertIn("error log entry without its box: " + long_text[:40], failures[0])
        # Cut short by a full folder, and the last line of the log.
        with open(os.path.join(logs, "Log260101.txt"), "a", newline="") as f:
            f.write("Jan01 10:00:02 VN-Orvak - '" + text[:30])
        self.assertEqual(len(run.check().failures), 2)
        run.add("server", ev="fault_start", kind="local_full", ws="ws1")
        run.add("server", ev="fault_end", kind="local_full", ws="ws1")
        self.assertEqual(len(run.check().failures), 1)
        self.assertEqual(check.make_printable("a\r\n\u00e9\u4e2d"), "a<13><10><233>?")


if __name__ == "__main__":
    unittest.main()
