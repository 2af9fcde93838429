"""What the tests that run Windows programs under Wine against scale-sim share.

The build's Wine prefix, the simulator as a child process, programs run in a
pseudo-terminal of their own (so that a console program has a console), and
the text a terminal shows once Wine's control sequences are taken out.

Nothing here sleeps to synchronise: every wait is for a ready line, a prompt,
a reading or an exit, bounded by a deadline that only a hang ever reaches.
Everything started is ended, by its own process id, even when a test fails.
"""
import fcntl
import os
import re
import select
import signal
import struct
import subprocess
import sys
import termios
import time

# Wine starts a program in about a second and a reading comes every second;
# the bound of a single wait only stops a hang, on a loaded machine too.
WAIT_LIMIT_S = 60.0
# Creating a fresh Wine prefix takes several seconds; a hang far longer.
PREFIX_LIMIT_S = 300.0
# An ended process is gone within moments; Wine's session within seconds.
END_LIMIT_S = 30.0


class Failure(Exception):
    """A test failed; the message says what was seen."""


class Deadline:
    def __init__(self, seconds=WAIT_LIMIT_S):
        self.seconds = seconds
        self.end = time.monotonic() + seconds

    def left(self):
        return max(0.0, self.end - time.monotonic())

    def passed(self):
        return self.left() == 0.0


def script_main(usage, argument_count, run):
    """Runs a driver script: run(*arguments), 2 for wrong arguments, 1 for a
    Failure (said on standard error), else 0."""
    name = os.path.basename(sys.argv[0])
    if len(sys.argv) != argument_count + 1:
        print(usage, file=sys.stderr)
        return 2
    try:
        run(*sys.argv[1:])
    except Failure as failure:
        print("%s: %s" % (name, failure), file=sys.stderr)
        return 1
    return 0


def require_program(path, how_to_get_it):
    if not (os.path.isfile(path) and os.access(path, os.X_OK)):
        raise Failure("%s is missing: %s" % (path, how_to_get_it))


def wine_prefix(program):
    """The prefix scripts/wine-run uses for a program of the build."""
    return os.environ.get("SCALECHECK_WINEPREFIX") or os.path.join(
        os.path.dirname(os.path.abspath(program)), "wineprefix")


