"""The Python package over the component: members from the type information, values, errors,
notifications, property bags, threads and lifetimes."""

import json
import os
import tempfile
import threading
import unittest
from unittest import mock

import pellix

SOURCE = os.environ.get("PELLIX_SOURCE_DIR", ".")
SAMPLES = os.path.join(SOURCE, "examples", "samples")
CAPTION_HELP = ("Returns/sets the text displayed in an object's title bar or below an "
                "object's icon.")


class RecordingBag(dict):
    """A dict that remembers every read and write by key, and can fail at one key."""

    def __init__(self, *args, fail_at=None, **kwargs):
        super().__init__(*args, **kwargs)
        self.reads = []
        self.writes = []
        self.fail_at = fail_at

    def __getitem__(self, key):
        self.reads.append(key)
        if key == self.fail_at:
            raise RuntimeError("bag refuses " + key)
        return super().__getitem__(key)

    def __setitem__(self, key, value):
        self.writes.append(key)
        if key == self.fail_at:
            raise RuntimeError("bag refuses " + key)
        super().__setitem__(key, value)


def unloadable():
    """Whether the library holds no object, this thread's error information cleared first."""
    lib = pellix._library.library()
    lib.PellixSetErrorInfo(0, None)
    return lib.DllCanUnloadNow() == 0


class MembersTest(unittest.TestCase):
    def test_members_come_from_the_type_information_in_interface_order(self):
        with pellix.Control():
            names = [m.name for m in pellix.Control.members]
        self.assertEqual(names, [
            "Calibrate", "Initalize", "Check", "ResetCal", "ResetAll", "DATAstr",
            "DensityLevel", "Person", "CAL_SFLC", "CR_SFLC", "BGbord", "LIEstress", "GLBstress",
            "EXCstress", "profiler", "CR_msgX", "Volume", "MSGstring", "Mode", "CAL_AVJ",
            "CR_avJ", "BGfilter", "ADDvolume", "CAL_spT", "CAL_spJ", "CAL_JQ", "CR_SPJ",
            "CR_spT", "CR_JQ"])
        by_name = {m.name: m for m in pellix.Control.members}
        self.assertEqual({m.name for m in by_name.values() if m.hidden},
                         {"DATAstr", "CR_SFLC", "MSGstring"})
        self.assertEqual({m.name for m in by_name.values() if m.method},
                         {"Calibrate", "Initalize", "Check", "ResetCal", "ResetAll", "profiler"})
        self.assertEqual(len([m for m in by_name.values() if m.help == CAPTION_HELP]), 17)
        cases = [("Calibrate", 0x60030017), ("profiler", 0x60030020), ("DATAstr", 0x68030016),
                 ("CR_msgX", 0x6803000D), ("CR_JQ", 0x68030000)]
        for name, dispid in cases:
            self.assertEqual(by_name[name].dispid, dispid, name)


