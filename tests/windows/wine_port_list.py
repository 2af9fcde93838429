#!/usr/bin/env python3
"""Lets Wine register serial ports and checks that the Windows port list finds them.

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


def registry_file(ports):
    """A .reg file that maps each port name to its Linux device."""
    lines = ["Windows Registry Editor Version 5.00", "",
             "[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]"]
    lines += ['"%s"="%s"' % (name, path) for name, path in ports]
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
        in_order = ",".join("COM%d" % number for number in sorted(COM_NUMBERS))
        env = dict(os.environ, SCALECHECK_TEST_PORTS=in_order)
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
