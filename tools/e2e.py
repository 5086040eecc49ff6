"""End-to-end runs of the real brivet.exe under Wine.

Runs inside tools/with-wine (DISPLAY, WINEPREFIX, BRIVET_PULSE_SINK set);
`main()` re-runs a test script through it when started outside. Standard
library only.

    result = run_brivet(workdir, timeout=30, answer_dialog='Return',
                        screenshot_at=[2.0], record_audio=True,
                        keys=[(5.0, 'Escape')], rss_limit=3 << 30)
    result.exit_code, result.boxes, result.screenshots, result.audio_wav,
    result.peak_rss, result.rss_exceeded

The program is the executable named by BRIVET_EXE; it searches its working
folder (workdir) for "*.vqz". Message boxes are seen through Wine's msgbox
trace (a text the trace cuts short is read from the box itself) and answered
with Return; the start-up dialog is answered with the key given. Every wait is
bounded: a run that outlives its timeout is killed and reported with timed_out
set. The program's peak resident memory is sampled as it runs; a run whose resident
memory passes rss_limit is killed and reported with rss_exceeded set.

BRIVET_E2E_DEBUG=1 prints what the harness sees and does; BRIVET_E2E_KEEP=1
keeps a BrivetTestCase's folders.
"""

import hashlib
import os
import re
import selectors
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))

DIALOG_TITLE = "welkor demo suite"
# "Error" is Wine's caption for a box shown without a title.
BOX_TITLES = ("BRIVET ERROR", "Error", "BRIVET ASSERT!")

EXIT_MARKER = "BRIVET_E2E_EXIT="
_TRACE = re.compile(r'trace:msgbox:MSGBOX_OnInit L"((?:[^"\\]|\\.)*)"(\.\.\.)?')
_EXIT = re.compile(re.escape(EXIT_MARKER) + r"(-?\d+)")


class Result:
    """What one run of the program did."""

    def __init__(self):
        self.exit_code = None      # signed 32-bit exit code; None when killed
        self.boxes = []            # text of every message box, in order
        self.screenshots = []      # PNG paths, one per screenshot time reached, in out_dir
        self.audio_wav = None      # WAV of the null sink's monitor when recorded, in out_dir
        self.timed_out = False
        self.peak_rss = None       # bytes: the program's highest resident memory sampled
        self.rss_exceeded = False  # killed for passing rss_limit
        self.dialog_answered = False
        self.elapsed = 0.0
        self.stdout = ""
        self.log = ""              # Wine's and the program's standard error

    def __str__(self):
        tail = "\n".join(self.log.splitlines()[-40:])
        peak = "?" if self.peak_rss is None else f"{self.peak_rss / 2**20:.0f} MiB"
        return (f"exit_code={self.exit_code} timed_out={self.timed_out} "
                f"elapsed={self.elapsed:.1f}s dialog_answered={self.dialog_answered} "
                f"peak_rss={peak} rss_exceeded={self.rss_exceeded}\n"
                f"boxes={self.boxes!r}\nstdout:\n{self.stdout}\nlog (tail):\n{tail}")


def decode_wine_string(escaped):
    """Text of a Wine debugstr_w body: \\n \\r \\t \\" \\\\ and \\XXXX (UTF-16 unit)."""
    units = []
    i = 0
    simple = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}
    while i < len(escaped):
        c = escaped[i]
        if c == "\\" and i + 1 < len(escaped):
            nxt = escaped[i + 1]
            if nxt in simple:
                units.append(ord(simple[nxt]))
                i += 2
                continue
            digits = escaped[i + 1:i + 5]
            if len(digits) == 4 and all(d in "0123456789abcdefABCDEF" for d in digits):
                units.append(int(digits, 16))
                i += 5
                continue
        units.append(ord(c))
        i += 1
    raw = b"".join(u.to_bytes(2, "little") for u in units)
    return raw.decode("utf-16-le", errors="replace")


