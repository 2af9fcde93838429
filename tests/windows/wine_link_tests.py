#!/usr/bin/env python3
"""Runs the scale link under Wine against scale-sim.

Usage: wine_link_tests.py WINE_RUN WINE_LINK_TESTS.exe SCALE_SIM

Starts a simulated scale of each kind on 127.0.0.1 (ports from port 0), one
more that only the held-connection test uses, and a streaming one whose
pseudo-terminal is mapped as COM41 of the build's Wine prefix. Runs the
program's tests in a scratch folder with those addresses in the environment,
then checks that the held connection was its simulator's only client.
Exits with 0 when all passed.
"""
import contextlib
import os
import re
import sys
import tempfile

# Tests leave nothing in the source tree, not even compiled Python.
sys.dont_write_bytecode = True
from wine_harness import (  # noqa: E402 (after the line above)
    PREFIX_LIMIT_S, Deadline, Failure, MappedComPort, ScaleSim, ensure_wine_prefix,
    require_program, run_to_end, script_main)

# windows_serial_pty maps COM40 and the end-to-end test COM42: tests that run
# side by side share the prefix.
COM_NUMBER = 41
KINDS = ("stream", "two-step", "combined")


def port_variable(kind):
    return "SCALECHECK_SIM_TCP_" + kind.upper().replace("-", "_")


def run(wine_run, program, scale_sim):
    require_program(scale_sim, "build the Linux preset first (cmake --preset linux && "
                    "cmake --build --preset linux) or set SCALECHECK_SCALE_SIM")
    prefix = ensure_wine_prefix(wine_run, program, ["--gtest_filter=-*"])
    with tempfile.TemporaryDirectory(prefix="scalecheck_wine_link_") as work, \
            contextlib.ExitStack() as stack:
        sims = []

        def start_sim(name, arguments):
            sim = stack.enter_context(
                ScaleSim(scale_sim, arguments, os.path.join(work, name + ".log")))
            sims.append((name, sim))
            return sim

        env = dict(os.environ)
        for kind in KINDS:
            sim = start_sim("tcp-" + kind, ["--tcp", "127.0.0.1:0", "--kind", kind])
            env[port_variable(kind)] = str(sim.tcp_port())
        held = start_sim("tcp-held", ["--tcp", "127.0.0.1:0", "--kind", "two-step"])
        env["SCALECHECK_SIM_TCP_HELD"] = str(held.tcp_port())
        com = stack.enter_context(MappedComPort(prefix, COM_NUMBER))
        start_sim("com-stream", ["--pty", com.path, "--kind", "stream"])
        env["SCALECHECK_SIM_COM_STREAM"] = str(COM_NUMBER)

        try:
            status = run_to_end([wine_run, program], Deadline(PREFIX_LIMIT_S), cwd=work, env=env)
            if status != 0:
                raise Failure("the tests under Wine failed (status %d)" % status)
            connections = len(re.findall(r"client \S+ connected", held.log()))
            if connections != 1:
                raise Failure("the held connection's simulator saw %d clients connect, not 1"
                              % connections)
        except Failure:
            for name, sim in sims:
                tail = sim.log().splitlines()[-15:]
                print("---- scale-sim %s, last lines of its log:\n%s" % (name, "\n".join(tail)),
                      file=sys.stderr)
            raise


def main():
    return script_main(__doc__, 3, run)


if __name__ == "__main__":
    sys.exit(main())
