#!/usr/bin/python3
"""A Python host of the Pellix component: the whole pattern of work with the control.

    pellix_python_host.py SAMPLES_FOLDER [PARAMETERS]

Initialises from the parameter string, calibrates on alex_calibrate_1..3.smp, checks
alex_check_01..02.smp, goes on to ten checks and runs the profiler, saves the instance into a
dict, loads a second instance from it and prints the results (as the C host does)."""

import os
import sys

import pellix


def main(argv):
    if len(argv) not in (2, 3):
        print("usage: pellix_python_host.py SAMPLES_FOLDER [PARAMETERS]", file=sys.stderr)
        return 2
    folder = argv[1]
    parameters = argv[2] if len(argv) == 3 else "000023000005000000"
    notifications = []

    def heard(name, _dispid):
        notifications.append(name)

    try:
        with pellix.Control(on_property_changed=heard) as c:
            c.DATAstr = parameters
            c.Initalize()
            for i in range(1, 4):
                c.DATAstr = os.path.join(folder, "alex_calibrate_%d.smp" % i)
                c.Calibrate()
            print("calibrated: CAL_spT=%s CAL_spJ=%s CAL_JQ=%s CAL_AVJ=%s"
                  % (c.CAL_spT, c.CAL_spJ, c.CAL_JQ, c.CAL_AVJ))
            for i in range(1, 11):
                c.DATAstr = os.path.join(folder, "alex_check_%02d.smp" % i)
                c.Check()
                if i <= 2:
                    print("check %d: CR_msgX=%s LIEstress=%s GLBstress=%s EXCstress=%s"
                          % (i, c.CR_msgX, c.LIEstress, c.GLBstress, c.EXCstress))
            c.profiler()
            print("profile: DATAstr=%s" % c.DATAstr)
            bag = c.write_properties({})
        with pellix.Control(bag, on_property_changed=heard) as loaded:
            print("reloaded: CAL_spT=%s CAL_spJ=%s CAL_JQ=%s CAL_AVJ=%s BGfilter=%s"
                  % (loaded.CAL_spT, loaded.CAL_spJ, loaded.CAL_JQ, loaded.CAL_AVJ,
                     loaded.BGfilter))
    except pellix.PellixError as error:
        print("pellix_python_host: %s" % error, file=sys.stderr)
        return 1
    print("notifications: %d" % len(notifications))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