class ValuesTest(unittest.TestCase):
    def test_a_new_instance_reports_its_defaults(self):
        with pellix.Control() as c:
            expected = {"DATAstr": "", "DensityLevel": 0, "Person": 0, "CAL_SFLC": 0,
                        "CR_SFLC": 0, "Volume": "0", "Mode": "0", "MSGstring": '"',
                        "BGfilter": "2", "BGbord": "0", "LIEstress": "0", "CR_msgX": "0",
                        "CAL_spT": "0", "CR_JQ": "0", "ADDvolume": "0"}
            for name, value in expected.items():
                self.assertEqual(getattr(c, name), value, name)

    def test_puts_convert_as_the_control_converts(self):
        cases = [  # (property, value put, value read back)
            ("DensityLevel", "12", 12),
            ("DensityLevel", 2.5, 2),
            ("DensityLevel", 3.5, 4),
            ("Person", True, -1),
            ("CAL_SFLC", -32768, -32768),
            ("CAL_spT", 12, "12"),
            ("CAL_spT", 0.5, "0.5"),
            ("CAL_spT", True, "True"),
            ("CAL_spT", "not a number", "not a number"),
            ("CR_msgX", "héllo \U0001F600", "héllo \U0001F600"),
        ]
        with pellix.Control() as c:
            for name, value, expected in cases:
                setattr(c, name, value)
                self.assertEqual(getattr(c, name), expected, (name, value))

    def test_failing_members_raise_the_platform_error(self):
        cases = [  # (user mode, property, value, number, description)
            (True, "CR_SFLC", 3, 393, "Get not supported at runtime"),
            (False, "CR_SFLC", 3, 382, "Set not supported at runtime"),
            (False, "DATAstr", "x", 382, "Set not supported at runtime"),
            (False, "MSGstring", "x", 382, "Set not supported at runtime"),
            (True, "DensityLevel", "abc", 13, "Type mismatch"),
            (True, "DensityLevel", 32768, 6, "Overflow"),
            (True, "Person", "", 13, "Type mismatch"),
        ]
        for user_mode, name, value, number, description in cases:
            with pellix.Control(user_mode=user_mode) as c, self.subTest(name=name, mode=user_mode):
                before = getattr(c, name)
                with self.assertRaises(pellix.PellixError) as raised:
                    setattr(c, name, value)
                self.assertEqual(raised.exception.number, number)
                self.assertEqual(raised.exception.description, description)
                self.assertEqual(raised.exception.status & 0xFFFFFFFF, 0x800A0000 + number)
                self.assertEqual(getattr(c, name), before)
            # The failed call keeps nothing alive: close() released the instance.
            self.assertTrue(unloadable(), name)

    def test_values_that_cannot_cross_are_platform_errors(self):
        cases = [  # (put or bag, key, value, number)
            ("put", "DensityLevel", 10**400, 6), ("put", "CAL_spT", -10**400, 6),
            ("put", "Mode", [1], 13), ("put", "Mode", {}, 13),
            ("bag", "DensityLevel", 10**400, 6), ("bag", "AutoRedraw", 10**400, 6),
            ("bag", "CR_SFLC", -10**400, 6), ("bag", "Mode", [1], 13),
        ]
        for where, key, value, number in cases:
            with pellix.Control() as c, self.subTest(where=where, key=key):
                with self.assertRaises(pellix.PellixError) as raised:
                    if where == "put":
                        setattr(c, key, value)
                    else:
                        c.read_properties({key: value})
                self.assertEqual(raised.exception.number, number)

    def test_integers_cross_whole_at_and_beside_32_bits(self):
        texts = [(2**31 - 1, "2147483647"), (2**31, "2147483648"), (-2**31, "-2147483648"),
                 (-2**31 - 1, "-2147483649")]
        with pellix.Control() as c:
            for value, text in texts:
                c.CAL_spT = value
                self.assertEqual(c.CAL_spT, text)
        colours = [(2**31, 2**31), (-2**31, 2**31), (-1, 2**32 - 1), (2**32 - 1, 2**32 - 1),
                   (-2**31 - 1, 6), (2**32, 6)]  # (loaded, saved or the error number)
        for loaded, saved in colours:
            with pellix.Control() as c, self.subTest(loaded=loaded):
                try:
                    c.read_properties({"BackColor": loaded})
                    outcome = c.write_properties()["BackColor"]
                except pellix.PellixError as error:
                    outcome = error.number
                self.assertEqual(outcome, saved)

    def test_lone_surrogates_read_as_the_command_reads_them_from_a_bag_file(self):
        scripts = os.path.join(SOURCE, "tests", "scripts")
        with open(os.path.join(scripts, "surrogates.given.lone.json"), encoding="utf-8") as bag:
            mapping = json.load(bag)
        with open(os.path.join(scripts, "surrogates.expected.jsonl"), encoding="utf-8") as lines:
            expected = {line["name"]: line["value"] for line in map(json.loads, lines)
                        if line["op"] == "get"}
        with pellix.Control(mapping) as c:
            self.assertEqual({name: getattr(c, name) for name in expected}, expected)

    def test_a_missing_sample_file_is_error_53(self):
        with pellix.Control() as c:
            c.DATAstr = os.path.join(SAMPLES, "no_such_take.smp")
            with self.assertRaises(pellix.PellixError) as raised:
                c.Check()
            self.assertEqual((raised.exception.number, raised.exception.description),
                             (53, "File not found"))


class NotificationTest(unittest.TestCase):
    def test_puts_notify_in_order_under_their_names(self):
        heard = []
        with pellix.Control(on_property_changed=lambda name, dispid: heard.append((name, dispid))) as c:
            c.CR_msgX = "5"
            c.BGfilter = "3"
            c.Volume = "7"
            with self.assertRaises(pellix.PellixError):
                c.CR_SFLC = 1
            c.DensityLevel = 4
        self.assertEqual(heard, [("CR_MSGX", 0x6803000D), ("BGfilter", 0x68030007),
                                 ("Volume", 0x6803000C), ("DensityLevel", 0x68030015)])

    def test_an_exception_in_the_callback_reaches_the_caller_after_the_put(self):
        def refuse(name, dispid):
            raise KeyError(name)
        with pellix.Control(on_property_changed=refuse) as c:
            with self.assertRaises(KeyError):
                c.Mode = "1"
            self.assertEqual(c.Mode, "1")


