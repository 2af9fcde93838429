#!/usr/bin/env python3
"""scalecheck.exe under Wine, run as an operator would, against a simulated
streaming scale.

Usage: wine_end_to_end.py WINE_RUN SCALECHECK.exe SCALE_SIM LINUX_SCALECHECK

The program runs through wine-run in a pseudo-terminal, so that it has a
console; scale-sim streams into a pseudo-terminal mapped as COM42 of the
build's Wine prefix. The test answers the two questions, waits for readings,
ends the run and checks what the console showed, then "#Log.csv" and
"#DeviceIO" byte for byte. The Linux build runs against the same scale first:
both must write the same bytes apart from the time stamps. Then the command
line: --help, --version, --list, a run of two polls on COM42, a port that
does not exist and a wrong argument, each with its output piped as a script
reads it. Exits with 0 when all passed.
"""
import contextlib
import os
import re
import subprocess
import sys
import tempfile
import time

# Tests leave nothing in the source tree, not even compiled Python.
sys.dont_write_bytecode = True
from wine_harness import (  # noqa: E402 (after the line above)
    WAIT_LIMIT_S, Failure, MappedComPort, ScaleSim, TerminalProgram, end_wine_run,
    ensure_wine_prefix, require_program, script_main)

# windows_serial_pty maps COM40 and wine_link_tests.py COM41: tests that run
# side by side share the prefix.
COM_NUMBER = 42
ESC = b"\x1b"
CTRL_C = b"\x03"

# What the console shows (after the terminal's control sequences), with the
# answers Wine's console echoes as they are typed.
ASK_OPTION = " Введите вариант настроек RS-232: "
ASK_PORT = " Введите порт RS-232: "
DIALOG = ("\n  Программа проверки связи с весами Talvex без печати."
          "\n" + "=" * 53 +
          "\n  Esc - выход."
          "\n\n   1). 9600,None,8,1"
          "\n   2). 9600,Even,7,1 (модель RLV)"
          "\n" + ASK_OPTION + "1\n"
          "\n" + ASK_PORT + "com%d\n" % COM_NUMBER)
# scale-sim's default frame "ST,GS,+  1.234kg" CR LF, read from the stream:
# readings follow one another on one line.
READING = "  ~22, Ст[1,234] кг"
# Each record: the time stamp, the reading line and the weight, in
# Windows-1251, ending in CR LF.
STAMP = rb'"(\d\d)\.(\d\d)\.(\d{4}) (\d\d):(\d\d):(\d\d)"'
RECORD = re.compile(STAMP + re.escape((';"%s";1,234' % READING).encode("cp1251")))
# The 21 bytes after a frame's CR LF: a whole frame and the start of the
# next, each LF stored as CR LF.
DUMP_BLOCK = b"ST,GS,+  1.234kg\r\r\nST,"


# The line that ends every polling run, for `count` readings of the stream.
SUMMARY = "\nОпросов: %d, показаний: %d (~22: %d), ошибок: 0.\n"


def readings(text):
    return text.count(READING)


def answer_dialog(program, port_answer, wine_console=False):
    for question, what, answer in ((ASK_OPTION, "question for the line settings", b"1\r"),
                                   (ASK_PORT, "question for the port", port_answer + b"\r")):
        program.wait_for(lambda text, question=question: question in text, what)
        if wine_console:
            program.wait_for_key_mode()
        program.type(answer)


def end_the_run(program):
    """Ends the run under Wine; says how.

    A lone Esc ends the run on Windows. Wine's console (8.0) hands it to the
    program as the Esc key without its character, 27, and the C runtime's
    _kbhit and _getch pass over keys without a character: the run goes on.
    (Esc typed twice in a row arrives as Alt+Esc with the character 27, and
    ended the run in some tries but not in others.) So the test types a lone
    Esc, accepts its ending the run should Wine ever pass it on, and else
    types Ctrl+C, which the program takes as the request to end: it closes
    the port and ends with status 0, as after Esc. Two more readings after
    the Esc prove it was not seen: a seen Esc lets at most the poll under
    way finish."""
    shown = readings(program.text())
    program.type(ESC)
    program.wait_for(lambda text: readings(text) >= shown + 2, "two readings after Esc",
                     end_is_fine=True)
    if not program.running():
        return "Esc"
    program.type(CTRL_C)
    return "Ctrl+C (a lone Esc does not reach the program under Wine)"


