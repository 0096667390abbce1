"""A whole session through the Python package gives, value for value and notification for
notification, what `pellix script` gives on the same statements."""

import json
import os
import subprocess
import tempfile
import unittest

import pellix

SOURCE = os.environ.get("PELLIX_SOURCE_DIR", ".")
SAMPLES = os.path.join(SOURCE, "examples", "samples")
PELLIX = os.environ.get("PELLIX_BINARY", "pellix")
PROPERTIES = [m for m in ("DATAstr", "DensityLevel", "Person", "CAL_SFLC", "CR_SFLC", "BGbord",
                          "LIEstress", "GLBstress", "EXCstress", "CR_msgX", "Volume",
                          "MSGstring", "Mode", "CAL_AVJ", "CR_avJ", "BGfilter", "ADDvolume",
                          "CAL_spT", "CAL_spJ", "CAL_JQ", "CR_SPJ", "CR_spT", "CR_JQ")]


def session(folder):
    """The statements of one session: (op, name, value) in order."""
    steps = [("set", "DATAstr", "000023000005000000"), ("call", "Initalize", None)]
    for i in range(1, 4):
        steps += [("set", "DATAstr", os.path.join(SAMPLES, "alex_calibrate_%d.smp" % i)),
                  ("call", "Calibrate", None)]
    for i in range(1, 13):
        steps += [("set", "DATAstr", os.path.join(SAMPLES, "alex_check_%02d.smp" % i)),
                  ("call", "Check", None)]
        steps += [("get", name, None) for name in PROPERTIES]
    steps += [("call", "profiler", None)] + [("get", name, None) for name in PROPERTIES]
    steps += [("save", os.path.join(folder, "bag.json"), None),
              ("load", os.path.join(folder, "bag.json"), None)]
    steps += [("get", name, None) for name in PROPERTIES]
    return steps


def script_text(steps):
    lines = []
    for op, name, value in steps:
        if op == "set":
            lines.append("set %s %s" % (name, json.dumps(value)))
        elif op in ("save", "load"):
            lines.append("%s %s" % (op, json.dumps(name)))
        else:
            lines.append("%s %s" % (op, name))
    return "\n".join(lines) + "\n"


def through_pellix_script(steps):
    """(events, saved bag): every notification name and every got value, in order."""
    run = subprocess.run([PELLIX, "script"], input=script_text(steps), capture_output=True,
                         text=True, check=True)
    events = []
    for line in run.stdout.splitlines():
        record = json.loads(line)
        if record["op"] == "notify":
            events.append(("notify", record["name"]))
        elif not record["ok"]:
            events.append(("error", record["error"]["number"]))
        elif record["op"] == "get":
            events.append(("get", record["name"], record["value"]))
    with open(steps[-len(PROPERTIES) - 2][1], encoding="utf-8") as bag_file:
        return events, json.load(bag_file)


def through_python(steps):
    events = []

    def heard(name, _dispid):
        events.append(("notify", name))
    controls = [pellix.Control(on_property_changed=heard)]
    saved = None
    for op, name, value in steps:
        c = controls[-1]
        try:
            if op == "set":
                setattr(c, name, value)
            elif op == "call":
                getattr(c, name)()
            elif op == "get":
                events.append(("get", name, getattr(c, name)))
            elif op == "save":
                saved = c.write_properties({})
            elif op == "load":
                controls.append(pellix.Control(saved, on_property_changed=heard))
        except pellix.PellixError as error:
            events.append(("error", error.number))
    for c in controls:
        c.close()
    return events, saved


class ScriptEquivalenceTest(unittest.TestCase):
    def test_every_value_and_notification_matches_pellix_script(self):
        with tempfile.TemporaryDirectory() as folder:
            steps = session(folder)
            expected_events, expected_bag = through_pellix_script(steps)
            events, bag = through_python(steps)
        self.assertGreater(len(expected_events), 350)
        self.assertEqual(len(events), len(expected_events))
        for index, (got, want) in enumerate(zip(events, expected_events)):
            self.assertEqual(got, want, "event %d" % index)
        self.assertEqual(list(bag.items()), list(expected_bag.items()))


if __name__ == "__main__":
    unittest.main()
