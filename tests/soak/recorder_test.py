"""The soak's recorder on a scratch folder: the names it reuses, and the
newer copy it writes while a workstation plays a message heard elsewhere."""

import json
import os
import random
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from recorder import JsonLog, Recorder, file_digest, message_bytes  # noqa: E402


class RecorderTest(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="soak-recorder-")
        self.addCleanup(shutil.rmtree, self.root, True)
        self.folder = os.path.join(self.root, "messages")
        os.makedirs(self.folder)
        self.log = JsonLog(os.path.join(self.root, "server.jsonl"))
        self.addCleanup(self.log.close)

    def recorded(self):
        with open(os.path.join(self.root, "server.jsonl")) as f:
            return [json.loads(line) for line in f]

    def test_each_message_has_its_own_bytes_and_hash(self):
        self.assertNotEqual(message_bytes(1, 1)[20:], message_bytes(2, 1)[20:])
        recorder = Recorder(self.folder, self.log, random.Random(1), reuse=0, case_twins=0)
        recorder.record_one()
        e = self.recorded()[0]
        serial, sha1, size = file_digest(os.path.join(self.folder, e["name"] + ".vox"))
        self.assertEqual((serial, sha1, size), (e["serial"], e["sha1"], e["bytes"]))
        self.assertEqual(os.listdir(self.folder), [e["name"] + ".vox"])  # no temporary left

    def test_names_are_reused_but_no_file_is_written_over(self):
        recorder = Recorder(self.folder, self.log, random.Random(7), reuse=1, case_twins=0)
        recorder.record_one("NA000000100A", "fresh")
        os.rename(os.path.join(self.folder, "NA000000100A.vox"),
                  os.path.join(self.folder, "MA000000100A.vox"))
        recorder.record_one()  # the only heard message gets a newer copy
        recorder.record_one()  # its new name is taken now: a fresh name
        recorder.reuse, recorder.case_twins = 0, 1
        recorder.record_one()
        recorder.record_one()
        names = [(e["name"], e["kind"]) for e in self.recorded()]
        self.assertEqual(names[1], ("NA000000100A", "newer_copy"))
        self.assertEqual(names[2][1], "fresh")
        self.assertIn(("NA000000100a", "case_twin"), names[3:])
        self.assertEqual(len(os.listdir(self.folder)), 5)  # five files, none written over

    def test_a_play_of_a_message_heard_elsewhere_gets_a_newer_copy(self):
        ws_log = os.path.join(self.root, "ws1.jsonl")
        recorder = Recorder(self.folder, self.log, random.Random(3), reuse=0, case_twins=0,
                            logs=[ws_log])
        recorder.record_one()
        name = self.recorded()[0]["name"]
        with open(ws_log, "a") as f:
            f.write(json.dumps({"ev": "play_start", "serial": 1}) + "\n")
        recorder.race_plays()  # still new: nothing to race
        self.assertEqual(len(self.recorded()), 1)
        os.rename(os.path.join(self.folder, name + ".vox"),
                  os.path.join(self.folder, "M" + name[1:] + ".vox"))  # heard elsewhere
        recorder.race_plays()
        recorder.race_plays()  # once per play
        self.assertEqual([(e["name"], e["kind"]) for e in self.recorded()],
                         [(name, "fresh"), (name, "race")])

    def test_a_play_of_a_heard_message_races_nothing(self):
        ws_log = os.path.join(self.root, "ws1.jsonl")
        recorder = Recorder(self.folder, self.log, random.Random(3), reuse=0, case_twins=0,
                            logs=[ws_log])
        recorder.record_one()
        name = self.recorded()[0]["name"]
        os.rename(os.path.join(self.folder, name + ".vox"),
                  os.path.join(self.folder, "M" + name[1:] + ".vox"))
        with open(ws_log, "a") as f:
            f.write(json.dumps({"ev": "play_start", "serial": 1}) + "\n")
        recorder.race_plays()
        self.assertEqual(len(self.recorded()), 1)


if __name__ == "__main__":
    unittest.main()