def local_seconds(match):
    day, month, year, hour, minute, second = (int(field) for field in match.groups())
    return time.mktime((year, month, day, hour, minute, second, 0, 0, -1))


def check_files(folder, count, started, ended, who):
    """"#Log.csv" and "#DeviceIO" of a run that showed `count` readings;
    returns the log with its time stamps masked."""
    with open(os.path.join(folder, "#Log.csv"), "rb") as log_file:
        log = log_file.read()
    with open(os.path.join(folder, "#DeviceIO"), "rb") as dump_file:
        dump = dump_file.read()
    records = log.split(b"\r\n")
    if records[-1] != b"" or len(records) - 1 != count:
        raise Failure("%s: #Log.csv should hold %d records, each ending in CR LF:\n%r"
                      % (who, count, log))
    for record in records[:-1]:
        match = RECORD.fullmatch(record)
        if match is None:
            raise Failure("%s: #Log.csv record %r is not of the form %r"
                          % (who, record, RECORD.pattern))
        # The stamp is local time of the moment: within the run, give or
        # take the second it was cut to.
        if not started - 1 <= local_seconds(match) <= ended + 1:
            raise Failure("%s: #Log.csv stamp of %r is outside the run" % (who, record))
    if dump != DUMP_BLOCK * count:
        raise Failure("%s: #DeviceIO should be %d times %r:\n%r" % (who, count, DUMP_BLOCK, dump))
    return re.sub(STAMP, b'"DD.MM.YYYY HH:MM:SS"', log)


def run_on_linux(native, scale_sim, work):
    """The Linux build against the same kind of scale; its files' folder and
    the masked log."""
    ports = os.path.join(work, "linux-ports")
    files = os.path.join(work, "linux")
    os.mkdir(files)
    started = time.time()
    environment = dict(os.environ, SCALECHECK_PORT_DIR=ports)
    with ScaleSim(scale_sim, ["--pty", os.path.join(ports, "com1"), "--kind", "stream"],
                  os.path.join(work, "linux-sim.log")), \
            TerminalProgram([native], files, environment) as program:
        answer_dialog(program, b"com1")
        program.wait_for(lambda text: readings(text) >= 2, "two readings")
        program.type(ESC)
        status = program.wait_for_end()
        if status != 0:
            raise Failure("the Linux build ended with status %d after Esc" % status)
        count = readings(program.text())
    return check_files(files, count, started, time.time(), "Linux build")


def run_under_wine(wine_run, program_path, scale_sim, work):
    prefix = ensure_wine_prefix(wine_run, program_path, [])
    files = os.path.join(work, "wine")
    os.mkdir(files)
    started = time.time()
    with contextlib.ExitStack() as stack:
        com = stack.enter_context(MappedComPort(prefix, COM_NUMBER))
        stack.enter_context(ScaleSim(scale_sim, ["--pty", com.path, "--kind", "stream"],
                                     os.path.join(work, "wine-sim.log")))
        program = stack.enter_context(
            TerminalProgram([wine_run, program_path], files, is_wine_run=True))
        answer_dialog(program, b"com%d" % COM_NUMBER, wine_console=True)
        program.wait_for(lambda text: readings(text) >= 3, "three readings")
        ended_by = end_the_run(program)
        status = program.wait_for_end()
        print("wine_end_to_end.py: the run was ended by " + ended_by)
        if status != 0:
            raise Failure("scalecheck.exe ended with status %d" % status)
        text = program.text()
    if not text.startswith(DIALOG):
        raise Failure("the console should begin with\n%r\nbut showed\n%r" % (DIALOG, text))
    count = readings(text)
    if text[len(DIALOG):] != READING * count + SUMMARY % (count, count, count):
        raise Failure("after the dialog the console should show only readings %r and the "
                      "summary, but showed\n%r" % (READING, text[len(DIALOG):]))
    return check_files(files, count, started, time.time(), "scalecheck.exe under Wine")