def parse_box_trace(line):
    """(text, cut_short) of a msgbox trace line, or None."""
    match = _TRACE.search(line)
    if not match:
        return None
    return decode_wine_string(match.group(1)), match.group(2) is not None


def signed32(value):
    return ((int(value) + 2**31) % 2**32) - 2**31


def _ere(text):
    """text as an anchored POSIX extended regular expression (for xdotool)."""
    return "^" + re.sub(r"([.\[\]()*+?{}|^$\\])", r"\\\1", text) + "$"


def _cache_dir():
    return os.environ.get("BRIVET_CACHE") or os.path.join(os.path.expanduser("~"), ".cache", "brivet")


def _run(args, timeout, **kwargs):
    """subprocess.run that never raises for a missing tool or a timeout."""
    try:
        return subprocess.run(args, timeout=timeout, stdin=subprocess.DEVNULL,
                              capture_output=True, **kwargs)
    except (OSError, subprocess.TimeoutExpired):
        return None


def _windows_path(path):
    path = os.path.abspath(path)
    z_drive = os.path.join(os.environ.get("WINEPREFIX", ""), "dosdevices", "z:")
    if os.path.realpath(z_drive) == "/":
        return "Z:" + path.replace("/", "\\")
    done = _run(["winepath", "-w", path], 30, text=True)
    if done is None or done.returncode != 0 or not done.stdout.strip():
        raise RuntimeError(f"winepath cannot convert {path}")
    return done.stdout.strip().splitlines()[-1]