class CallbackTest(unittest.TestCase):
    """What a callback (a bag's mapping, on_property_changed) may do to the call it is in."""

    def calibrated(self, **options):
        c = pellix.Control(**options)
        c.DATAstr = "000023000005000000"
        c.Initalize()
        c.DATAstr = os.path.join(SAMPLES, "alex_calibrate_1.smp")
        return c

    def test_close_from_a_callback_takes_effect_when_the_call_returns(self):
        class ClosingBag(dict):
            def __getitem__(self, key):
                control.close()
                return super().__getitem__(key)
        for call in ("read_properties", "CR_msgX", "Calibrate", "Check"):
            with self.subTest(call=call):
                control = self.calibrated()
                control.on_property_changed = lambda name, dispid: control.close()
                if call == "read_properties":
                    control.read_properties(ClosingBag(DATAstr="x"))
                elif call == "CR_msgX":
                    control.CR_msgX = "7"
                else:
                    getattr(control, call)()
                with self.assertRaises(ValueError):
                    control.Mode = "1"
                self.assertTrue(unloadable())

    def test_keyboard_interrupt_and_system_exit_reach_the_caller(self):
        class InterruptedBag(RecordingBag):
            def __getitem__(self, key):
                value = super().__getitem__(key)
                if key == "Mode":
                    raise KeyboardInterrupt
                return value
        bag = InterruptedBag(Mode="1")
        with pellix.Control() as c:
            with self.assertRaises(KeyboardInterrupt):
                c.read_properties(bag)
        order = PropertyBagTest.LOAD_ORDER
        self.assertEqual(bag.reads, order[:order.index("Mode") + 1])  # the load ended there

        def leave(name, dispid):
            raise SystemExit(3)
        with pellix.Control(on_property_changed=leave) as c:
            with self.assertRaises(SystemExit):
                c.Mode = "1"
            self.assertEqual(c.Mode, "1")


class PropertyBagTest(unittest.TestCase):
    SAVE_ORDER = ["BackColor", "AutoRedraw", "BackStyle", "BorderStyle", "DATAstr",
                  "DensityLevel", "Person", "CAL_SFLC", "CR_SFLC", "Mode", "CAL_AVJ", "CR_avJ",
                  "BGfilter", "Volume", "ADDvolume", "CAL_spT", "CAL_spJ", "CAL_JQ", "CR_SPJ",
                  "CR_spT", "CR_JQ", "Volume", "MSGstring", "Mode", "BGfilter"]
    LOAD_ORDER = ["BackColor", "AutoRedraw", "BackStyle", "BorderStyle", "DATAstr",
                  "DensityLevel", "Person", "CAL_SFLC", "CR_SFLC", "BGfilter", "BGbord",
                  "Volume", "ADDvolume", "CAL_spT", "CAL_spJ", "CAL_JQ", "CR_SPJ", "CR_spT",
                  "LIEstress", "GLBstress", "EXCstress", "CAL_AVJ", "CR_avJ", "CR_JQ",
                  "CR_MSGX", "Mode", "Volume", "MSGstring", "Mode", "BGfilter"]

    def test_save_writes_every_key_in_order(self):
        bag = RecordingBag()
        with pellix.Control() as c:
            c.Volume = "9"
            c.write_properties(bag)
        self.assertEqual(bag.writes, self.SAVE_ORDER)
        self.assertEqual(bag["BackColor"], 2147483663)
        self.assertIs(bag["AutoRedraw"], False)
        self.assertEqual(bag["Volume"], "9")  # the member, written after the cell
        self.assertEqual(bag["BGfilter"], "2")  # Filters(3), written last
        self.assertEqual(bag["MSGstring"], '"')

    def test_load_reads_every_key_in_order_and_an_empty_bag_gives_the_defaults(self):
        bag = RecordingBag()
        with pellix.Control(bag) as c:
            self.assertEqual(bag.reads, self.LOAD_ORDER)
            self.assertEqual((c.BGfilter, c.Volume, c.MSGstring, c.DensityLevel),
                             ("0", "0", '"', 0))

    def test_a_bag_failing_at_a_key_ends_the_load_there(self):
        bag = RecordingBag({"DATAstr": "before", "CAL_spT": "7", "CR_JQ": "after"},
                           fail_at="CAL_spT")
        with pellix.Control() as c:
            with self.assertRaises(pellix.PellixError) as raised:
                c.read_properties(bag)
            self.assertIsInstance(raised.exception.__cause__, RuntimeError)
            self.assertEqual(raised.exception.status & 0xFFFFFFFF, 0x80004005)
            self.assertEqual(bag.reads[-1], "CAL_spT")
            self.assertEqual((c.DATAstr, c.CAL_spT, c.CR_JQ), ("before", "0", "0"))

    def test_a_value_that_does_not_convert_ends_the_load_with_its_error(self):
        cases = [("DensityLevel", "abc", 13), ("Person", 40000, 6), ("CAL_SFLC", [1], 13)]
        for key, value, number in cases:
            with pellix.Control() as c, self.subTest(key=key):
                with self.assertRaises(pellix.PellixError) as raised:
                    c.read_properties({key: value})
                self.assertEqual(raised.exception.number, number)

    def test_a_bag_failing_at_a_key_ends_the_save_there(self):
        bag = RecordingBag(fail_at="CR_avJ")
        with pellix.Control() as c:
            with self.assertRaises(pellix.PellixError):
                c.write_properties(bag)
        self.assertEqual(bag.writes, self.SAVE_ORDER[:self.SAVE_ORDER.index("CR_avJ") + 1])