def run_piped(wine_run, program_path, arguments, folder):
    """scalecheck.exe with `arguments`, its input ended at once and its output
    and errors piped apart (Windows-1251 bytes as written); its status and
    the two texts."""
    process = subprocess.Popen([wine_run, program_path] + arguments, cwd=folder,
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE)
    try:
        output, errors = process.communicate(timeout=WAIT_LIMIT_S)
    except subprocess.TimeoutExpired:
        end_wine_run(process)
        raise Failure("scalecheck.exe %s did not end" % " ".join(arguments))
    # Wine itself may say things on standard error; the program's lines are
    # those in its code page that it wrote.
    return (process.returncode, re.sub(r"\r*\n", "\n", output.decode("cp1251")),
            re.sub(r"\r*\n", "\n", errors.decode("cp1251", errors="replace")))


def check_command_line(wine_run, program_path, scale_sim, work):
    prefix = ensure_wine_prefix(wine_run, program_path, [])
    files = os.path.join(work, "wine-command-line")
    os.mkdir(files)
    # Ports from 10 on open by their device-namespace name.
    run = ("\n  Опрос: \\\\.\\com%d, 9600,None,8,1\n" % COM_NUMBER + READING * 2
           + SUMMARY % (2, 2, 2))
    # Each case: its arguments, status, and what its output and its errors
    # must satisfy; failures go to standard error alone.
    expected = (
        (["--help"], 0, lambda text, _: text.startswith("Проверка связи") and "--port" in text),
        (["--version"], 0, lambda text, _: text == "scalecheck 1.1.0\n"),
        # Wine lists the ports it registered itself (COM42 is a link made by
        # hand, which Windows programs can open but not list).
        (["--list"], 0,
         lambda text, _: all(line.startswith("  COM") for line in text.splitlines())
         or text == "Последовательные порты не найдены.\n"),
        (["--port", "com%d" % COM_NUMBER, "--count", "2"], 0,
         lambda text, _: text.endswith(run)),
        (["--port", "com43"], 3,
         lambda text, errors: text.endswith("Опрос: \\\\.\\com43, 9600,None,8,1\n")
         and "Не смог подключиться к весам. 108, Ошибка открытия порта RS-232.\n"
         "Порт \\\\.\\com43: такого устройства нет." in errors),
        (["--count", "x"], 2,
         lambda text, errors: text == "" and "Ошибка в параметрах: " in errors),
        (["--port", "\\\\.\\CONOUT$"], 2,
         lambda text, errors: text == "" and "--port ведёт к терминалу" in errors),
        # The log by another spelling: Windows names know no case.
        (["--port", "com%d" % COM_NUMBER, "--trace", ".\\#LOG.CSV"], 2,
         lambda text, errors: text == "" and "«.\\#LOG.CSV»: в этот файл" in errors),
    )
    with contextlib.ExitStack() as stack:
        com = stack.enter_context(MappedComPort(prefix, COM_NUMBER))
        stack.enter_context(ScaleSim(scale_sim, ["--pty", com.path, "--kind", "stream"],
                                     os.path.join(work, "command-line-sim.log")))
        for arguments, status, fits in expected:
            got, text, errors = run_piped(wine_run, program_path, arguments, files)
            if got != status or not fits(text, errors):
                raise Failure("scalecheck.exe %s ended with status %d (not %d) and wrote\n%r\n"
                              "and as errors\n%r" % (" ".join(arguments), got, status, text,
                                                      errors))


def run(wine_run, program, scale_sim, native):
    build_linux = ("build the Linux preset first (cmake --preset linux && "
                   "cmake --build --preset linux)")
    require_program(scale_sim, build_linux + " or set SCALECHECK_SCALE_SIM")
    require_program(native, build_linux + " or set SCALECHECK_LINUX_SCALECHECK")
    with tempfile.TemporaryDirectory(prefix="scalecheck_wine_e2e_") as work:
        linux_log = run_on_linux(native, scale_sim, work)
        wine_log = run_under_wine(wine_run, program, scale_sim, work)
        check_command_line(wine_run, program, scale_sim, work)
    # Each log holds records of one form only: the same bytes, stamps aside.
    # Both dumps were held to the same blocks above.
    if linux_log.split(b"\r\n")[0] != wine_log.split(b"\r\n")[0]:
        raise Failure("the logs differ beyond their time stamps:\nLinux %r\nWine  %r"
                      % (linux_log, wine_log))


def main():
    return script_main(__doc__, 4, run)


if __name__ == "__main__":
    sys.exit(main())
