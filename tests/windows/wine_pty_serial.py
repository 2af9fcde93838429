#!/usr/bin/env python3
"""Gives the Windows tests a serial port under Wine.

Usage: wine_pty_serial.py WINE_RUN TEST_PROGRAM.exe

Maps a Linux pseudo-terminal as COM40 of the build's Wine prefix, runs the
WinePtySerial tests of TEST_PROGRAM under Wine, and plays the device at the
pseudo-terminal's other end: when the program sends its ready byte, the
payload the test expects is sent back. Exits with the test program's status.
"""
import os
import select
import subprocess
import sys
import time

COM_NUMBER = 40
PAYLOAD = b"ST\x11\x13\r\n\x00\xc0\xff"
LIMIT_S = 120  # Wine starts in about a second; the bound only stops a hang


def main():
    wine_run, program = sys.argv[1], os.path.abspath(sys.argv[2])
    prefix = os.environ.get("SCALECHECK_WINEPREFIX") or os.path.join(
        os.path.dirname(program), "wineprefix")
    if not os.path.exists(os.path.join(prefix, ".scalecheck-ready")):
        # Run nothing once, so that wine-run creates the prefix and its devices.
        subprocess.run([wine_run, program, "--gtest_filter=-*"], check=True,
                       stdout=subprocess.DEVNULL, timeout=LIMIT_S * 3)

    master, slave = os.openpty()
    link = os.path.join(prefix, "dosdevices", "com%d" % COM_NUMBER)
    if os.path.lexists(link):
        os.unlink(link)
    os.symlink(os.ttyname(slave), link)
    try:
        env = dict(os.environ, SCALECHECK_TEST_COM=str(COM_NUMBER))
        child = subprocess.Popen([wine_run, program, "--gtest_filter=WinePtySerial.*"], env=env)
        answered = False
        deadline = time.monotonic() + LIMIT_S
        while child.poll() is None and time.monotonic() < deadline:
            readable, _, _ = select.select([master], [], [], 0.1)
            if readable and b"R" in os.read(master, 64) and not answered:
                os.write(master, PAYLOAD)
                answered = True
        if child.poll() is None:
            child.kill()
            print("wine_pty_serial.py: the test program did not end", file=sys.stderr)
            return 1
        return child.returncode
    finally:
        os.unlink(link)
        os.close(master)
        os.close(slave)


if __name__ == "__main__":
    sys.exit(main())