def _boxtext_exe():
    """The message-box text reader, compiled once per source version; None without a compiler."""
    source = os.path.join(HERE, "e2e-boxtext.c")
    with open(source, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()[:12]
    target = os.path.join(_cache_dir(), "e2e", f"boxtext-{digest}.exe")
    if os.path.exists(target):
        return target
    compiler = shutil.which("x86_64-w64-mingw32-gcc-posix") or shutil.which("x86_64-w64-mingw32-gcc")
    if not compiler:
        return None
    os.makedirs(os.path.dirname(target), exist_ok=True)
    partial = f"{target}.{os.getpid()}.tmp"
    done = _run([compiler, "-O1", "-static", source, "-o", partial, "-luser32"], 120)
    if done is None or done.returncode != 0:
        return None
    os.replace(partial, target)
    return target


def read_box_texts():
    """[(caption, text)] of the visible message boxes, read from the windows themselves."""
    exe = _boxtext_exe()
    if not exe:
        return []
    env = dict(os.environ, WINEDEBUG="-all")
    # A file, not a pipe: a Wine process started on the way may keep a pipe open.
    with tempfile.TemporaryFile() as out:
        try:
            subprocess.run(["wine", exe], stdin=subprocess.DEVNULL, stdout=out,
                           stderr=subprocess.DEVNULL, env=env, timeout=20)
        except (OSError, subprocess.TimeoutExpired):
            return []
        out.seek(0)
        text = out.read().decode("utf-8", errors="replace")
    boxes = []
    for record in text.split("\x1e"):
        if "\x1f" in record:
            caption, text = record.split("\x1f", 1)
            boxes.append((caption, text))
    return boxes


def find_windows(title_regex):
    """Ids of the mapped X windows whose name matches the extended regular expression."""
    done = _run(["xdotool", "search", "--onlyvisible", "--name", title_regex], 5, text=True)
    if done is None or done.returncode != 0:
        return []
    return [int(w) for w in done.stdout.split() if w.isdigit()]


_DEBUG = os.environ.get("BRIVET_E2E_DEBUG") == "1"
_T0 = time.monotonic()


def _debug(message):
    if _DEBUG:
        print(f"e2e {time.monotonic() - _T0:8.3f} {message}", file=sys.stderr, flush=True)


def send_key(key, window=None, synthetic=True):
    """Presses and releases key: sent to window (synthetic) or typed through XTEST.

    Press and release go out together (--delay 0): a window that closes on the
    press would otherwise miss the release, and Wine would keep the key down for
    every later program of the session.
    """
    _debug(f"key {key} window={window} synthetic={synthetic}")
    if window is None:
        _run(["xdotool", "key", "--delay", "0", key], 5)
    elif synthetic:
        _run(["xdotool", "key", "--delay", "0", "--window", str(window), key], 5)
    else:
        _run(["xdotool", "windowfocus", str(window)], 5)
        _run(["xdotool", "key", "--delay", "0", key], 5)


def screenshot(path):
    """PNG of the whole display; True when written."""
    done = _run(["import", "-display", os.environ.get("DISPLAY", ""), "-window", "root", path], 20)
    return done is not None and done.returncode == 0 and os.path.exists(path)


def _processes_mentioning(marker):
    """Ids of the processes whose command line contains marker (a run's private path)."""
    needle = marker.encode()
    found = []
    for name in os.listdir("/proc"):
        if not name.isdigit() or int(name) == os.getpid():
            continue
        try:
            with open(f"/proc/{name}/cmdline", "rb") as f:
                cmdline = f.read()
        except OSError:
            continue
        if needle in cmdline:
            found.append(int(name))
    return found


def _kill_processes_mentioning(marker):
    """SIGKILLs every process whose command line contains marker (a run's private path)."""
    for pid in _processes_mentioning(marker):
        try:
            os.kill(pid, signal.SIGKILL)
        except OSError:
            pass


def _resident_bytes(pid):
    """(current, peak) resident memory of a process in bytes, or None once it is gone."""
    values = {}
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                key, _, rest = line.partition(":")
                if key in ("VmRSS", "VmHWM"):
                    values[key] = int(rest.split()[0]) * 1024
    except (OSError, ValueError, IndexError):
        return None
    if "VmRSS" not in values:
        return None  # a zombie: its memory is gone
    return values["VmRSS"], values.get("VmHWM", values["VmRSS"])


class _Answerer:
    """Presses key on each new window matching a title, again while it stays up."""

    RESEND_AFTER = 1.0
    MAX_SENDS = 5

    def __init__(self, title_regex, key):
        self.title_regex = title_regex
        self.key = key
        self.sent = {}        # window -> (count, time of the last key)
        self.still_up = []    # answered windows seen at the last look

    def look(self, now):
        """Visible matching windows not answered yet; presses the key again on stuck ones."""
        visible = find_windows(self.title_regex)
        _debug(f"windows {self.title_regex}: {visible}")
        self.still_up = [w for w in visible if w in self.sent]
        for window in self.still_up:
            count, last = self.sent[window]
            if count < self.MAX_SENDS and now - last >= self.RESEND_AFTER:
                # Alternate between a key sent to the window and one typed into it.
                send_key(self.key, window, synthetic=count % 2 == 0)
                self.sent[window] = (count + 1, now)
        return [w for w in visible if w not in self.sent]

    def answer(self, window, now):
        send_key(self.key, window)
        self.sent[window] = (1, now)
        self.still_up.append(window)


class _Run:
    POLL = 0.1

    def __init__(self, workdir, timeout, answer_dialog, answer_boxes, screenshot_at,
                 record_audio, keys, exe, out_dir, dialog_title, box_titles, env, rss_limit=None):
        self.workdir = os.path.abspath(workdir)
        self.timeout = timeout
        self.rss_limit = rss_limit
        self.program_pids = []     # the program's processes once seen
        self.answer_boxes = answer_boxes
        self.shots = sorted(float(t) for t in screenshot_at)
        self.keys = sorted(keys, key=lambda k: k[0])
        self.record_audio = record_audio
        self.exe = exe or os.environ.get("BRIVET_EXE")
        self.out_dir = out_dir
        self.env = env
        self.result = Result()
        self.dialog = None
        if answer_dialog:
            self.dialog = _Answerer(dialog_title if dialog_title.startswith("^") else _ere(dialog_title),
                                    answer_dialog)
        self.boxes = _Answerer("|".join("(" + _ere(t) + ")" for t in box_titles), "Return")
        self.box_cut = []          # per traced box: True when the trace cut the text short
        self.boxes_unanswered = 0  # traced boxes no window was answered for yet
        self.stdout = bytearray()
        self.stderr = bytearray()
        self.partial = b""
        self.last_window_poll = -1.0

    # -- output ---------------------------------------------------------------
    def _stderr_chunk(self, data):
        self.stderr += data
        text = self.partial + data
        lines = text.split(b"\n")
        self.partial = lines.pop()
        for line in lines:
            parsed = parse_box_trace(line.decode("utf-8", errors="replace"))
            if parsed:
                _debug(f"box traced: {parsed[0][:60]!r}")
                self.result.boxes.append(parsed[0])
                self.box_cut.append(parsed[1])
                self.boxes_unanswered += 1

    def _pump(self, selector, wait):
        """Reads what the pipes hold; False when nothing came within wait."""
        events = selector.select(timeout=wait)
        for key, _ in events:
            try:
                data = os.read(key.fd, 65536)
            except BlockingIOError:
                continue
            except OSError:
                data = b""
            if not data:
                selector.unregister(key.fileobj)
                continue
            if key.data == "out":
                self.stdout += data
            else:
                self._stderr_chunk(data)
        return bool(events)

    # -- windows --------------------------------------------------------------
    def _poll_windows(self, now):
        dialog = self.dialog
        if dialog and (not self.result.dialog_answered or dialog.still_up):
            fresh = dialog.look(now)
            if fresh and not self.result.dialog_answered:
                dialog.answer(fresh[-1], now)
                self.result.dialog_answered = True
        if self.answer_boxes and (self.boxes_unanswered or self.boxes.still_up):
            for window in self.boxes.look(now):
                if not self.boxes_unanswered:
                    break
                index = len(self.result.boxes) - self.boxes_unanswered
                if self.box_cut[index]:
                    self._read_whole_text(index)
                self.boxes.answer(window, now)
                self.boxes_unanswered -= 1

    def _read_whole_text(self, index):
        start = self.result.boxes[index]
        found = read_box_texts()
        _debug(f"box texts read: {[(caption, len(text)) for caption, text in found]}")
        candidates = [text for _, text in found if text.startswith(start)]
        if candidates:
            self.result.boxes[index] = max(candidates, key=len)
            self.box_cut[index] = False

    # -- the run --------------------------------------------------------------
    def execute(self):
        if not self.exe or not os.path.isfile(self.exe):
            raise RuntimeError(f"BRIVET_EXE does not name the program: {self.exe!r}")
        for var in ("DISPLAY", "WINEPREFIX"):
            if not os.environ.get(var):
                raise RuntimeError(f"{var} is not set: run inside tools/with-wine")
        os.makedirs(self.out_dir, exist_ok=True)
        private = tempfile.mkdtemp(prefix="run-", dir=self.out_dir)
        exe_copy = os.path.join(private, "brivet.exe")
        shutil.copyfile(self.exe, exe_copy)
        # Wine 8 loads the vkd3d2 compiler module only from the program's folder (tools/hlsl).
        module = os.environ.get("BRIVET_HLSL_MODULE")
        if module:
            shutil.copyfile(module, os.path.join(private, "d3dcompiler_47.dll"))
        exe_windows = _windows_path(exe_copy)
        self.exe_windows = exe_windows
        # wine hands the shell only the low byte of the exit code; cmd prints all 32 bits.
        batch = os.path.join(private, "run.bat")
        with open(batch, "w", newline="\r\n") as f:
            f.write(f'@echo off\n"{exe_windows}"\necho {EXIT_MARKER}%ERRORLEVEL%\n')

        env = dict(os.environ)
        env.update(self.env or {})
        channels = env.get("WINEDEBUG") or "-all"
        env["WINEDEBUG"] = channels + ",trace+msgbox"

        self.run_id = os.path.basename(private)
        recorder = None
        if self.record_audio:
            self.result.audio_wav = os.path.join(self.out_dir, f"{self.run_id}-audio.wav")
            sink = env.get("BRIVET_PULSE_SINK", "brivet")
            # 20 ms fragments keep the monitor in step with the sink.
            recorder = subprocess.Popen(
                ["parec", "--latency-msec=20", "-d", sink + ".monitor", "--file-format=wav",
                 self.result.audio_wav],
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                start_new_session=True)

        start = time.monotonic()
        proc = subprocess.Popen(["wine", "cmd", "/c", _windows_path(batch)], cwd=self.workdir,
                                env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, start_new_session=True)
        selector = selectors.DefaultSelector()
        for pipe, tag in ((proc.stdout, "out"), (proc.stderr, "err")):
            os.set_blocking(pipe.fileno(), False)
            selector.register(pipe, selectors.EVENT_READ, tag)
        try:
            self._loop(proc, selector, start)
        finally:
            self._stop(proc, exe_windows)
            # The program is gone, so all it wrote is in the pipes already. Wine's
            # desktop process may hold them open long after: read what is there.
            drain_until = time.monotonic() + 2.0
            while selector.get_map() and time.monotonic() < drain_until:
                if not self._pump(selector, 0.05):
                    break
            for pipe in (proc.stdout, proc.stderr):
                pipe.close()
            selector.close()
            self.result.elapsed = time.monotonic() - start
            if recorder:
                self._stop_recorder(recorder)
                if not os.path.exists(self.result.audio_wav):
                    self.result.audio_wav = None
        if self.partial:
            self._stderr_chunk(b"\n")
        self.result.stdout = self.stdout.decode("utf-8", errors="replace").replace("\r\n", "\n")
        self.result.log = self.stderr.decode("utf-8", errors="replace")
        match = None
        for match in _EXIT.finditer(self.result.stdout):
            pass
        if match and not self.result.timed_out:
            self.result.exit_code = signed32(match.group(1))
        shutil.rmtree(private, ignore_errors=True)
        return self.result

    def _loop(self, proc, selector, start):
        while True:
            now = time.monotonic() - start
            if proc.poll() is not None:
                _debug(f"wine ended with {proc.returncode}")
                return
            if now >= self.timeout:
                self.result.timed_out = True
                return
            if self._watch_memory():
                return
            self._pump(selector, self.POLL)
            now = time.monotonic() - start
            while self.shots and now >= self.shots[0]:
                t = self.shots.pop(0)
                path = os.path.join(self.out_dir, f"{self.run_id}-shot-{t:07.2f}s.png")
                if screenshot(path):
                    self.result.screenshots.append(path)
            while self.keys and now >= self.keys[0][0]:
                entry = self.keys[0]
                if len(entry) > 2 and entry[2]:
                    # A loaded machine may show the window late: the key waits for it.
                    windows = find_windows(entry[2])
                    if not windows:
                        break
                    send_key(entry[1], windows[-1])
                else:
                    send_key(entry[1])
                self.keys.pop(0)
            if now - self.last_window_poll >= self.POLL:
                self.last_window_poll = now
                self._poll_windows(now)

    def _watch_memory(self):
        """Samples the program's resident memory; True when it passed rss_limit (then killed)."""
        if not self.program_pids:
            self.program_pids = _processes_mentioning(self.exe_windows)
        current = 0
        for pid in list(self.program_pids):
            sample = _resident_bytes(pid)
            if sample is None:
                self.program_pids.remove(pid)
                continue
            current = max(current, sample[0])
            self.result.peak_rss = max(self.result.peak_rss or 0, sample[1])
        if self.rss_limit and current > self.rss_limit:
            _debug(f"resident memory {current} passed {self.rss_limit}")
            self.result.rss_exceeded = True
            for pid in self.program_pids:
                try:
                    os.kill(pid, signal.SIGKILL)
                except OSError:
                    pass
            return True
        return False

    def _stop(self, proc, exe_windows):
        if proc.poll() is None:
            try:
                os.killpg(proc.pid, signal.SIGKILL)
            except OSError:
                pass
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            pass
        # A program started by cmd may have left the process group.
        _kill_processes_mentioning(exe_windows)

    @staticmethod
    def _stop_recorder(recorder):
        try:
            os.killpg(recorder.pid, signal.SIGINT)  # parec finishes the WAV header on SIGINT
            recorder.wait(timeout=5)
        except (OSError, subprocess.TimeoutExpired):
            try:
                os.killpg(recorder.pid, signal.SIGKILL)
            except OSError:
                pass
            recorder.wait(timeout=5)


def run_brivet(workdir, timeout=60.0, answer_dialog=None, answer_boxes=True, screenshot_at=(),
               record_audio=False, keys=(), *, exe=None, out_dir=None, dialog_title=DIALOG_TITLE,
               box_titles=BOX_TITLES, env=None, rss_limit=None):
    """Runs the program in workdir and returns its Result.

    answer_dialog: None, or the key ('Return', 'Escape') pressed on the start-up dialog
        (the window named dialog_title: a literal, or an extended regex starting with ^).
    answer_boxes: press Return on every message box (windows named one of box_titles).
    screenshot_at: seconds after the start at which to take a screenshot of the display.
    record_audio: record the null sink's monitor (from before the start to the end) as a WAV.
    keys: (seconds, key) typed into the focused window, or (seconds, key, title regex)
        sent to the newest window of that name once one is visible (at that time or later).
    exe: the program (default: BRIVET_EXE); out_dir: where screenshots and audio go
        (default: a new temporary folder); env: extra environment variables.
    rss_limit: bytes of resident memory past which the program is killed (rss_exceeded).
    """
    if out_dir is None:
        out_dir = tempfile.mkdtemp(prefix="brivet-e2e-")
    return _Run(workdir, timeout, answer_dialog, answer_boxes, screenshot_at, record_audio, keys,
                exe, out_dir, dialog_title, box_titles, env, rss_limit).execute()


def pack(folder, out_vqz):
    """Packs folder into the archive out_vqz with the host packer named by BRIVET_PACKER."""
    packer = os.environ.get("BRIVET_PACKER")
    if not packer or not os.path.isfile(packer):
        raise RuntimeError(f"BRIVET_PACKER does not name the packer: {packer!r}")
    done = _run([packer, "pack", folder, out_vqz], 120, text=True)
    if done is None:
        raise RuntimeError(f"{packer} did not finish")
    if done.returncode != 0:
        raise RuntimeError(f"{packer} pack {folder} {out_vqz} failed ({done.returncode}):\n"
                           f"{done.stdout}{done.stderr}")
    return out_vqz


class BrivetTestCase(unittest.TestCase):
    """Gives each test an empty working folder and an output folder (removed afterwards
    unless BRIVET_E2E_KEEP=1) and runs the program there."""

    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="brivet-e2e-")
        self.workdir = os.path.join(self.scratch, "work")
        self.out_dir = os.path.join(self.scratch, "out")
        os.makedirs(self.workdir)
        os.makedirs(self.out_dir)
        if os.environ.get("BRIVET_E2E_KEEP") == "1":
            print(f"\n{self.id()}: files kept in {self.scratch}", file=sys.stderr)
        else:
            self.addCleanup(shutil.rmtree, self.scratch, True)

    def run_brivet(self, **kwargs):
        kwargs.setdefault("out_dir", self.out_dir)
        return run_brivet(self.workdir, **kwargs)

    def data_path(self, *parts):
        """A fixture of the test's own folder (BRIVET_TEST_DATA)."""
        base = os.environ.get("BRIVET_TEST_DATA") or os.path.dirname(os.path.abspath(sys.argv[0]))
        return os.path.join(base, *parts)


def main():
    """unittest.main() inside tools/with-wine (re-running the script through it when needed)."""
    if os.environ.get("BRIVET_WINE_ENV") != "1" or not os.environ.get("DISPLAY"):
        with_wine = os.path.join(HERE, "with-wine")
        script = os.path.abspath(sys.argv[0])
        os.execv(with_wine, [with_wine, sys.executable, script] + sys.argv[1:])
    unittest.main()
