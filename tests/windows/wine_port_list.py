#!/usr/bin/env python3
"""Lets Wine register serial ports and port devices and checks that the Windows port list finds them.

Usage: wine_port_list.py WINE_RUN TEST_PROGRAM.exe

Wine lists only the ports its mount manager registered when the session
started, such as those named in HKLM\\Software\\Wine\\Ports (a COM link
made by hand in dosdevices opens but is listed nowhere; see
docs/platform-notes.md). So pseudo-terminals go there first, and the
WinePortList tests run in the next session, in a prefix of this test's own
that no parallel run keeps a session alive in. The entries stay there; each
run sets them again.
"""
import os
import subprocess
import tempfile

import wine_harness
from wine_harness import Deadline, Failure

# Out of order on purpose, and across a change in the number of digits.
COM_NUMBERS = (41, 9, 10)
# Devices of the Ports class as a driver installs them, which Wine's device
# manager (SetupAPI) reports as present: one for a registered port, one for
# a port in no other list.
PORT_DEVICES = (("COM41", "Test USB Serial Port (COM41)"),
                ("COM77", "Test Bluetooth Serial Port (COM77)"))
ENUM_KEY = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\ROOT\\PORTS\\%04d"
PORTS_CLASS = "{4D36E978-E325-11CE-BFC1-08002BE10318}"


def device_entries():
    lines = []
    for index, (name, friendly) in enumerate(PORT_DEVICES):
        lines += ["", "[%s]" % (ENUM_KEY % index), '"Class"="Ports"',
                  '"ClassGUID"="%s"' % PORTS_CLASS, '"FriendlyName"="%s"' % friendly,
                  "", "[%s\\Device Parameters]" % (ENUM_KEY % index), '"PortName"="%s"' % name]
    return lines


def registry_file(ports):
    """A .reg file that maps each port name to its Linux device and
    installs the port devices."""
    lines = ["Windows Registry Editor Version 5.00", "",
             "[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]"]
    lines += ['"%s"="%s"' % (name, path) for name, path in ports]
    lines += device_entries()
    handle, file_name = tempfile.mkstemp(suffix=".reg")
    with os.fdopen(handle, "w", encoding="utf-16", newline="\r\n") as reg:
        reg.write("\n".join(lines) + "\n")
    return file_name


def import_registry(wine_run, ports):
    file_name = registry_file(ports)
    try:
        # Wine's drive Z: is the Linux root.
        windows_path = "Z:" + file_name.replace("/", "\\")
        status = wine_harness.run_to_end([wine_run, "regedit", "/S", windows_path], Deadline(),
                                         stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        if status != 0:
            raise Failure("importing %s into the registry failed (status %d)" % (ports, status))
    finally:
        os.unlink(file_name)


def run(wine_run, program):
    program = os.path.abspath(program)
    os.environ["SCALECHECK_WINEPREFIX"] = wine_harness.wine_prefix(program) + "-ports"
    wine_harness.ensure_wine_prefix(wine_run, program, ["--gtest_filter=-*"])
    terminals = [os.openpty() for _ in COM_NUMBERS]
    names = ["COM%d" % number for number in COM_NUMBERS]
    try:
        import_registry(wine_run, [(name, os.ttyname(slave))
                                   for name, (_, slave) in zip(names, terminals)])
        numbers = sorted(set(COM_NUMBERS) | {int(name[3:]) for name, _ in PORT_DEVICES})
        in_order = ",".join("COM%d" % number for number in numbers)
        described = "|".join("%s=%s" % device for device in PORT_DEVICES)
        env = dict(os.environ, SCALECHECK_TEST_PORTS=in_order,
                   SCALECHECK_TEST_DESCRIPTIONS=described)
        status = wine_harness.run_to_end(
            [wine_run, program, "--gtest_filter=WinePortList.*"], Deadline(), env=env)
        if status != 0:
            raise Failure("the WinePortList tests failed (status %d)" % status)
    finally:
        for master, slave in terminals:
            os.close(master)
            os.close(slave)


if __name__ == "__main__":
    raise SystemExit(wine_harness.script_main("usage: wine_port_list.py WINE_RUN TEST_PROGRAM.exe",
                                              2, run))