def ensure_wine_prefix(wine_run, program, arguments):
    """Returns the build's prefix, made first if needed: a COM port can only
    be mapped into its dosdevices folder once it exists. wine-run makes it on
    the first run of any program, which `arguments` must end at once."""
    prefix = wine_prefix(program)
    if not os.path.exists(os.path.join(prefix, ".scalecheck-ready")):
        status = run_to_end([wine_run, program] + arguments, Deadline(PREFIX_LIMIT_S),
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        if status != 0 or not os.path.isdir(os.path.join(prefix, "dosdevices")):
            raise Failure("preparing the Wine prefix %s failed (status %d)" % (prefix, status))
    return prefix


def _children(pid):
    """Process ids whose parent is `pid`, read from /proc."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry, "rb") as stat:
                # "pid (name) state ppid ...": the name may hold spaces.
                fields = stat.read().rsplit(b")", 1)[1].split()
        except OSError:
            continue
        if int(fields[1]) == pid:
            found.append(int(entry))
    return found


def _command_name(pid):
    try:
        with open("/proc/%d/comm" % pid, "rb") as comm:
            return comm.read().strip().decode(errors="replace")
    except OSError:
        return ""


def _kill(pid, sig):
    try:
        os.kill(pid, sig)
    except ProcessLookupError:
        pass


def end_wine_run(process):
    """Ends a program started through scripts/wine-run and waits for wine-run.

    Killing wine-run itself would leave Wine's session (its server and device
    processes) running; ending the Windows program, wine-run's one child that
    is not part of its session handling, lets wine-run end the session as it
    does after every run."""
    if process.poll() is None:
        for child in _children(process.pid):
            if _command_name(child) not in ("flock", "wineserver", "wineserver64"):
                _kill(child, signal.SIGKILL)
        try:
            process.wait(timeout=END_LIMIT_S)
        except subprocess.TimeoutExpired:
            _kill(process.pid, signal.SIGKILL)
            process.wait()
    return process.returncode


def run_to_end(command, deadline, **options):
    """Runs a wine-run command to its end; its status, or -1 after a hang."""
    process = subprocess.Popen(command, **options)
    try:
        return process.wait(timeout=deadline.left())
    except subprocess.TimeoutExpired:
        end_wine_run(process)
        return -1


class ScaleSim:
    """scale-sim as a child process, from its ready line to its end.

    Its log (-v) goes to `log_path`, to be shown when a test fails."""

    def __init__(self, path, arguments, log_path):
        self.log_path = log_path
        with open(log_path, "wb") as log:
            self.process = subprocess.Popen([path, "-v"] + arguments, stdin=subprocess.PIPE,
                                            stdout=subprocess.PIPE, stderr=log)
        try:
            self.ready = self._ready_line().split()
        except Failure:
            self.stop()
            raise

    def _ready_line(self):
        deadline = Deadline()
        line = b""
        while not line.endswith(b"\n"):
            readable, _, _ = select.select([self.process.stdout], [], [], deadline.left())
            if not readable:
                raise Failure("scale-sim gave no ready line:\n" + self.log())
            chunk = os.read(self.process.stdout.fileno(), 1)
            if not chunk:
                raise Failure("scale-sim ended before it was ready:\n" + self.log())
            line += chunk
        if not line.startswith(b"ready "):
            raise Failure("scale-sim said %r instead of its ready line" % line)
        return line.decode()

    def tcp_port(self):
        """The port of a "ready tcp HOST:PORT" line."""
        return int(self.ready[2].rsplit(":", 1)[1])

    def log(self):
        """What it logged so far: what it heard, answered and who connected."""
        with open(self.log_path, "rb") as log:
            return log.read().decode(errors="replace")

    def stop(self):
        """Ends it with its quit command (which also removes its port link),
        by signal if it does not listen; its exit status."""
        if self.process.poll() is None:
            try:
                self.process.stdin.write(b"quit\n")
                self.process.stdin.flush()
            except BrokenPipeError:
                pass
            for sig in (signal.SIGTERM, signal.SIGKILL):
                try:
                    self.process.wait(timeout=END_LIMIT_S / 2)
                    break
                except subprocess.TimeoutExpired:
                    _kill(self.process.pid, sig)
            self.process.wait()
        self.process.stdin.close()
        self.process.stdout.close()
        return self.process.returncode

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.stop()


class MappedComPort:
    """A COM port of the Wine prefix, as the path scale-sim links to its
    pseudo-terminal. Whatever a failed run left there goes before and after;
    each test owns its COM number (parallel tests share the prefix)."""

    def __init__(self, prefix, number):
        self.number = number
        self.path = os.path.join(prefix, "dosdevices", "com%d" % number)
        self._remove()

    def _remove(self):
        if os.path.lexists(self.path):
            os.unlink(self.path)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self._remove()


# What Wine's console writes besides the text: cursor moves, erasing, showing
# and hiding the cursor, titles. A cursor move to the right stands for the
# blanks it passes over (Wine writes a trailing space that way).
_CURSOR_FORWARD = re.compile(rb"\x1b\[(\d*)C")
_CONTROL_SEQUENCE = re.compile(rb"\x1b\[[0-?]*[ -/]*[@-~]")
_OTHER_ESCAPE = re.compile(rb"\x1b\][^\x07\x1b]*(?:\x07|\x1b\\)|\x1b[()][0-9A-Za-z]|\x1b[=>78]")


def screen_text(raw):
    """The text a terminal shows for `raw`, each line ending in "\\n"."""
    raw = _CURSOR_FORWARD.sub(lambda match: b" " * int(match.group(1) or 1), raw)
    raw = _OTHER_ESCAPE.sub(b"", _CONTROL_SEQUENCE.sub(b"", raw))
    # A terminal turns each LF the program writes into CR LF, so CR LF
    # written arrives as CR CR LF.
    return re.sub(r"\r*\n", "\n", raw.decode("utf-8", errors="replace"))


class TerminalProgram:
    """A program in a pseudo-terminal that is its controlling terminal, as in
    a terminal window: typed keys reach it, Ctrl+C interrupts it."""

    def __init__(self, command, cwd, env=None, is_wine_run=False, columns=400):
        self.is_wine_run = is_wine_run
        self.raw = b""
        self.master, slave = os.openpty()
        # Wide enough that the readings, written one after the other on one
        # line, never wrap.
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 50, columns, 0, 0))
        self.process = subprocess.Popen(command, stdin=slave, stdout=slave, stderr=slave,
                                        cwd=cwd, env=env, start_new_session=True,
                                        preexec_fn=_take_terminal)
        os.close(slave)
        self.closed = False

    def text(self):
        return screen_text(self.raw)

    def type(self, keys):
        os.write(self.master, keys)

    def _read(self, timeout):
        if self.closed:  # nothing more to read: wait for the process alone
            try:
                self.process.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                pass
            return
        readable, _, _ = select.select([self.master], [], [], timeout)
        if not readable:
            return
        try:
            chunk = os.read(self.master, 4096)
        except OSError:  # EIO: every holder of the terminal has gone
            chunk = b""
        if chunk:
            self.raw += chunk
        else:
            self.closed = True

    def wait_for(self, condition, what, deadline=None, end_is_fine=False):
        """Reads until the text shown meets `condition`; fails when the
        program ends first, unless `end_is_fine`."""
        deadline = deadline or Deadline()
        while not condition(self.text()):
            if self.process.poll() is not None and self.closed:
                if end_is_fine:
                    return
                raise Failure("the program ended (status %d) while waiting for %s; it showed:\n%s"
                              % (self.process.returncode, what, self.text()))
            if deadline.passed():
                raise Failure("no %s within %.0f s; the program showed:\n%s"
                              % (what, deadline.seconds, self.text()))
            self._read(min(0.2, deadline.left()))

    def wait_for_key_mode(self, deadline=None):
        """Waits until the program reads the terminal key by key, unechoed.

        Wine's console switches the terminal so only once the program asks
        for input, just after a question shows. Keys typed before that are
        taken by the terminal as a line: echoed, and Enter turned into LF,
        which Wine's console does not take for Enter."""
        deadline = deadline or Deadline()
        while termios.tcgetattr(self.master)[3] & (termios.ICANON | termios.ECHO):
            if deadline.passed() or (self.closed and self.process.poll() is not None):
                raise Failure("the console never took the terminal key by key; it showed:\n"
                              + self.text())
            # The switch gives no sign but the terminal's settings: look
            # again after a short wait for output.
            self._read(0.02)

    def wait_for_end(self, deadline=None):
        """Its exit status, once it and its output have both ended."""
        deadline = deadline or Deadline()
        while not (self.closed and self.process.poll() is not None):
            if deadline.passed():
                raise Failure("the program did not end; it showed:\n" + self.text())
            self._read(min(0.2, deadline.left()))
        return self.process.returncode

    def running(self):
        return self.process.poll() is None

    def close(self):
        if self.process.poll() is None:
            if self.is_wine_run:
                end_wine_run(self.process)
            else:
                self.process.kill()
                self.process.wait()
        os.close(self.master)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()


def _take_terminal():
    # In the child, after setsid: the terminal on standard input becomes the
    # controlling terminal of the new session.
    fcntl.ioctl(0, termios.TIOCSCTTY, 0)