class LifetimeTest(unittest.TestCase):
    def test_another_thread_is_refused(self):
        outcome = []
        with pellix.Control() as c:
            def use():
                try:
                    c.Mode = "1"
                except pellix.PellixError as error:
                    outcome.append((error.number, error.status & 0xFFFFFFFF))
            worker = threading.Thread(target=use)
            worker.start()
            worker.join()
            self.assertEqual(c.Mode, "0")
        self.assertEqual(outcome, [(0, 0x8001010E)])

    def test_an_instance_dropped_on_another_thread_is_released(self):
        made = []
        worker = threading.Thread(target=lambda: made.append(pellix.Control()))
        worker.start()
        worker.join()
        made.clear()
        self.assertTrue(unloadable())

        made.append(pellix.Control())
        worker = threading.Thread(target=made.clear)
        worker.start()
        worker.join()
        self.assertTrue(unloadable())

    def test_a_load_that_stops_part_way_hands_over_the_instance(self):
        with self.assertRaises(pellix.PellixError) as raised:
            pellix.Control({"DATAstr": "kept", "DensityLevel": "x", "Mode": "lost"})
        self.assertEqual(raised.exception.number, 13)
        with raised.exception.control as c:
            self.assertEqual((c.DATAstr, c.Mode), ("kept", ""))
        self.assertIsNone(pellix.PellixError(5, "x", 0).control)

    def test_with_closes_the_instance(self):
        with pellix.Control() as c:
            pass
        with self.assertRaises(ValueError):
            c.Check()


class LibraryLookupTest(unittest.TestCase):
    def test_the_environment_then_the_registry_then_beside_the_package(self):
        with tempfile.TemporaryDirectory() as home:
            registry = os.path.join(home, "Pellix", "registry.json")
            os.makedirs(os.path.dirname(registry))
            entry = json.dumps({"{DCDCC0A1-B7C2-4620-B8CF-5302339058E8}": {
                "progid": "Pellix.ALG_V1S", "library": "/registered/libPellix.so",
                "threading": "Apartment"}})
            given = {"PELLIX_LIBRARY": "/given/libPellix.so", "XDG_DATA_HOME": home}
            registered = {"PELLIX_LIBRARY": "", "XDG_DATA_HOME": home}
            # A registry at the limits is read: 512 levels (the object and 511 arrays beside
            # the entry) and 1 MiB to the byte.
            deepest = entry[:-1] + ', "pad": %s}' % ("[" * 511 + "]" * 511)
            cases = [(entry, given, "/given/libPellix.so"),
                     (entry, registered, "/registered/libPellix.so"),
                     (deepest, registered, "/registered/libPellix.so"),
                     (entry + " " * ((1 << 20) - len(entry)), registered,
                      "/registered/libPellix.so")]
            for text, environment, expected in cases:
                with open(registry, "w", encoding="utf-8") as registry_file:
                    registry_file.write(text)
                with mock.patch.dict(os.environ, environment):
                    self.assertEqual(pellix.find_library(), expected, len(text))
            damaged = [lambda: open(registry, "w", encoding="utf-8").write("{damaged"),
                       lambda: os.mkfifo(registry),
                       lambda: os.symlink("/dev/zero", registry),
                       lambda: open(registry, "w", encoding="utf-8").write(
                           "{}" + " " * ((1 << 20) - 1)),
                       lambda: open(registry, "w", encoding="utf-8").write(
                           '{"a": %s}' % ("[" * 512 + "]" * 512))]
            for make in damaged:
                os.remove(registry)
                make()
                with mock.patch.dict(os.environ, {"PELLIX_LIBRARY": "", "XDG_DATA_HOME": home}):
                    with self.assertRaisesRegex(OSError, registry):
                        pellix.find_library()


if __name__ == "__main__":
    unittest.main()
