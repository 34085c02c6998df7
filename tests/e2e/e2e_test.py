#!/usr/bin/env python3
"""The whole Windows program, driven under Wine and Xvfb as a user drives it.

Keys and clicks go through the X server (xdotool); what the program shows is
read from the screen (ImageMagick's import) and through lumirun_probe.exe,
which looks at the program's windows from inside Wine. Every wait is bounded.

--sessions names what runs: main (every command), close-box, open-save (the
short round a packaged program must pass), non-ascii (file names beyond
the legacy code page), file-argument ("Open with": a picture named on the
command line, then typed speeds in the Settings dialog), phone-photo (a
PNG file on the command line, a phone photo on its side in Display P3
through the chooser, "Smooth (no gaps)" rendered and saved), help-unquoted
and help-quoted (Help as the program's path is given) and help-non-ascii
(Help from a folder whose name the system's code page cannot spell).

Needs DISPLAY (an Xvfb with a Wine virtual desktop at its origin) and
WINEPREFIX set: ctest in build/windows runs it so from scripts/test.sh
(step windows-tests).
"""
import argparse
import json
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time

WHITE = b"\xff\xff\xff"
RED = (255, 0, 0)
BLUE = (0, 0, 255)
SETTINGS_SPEED_BOX = 1005
SETTINGS_APPLY = 1
SETTINGS_FASTER = 1007
SETTINGS_RENDER_IT = 1012
SETTINGS_RENDER_QUALITY = 1013
QUALITY_SMOOTH = 1015
QUALITY_OK = 1
CHOOSER_FILE_NAME = 1148
WM_COMMAND = 0x0111
LB_SETCURSEL = 0x0186
LB_GETCOUNT = 0x018B
WM_CLOSE = 0x0010
IDM_QUIT = 40003


class Failure(Exception):
    pass


def poll(condition, timeout, interval=0.1):
    """condition's first true value within timeout seconds, else None."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            return None
        time.sleep(interval)


def wait_until(what, condition, timeout=15.0):
    value = poll(condition, timeout)
    if not value:
        raise Failure(f"timed out after {timeout:.0f} s waiting for {what}")
    return value


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Picture:
    """An RGB picture: width, height and rows of 3 * width bytes."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def row(self, y):
        stride = self.width * 3
        return self.data[y * stride:(y + 1) * stride]

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    @staticmethod
    def from_ppm(data):
        fields, pos = [], 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos)
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        if fields[0] != b"P6" or fields[3] != b"255":
            raise Failure(f"not an 8-bit binary PPM: {fields}")
        width, height = int(fields[1]), int(fields[2])
        pixels = data[pos + 1:pos + 1 + width * height * 3]
        return Picture(width, height, pixels)

    @staticmethod
    def load(path):
        with open(path, "rb") as f:
            return Picture.from_ppm(f.read())


class Probe:
    """lumirun_probe.exe, one Wine process answering one JSON line per command."""

    def __init__(self, exe):
        # The probe's texts and file names are UTF-8 (its manifest's code page).
        self.process = subprocess.Popen(["wine", exe], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, text=True, encoding="utf-8", bufsize=1)

    def ask(self, *fields, timeout=30):
        self.process.stdin.write("\t".join(str(f) for f in fields) + "\n")
        self.process.stdin.flush()
        ready, _, _ = select.select([self.process.stdout], [], [], timeout)
        line = self.process.stdout.readline() if ready else ""
        if not line:
            raise Failure(f"no answer from the probe to {fields[0]}")
        return json.loads(line)

    def close(self):
        try:
            self.process.stdin.write("quit\n")
            self.process.stdin.close()
            self.process.wait(timeout=10)
        except (OSError, subprocess.TimeoutExpired):
            self.process.kill()
            self.process.wait(timeout=10)


def xdo(*args):
    subprocess.run(["xdotool", *[str(a) for a in args]], check=True, timeout=10)


def screenshot():
    data = subprocess.run(["import", "-silent", "-window", "root", "-depth", "8", "ppm:-"],
                          capture_output=True, check=True, timeout=30).stdout
    return Picture.from_ppm(data)


def find_offset(shot, view, expected):
    """Where in expected the view's top-left part was taken from, for the
    failure message: the first offset whose top row matches, or None."""
    x, y, width, height = view
    if expected is None:
        return None
    probe_width = min(width, 64)
    top = shot.row(y)[x * 3:(x + probe_width) * 3]
    for row in range(expected.height):
        at = expected.row(row).find(top)
        while at >= 0 and at % 3:
            at = expected.row(row).find(top, at + 1)
        if at >= 0:
            return (at // 3, row)
    return None


class Session:
    """One run of lumirun.exe and what the tests know about it. Started by
    wine, or with command_line by the probe, which passes the command line
    exactly as given (a quoted program path, as Explorer starts programs)."""

    def __init__(self, args, probe, results, command_line=None):
        self.args, self.probe, self.results = args, probe, results
        self.process, self.started = None, None
        if command_line is None:
            self.process = subprocess.Popen(["wine", args.exe], stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL)
        else:
            answer = probe.ask("start", command_line)
            if not answer["ok"]:
                raise Failure(f"the probe could not start {command_line}")
            self.started = answer["pid"]
        self.pid_windows = None
        main = wait_until("the main window", lambda: self.find(title="Lumirun JPG", cls="Lumirun JPG"),
                          timeout=60)
        self.main = main["hwnd"]
        self.pid_windows = main["pid"]
        self.wait_idle()

    def check(self, condition, name, detail=""):
        self.results.append((bool(condition), name, detail))
        print(("ok     " if condition else "FAILED ") + name + ("" if condition else f": {detail}"), flush=True)
        return condition

    # What the probe sees.
    def windows(self):
        return self.probe.ask("windows")

    def find(self, title=None, cls=None, owner=None):
        for w in self.windows():
            if ((title is None or w["title"] == title) and (cls is None or w["class"] == cls)
                    and (owner is None or w["owner"] == owner)
                    and (self.pid_windows is None or w["pid"] == self.pid_windows)):
                return w
        return None

    def wait_window(self, title, owner=None, cls="#32770", timeout=15):
        return wait_until(f'the window "{title}"', lambda: self.find(title=title, cls=cls, owner=owner),
                          timeout=timeout)

    def wait_gone(self, hwnd, what, timeout=60):
        wait_until(f"{what} to close", lambda: not any(w["hwnd"] == hwnd for w in self.windows()),
                   timeout=timeout)

    def wait_idle(self, timeout=60):
        wait_until("the program to handle messages again",
                   lambda: self.probe.ask("idle", self.main, 1000)["idle"], timeout=timeout)

    def state(self):
        return self.probe.ask("window", self.main)

    def children(self, hwnd):
        return self.probe.ask("children", hwnd)

    def child(self, hwnd, control_id):
        for c in self.children(hwnd):
            if c["id"] == control_id:
                return c
        raise Failure(f"no control {control_id} in window {hwnd}")

    def dialog_text(self, hwnd):
        return " ".join(c["text"] for c in self.children(hwnd) if c["class"] == "Static" and c["text"])

    # What a user does. The pointer rests on the title bar, over the Wine
    # desktop, so that keys reach the program and no WM_MOUSEMOVE lands in
    # the client area.
    def rest_pointer(self):
        rect = self.state()["rect"]
        xdo("mousemove", rect[0] + 60, rect[1] + 8)

    def keys(self, *keys):
        for key in keys:
            xdo("key", key)
            time.sleep(0.15)

    def click_at(self, x, y):
        xdo("mousemove", x, y)
        time.sleep(0.1)
        xdo("click", 1)

    def click_control(self, control):
        r = control["rect"]
        self.click_at((r[0] + r[2]) // 2, (r[1] + r[3]) // 2)

    def drag(self, start, end):
        # Wine's thumb tracking runs its own loop: give it time to start
        # and to see the last position before the button goes up.
        xdo("mousemove", *start)
        time.sleep(0.2)
        xdo("mousedown", 1)
        time.sleep(0.2)
        steps = 5
        for i in range(1, steps + 1):
            xdo("mousemove", start[0] + (end[0] - start[0]) * i // steps,
                start[1] + (end[1] - start[1]) * i // steps)
            time.sleep(0.1)
        time.sleep(0.2)
        xdo("mouseup", 1)

    def menu(self, bar_letter, entry_letter=None):
        """Alt and the bar item's letter, then the entry's letter; a command
        on the bar itself runs at once."""
        self.rest_pointer()
        self.keys(f"alt+{bar_letter}")
        if entry_letter:
            wait_until("the menu", lambda: self.find(cls="#32768"), timeout=5)
            self.keys(entry_letter)

    def type_file_name(self, chooser, path):
        box = self.child(chooser["hwnd"], CHOOSER_FILE_NAME)
        previous = box["text"]
        time.sleep(0.3)  # the chooser sets its focus after it appears
        name = windows_path(path)
        # Under load Wine now and then drops a typed letter: type it again.
        for attempt in range(3):
            self.keys("End", "shift+Home")
            if name.isascii():
                xdo("type", "--delay", 15, name)
            else:
                # xdotool maps each letter missing from the keyboard onto a
                # spare key just before it presses it; typed quickly, Wine may
                # still read the key's previous letter. One letter at a time.
                for letter in name:
                    xdo("type", "--delay", 60, letter)
                    time.sleep(0.03 if letter.isascii() else 0.15)
            if poll(lambda: self.child(chooser["hwnd"], CHOOSER_FILE_NAME)["text"] == name, timeout=3):
                break
        else:
            raise Failure(f"typing {name} into the chooser gave "
                          f"{self.child(chooser['hwnd'], CHOOSER_FILE_NAME)['text']!r}")
        self.keys("Return")
        return previous

    def choose_file(self, title, path):
        self.menu("f", "o" if title == "Open" else "s")
        chooser = self.wait_window(title, owner=self.main)
        previous = self.type_file_name(chooser, path)
        return chooser, previous

    def answer_box(self, box, key="Return"):
        self.keys(key)
        self.wait_gone(box["hwnd"], f'the box "{box["title"]}"', timeout=10)

    # The window's pixels.
    def client_view(self):
        s = self.state()
        x, y, width, height = s["client"]
        visible_height = s["status_rect"][1] - y if "status_rect" in s else height
        return s, (x, y, width, visible_height)

    def compare(self, name, expected, offset_x, offset_y):
        """The visible client area shows expected's pixel (offset_x, offset_y)
        at its top-left corner and white beyond the picture's edges."""
        self.wait_idle()
        time.sleep(0.2)
        _, (x, y, width, height) = self.client_view()
        shot = screenshot()
        bad_rows, bad_pixels, first = 0, 0, None
        for row in range(height):
            seen = shot.row(y + row)[x * 3:(x + width) * 3]
            source_row = row + offset_y
            if expected is not None and 0 <= source_row < expected.height and offset_x < expected.width:
                n = min(width, expected.width - offset_x)
                want = expected.row(source_row)[offset_x * 3:(offset_x + n) * 3] + WHITE * (width - n)
            else:
                want = WHITE * width
            if seen != want:
                bad_rows += 1
                diff = [i for i in range(width) if seen[i * 3:i * 3 + 3] != want[i * 3:i * 3 + 3]]
                bad_pixels += len(diff)
                if first is None:
                    first = (diff[0], row, tuple(seen[diff[0] * 3:diff[0] * 3 + 3]),
                             tuple(want[diff[0] * 3:diff[0] * 3 + 3]))
        detail = ""
        if first:
            detail = (f"{bad_pixels} pixels in {bad_rows} rows differ; first at client {first[:2]}: "
                      f"screen {first[2]}, expected {first[3]}; "
                      f"the view looks scrolled to {find_offset(shot, (x, y, width, height), expected)}")
        return self.check(bad_pixels == 0, name, detail)

    def quit_and_exit_code(self, how):
        how()
        if self.started is not None:
            answer = self.probe.ask("wait", self.started, 20000, timeout=40)
            return answer["code"] if answer["exited"] else None
        try:
            return self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait(timeout=10)
            return None

    def kill(self):
        if self.started is not None:
            self.probe.ask("kill", self.started)
            return
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=10)


class Expected:
    """Reference rasters, worked out by the program's own code in the probe.
    Each rendered one is also saved as "Save As..." saves it and checked
    byte for byte against lumirun-render's file for the same settings, so a
    window that matches it shows exactly what lumirun-render renders."""

    def __init__(self, probe, folder, render_command, check):
        self.probe, self.folder, self.render_command, self.check = probe, folder, render_command, check
        self.count = 0

    def _path(self, extension):
        self.count += 1
        return os.path.join(self.folder, f"expected{self.count}.{extension}")

    def source(self, jpeg):
        path = self._path("ppm")
        if not self.probe.ask("decode", windows_path(jpeg), windows_path(path))["ok"]:
            raise Failure(f"the probe cannot decode {jpeg}")
        return Picture.load(path)

    def rendered(self, jpeg, observer, speed_percent=50, quality=1):
        """quality: 1 to 4, or 5 for "Smooth (no gaps)" (--quality smooth)."""
        path, saved, reference = self._path("ppm"), self._path("jpg"), self._path("jpg")
        answer = self.probe.ask("render", windows_path(jpeg), windows_path(path), 0, speed_percent / 100, quality,
                                observer[0], observer[1], windows_path(saved), timeout=120)
        if not answer["ok"]:
            raise Failure(f"the probe cannot render {jpeg}")
        self.lumirun_render(jpeg, reference, observer, speed_percent, quality)
        self.check(same_file(saved, reference),
                   f"reference: lumirun-render gives the same picture at {speed_percent} % from {observer}"
                   f" at quality {quality}")
        return Picture.load(path)

    def lumirun_render(self, jpeg, output, observer, speed_percent, quality=1, extra=()):
        wine = self.render_command[0] == "wine"
        subprocess.run([*self.render_command, windows_path(jpeg) if wine else jpeg,
                        windows_path(output) if wine else output, "--quiet",
                        "--speed", str(speed_percent), "--direction", "0",
                        "--quality", "smooth" if quality == 5 else str(quality),
                        "--observer", f"{observer[0]},{observer[1]}", *extra],
                       check=True, timeout=120, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def same_file(a, b):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        return fa.read() == fb.read()


def intro_line_3(homepage):
    """The start screen's third line: the project's page when the build names
    one, else the README beside the program."""
    if homepage:
        return f"For the latest in fun physics, visit us at {homepage}."
    return "For the latest in fun physics, read README.txt beside the program."


def check_start_up_hint(s, metrics):
    """White client area with the three centred lines, red, red and blue."""
    s.wait_idle()
    time.sleep(0.2)
    _, (x, y, width, height) = s.client_view()
    shot = screenshot()
    line_height, char_width = metrics["tm_height"], metrics["tm_ave_char_width"]
    lines = [(10, RED, 60), (2 * line_height + 10, RED, 38),
             (5 * line_height + 10, BLUE, len(intro_line_3(s.args.homepage)))]
    colours_by_band = {}
    stray = 0
    for row in range(height):
        band = next((i for i, (top, _, _) in enumerate(lines) if top <= row < top + line_height), None)
        seen = shot.row(y + row)[x * 3:(x + width) * 3]
        for col in range(width):
            p = tuple(seen[col * 3:col * 3 + 3])
            if p == (255, 255, 255):
                continue
            if band is None:
                stray += 1
            else:
                colours, left = colours_by_band.get(band, (set(), width))
                colours.add(p)
                colours_by_band[band] = (colours, min(left, col))
    s.check(stray == 0, "start-up: white outside the three hint lines", f"{stray} other pixels")
    for i, (top, colour, length) in enumerate(lines):
        colours, left = colours_by_band.get(i, (set(), None))
        # The text is smoothed: its pixels are the colour or blends of it
        # with the white background.
        blends = all(all(c == 255 if k == 255 else c == p[[j for j in range(3) if colour[j] == 0][0]]
                         for c, k in zip(p, colour)) for p in colours)
        s.check(colour in colours and blends, f"start-up: hint line {i + 1} at y = {top} drawn in {colour}",
                f"colours {sorted(colours)[:6]}")
        x0 = width // 2 - (length * char_width) // 2
        s.check(left is not None and abs(left - x0) <= 4, f"start-up: hint line {i + 1} centred from x = {x0}",
                f"leftmost ink at {left}")


def open_menus(s):
    for letter in ("f", "v", "h"):
        s.rest_pointer()
        s.keys(f"alt+{letter}")
        popup = poll(lambda: s.find(cls="#32768"), timeout=5)
        s.check(popup is not None, f"menus: Alt+{letter.upper()} pulls down a menu")
        s.keys("Escape", "Escape")
        wait_until("the menu to close", lambda: not s.find(cls="#32768"), timeout=5)
    s.wait_idle()


def open_through_chooser(s, path):
    chooser, previous = s.choose_file("Open", path)
    s.wait_gone(chooser["hwnd"], "the open chooser")
    s.wait_idle(timeout=120)
    return previous


def error_boxes_for_missing_file(s, folder):
    missing = os.path.join(folder, "no such picture.jpg")
    chooser, _ = s.choose_file("Open", missing)
    # The chooser asks whether to create the file; the answer Yes returns
    # the name, which the program then cannot open.
    question = s.wait_window("Error", owner=chooser["hwnd"])
    s.answer_box(question, "y")
    s.wait_gone(chooser["hwnd"], "the open chooser")
    reader_box = s.wait_window("Error!", owner=0)
    text = s.dialog_text(reader_box["hwnd"])
    s.check(text == f"Error: Can't open file {windows_path(missing)} for reading.",
            "missing file: first the reader's own box, caption \"Error!\", no owner", text)
    s.answer_box(reader_box)
    command_box = s.wait_window("Error", owner=s.main)
    text = s.dialog_text(command_box["hwnd"])
    s.check(text == f"Error opening file {windows_path(missing)}.",
            "missing file: then \"Error opening file ...\" owned by the main window", text)
    s.answer_box(command_box)
    s.wait_idle()


def error_box_for_not_a_jpeg(s, folder):
    not_jpeg = os.path.join(folder, "not a picture.jpg")
    with open(not_jpeg, "w") as f:
        f.write("This is text, not a JPEG picture.\n")
    chooser, _ = s.choose_file("Open", not_jpeg)
    s.wait_gone(chooser["hwnd"], "the open chooser")
    box = wait_until("an error box", lambda: s.find(cls="#32770"), timeout=15)
    boxes = [box["title"]]
    text = s.dialog_text(box["hwnd"])
    s.answer_box(box)
    s.check(box["title"] == "Error" and box["owner"] == s.main
            and text == f"Error opening file {windows_path(not_jpeg)}.",
            "not a JPEG: one box \"Error opening file ...\" owned by the main window", f"{boxes} {text}")
    time.sleep(0.5)
    s.check(s.find(cls="#32770") is None, "not a JPEG: no second box")
    s.wait_idle()


def thumb_centre(bar_start, bar_length, arrow, thumb, position, range_max):
    """Screen coordinate of the middle of a scroll bar's thumb."""
    track = bar_length - 2 * arrow - thumb
    return bar_start + arrow + track * min(position, range_max) // max(range_max, 1) + thumb // 2


def run_main_session(args, probe, results, folder):
    metrics = probe.ask("metrics")
    s = Session(args, probe, results)
    expected = Expected(probe, folder, args.render, s.check)
    try:
        check_start_up_hint(s, metrics)
        s.check(s.state()["status"] == "", "start-up: empty status bar")
        open_menus(s)

        # Open the sample picture through the real chooser.
        sample = args.sample
        source = expected.source(sample)
        previous = open_through_chooser(s, sample)
        s.check(previous == "", "open: the first chooser starts with an empty file name", previous)
        observer = (0, source.height // 2)
        s.compare("open: the window shows the relativity version", expected.rendered(sample, observer), 0, 0)

        # Settings: "Faster" once, then "Render It".
        s.menu("s")
        dialog = s.wait_window("Settings", owner=s.main)
        s.check(s.child(dialog["hwnd"], SETTINGS_SPEED_BOX)["text"] == "50.00", "settings: speed box shows 50.00")
        s.click_control(s.child(dialog["hwnd"], SETTINGS_FASTER))
        speed = poll(lambda: s.child(dialog["hwnd"], SETTINGS_SPEED_BOX)["text"] != "50.00" and
                     s.child(dialog["hwnd"], SETTINGS_SPEED_BOX)["text"], timeout=5)
        s.check(speed == "55.00", "settings: \"Faster\" shows 55.00", speed)
        s.click_control(s.child(dialog["hwnd"], SETTINGS_RENDER_IT))
        s.wait_gone(dialog["hwnd"], "the Settings dialog")
        s.wait_idle(timeout=120)
        status = s.state()["status"]
        s.check(status == "Relativistic Image Complete.", "settings: status bar reads \"Relativistic Image Complete.\"",
                status)
        s.compare("settings: \"Render It\" renders at 55 %", expected.rendered(sample, observer, 55), 0, 0)

        # A click places the observer at the pointer.
        _, (cx, cy, _, _) = s.client_view()
        click = (211, 143)
        s.click_at(cx + click[0], cy + click[1])
        s.wait_idle(timeout=120)
        clicked = expected.rendered(sample, click, 55)
        s.rest_pointer()
        s.compare("click: the observer moves to the clicked point", clicked, 0, 0)

        # Switch views.
        s.menu("v", "o")
        s.compare("view: \"Original\" shows the picture as opened", source, 0, 0)
        s.menu("v", "r")
        s.compare("view: \"Relativity Version\" shows the rendered picture again", clicked, 0, 0)

        # Save through the real chooser, compare with lumirun-render.
        saved = os.path.join(folder, "saved picture.jpg")
        chooser, previous = s.choose_file("Save As", saved)
        s.check(previous == "", "save: the first save chooser starts empty", previous)
        s.wait_gone(chooser["hwnd"], "the save chooser")
        s.wait_idle()
        reference = os.path.join(folder, "reference.jpg")
        expected.lumirun_render(sample, reference, click, 55)
        same = same_file(saved, reference)
        s.check(same, "save: the file equals lumirun-render's output for the same settings and click")

        # The two kinds of error box.
        error_boxes_for_missing_file(s, folder)
        error_box_for_not_a_jpeg(s, folder)

        # A picture larger than the window: both bars, line steps, thumbs.
        big = os.path.join(folder, "large picture.jpg")
        subprocess.run(["convert", sample, "-resize", "1291x997!", "-quality", "92", big], check=True, timeout=60)
        previous = open_through_chooser(s, big)
        # Wine's chooser opens in the last file's folder with its name.
        s.check(previous == "not a picture.jpg", "open: the chooser starts with the file chosen last", previous)
        big_source = expected.source(big)
        big_rendered = expected.rendered(big, (0, big_source.height // 2))
        state, (cx, cy, width, height) = s.client_view()
        s.check(state["hscroll"] and state["vscroll"], "scroll: both bars shown for a picture larger than the window")
        s.compare("scroll: large picture from its top-left corner", big_rendered, 0, 0)
        client = state["client"]
        bar_h_y = client[1] + client[3] + metrics["cy_hscroll"] // 2
        bar_v_x = client[0] + client[2] + metrics["cx_vscroll"] // 2
        arrow = metrics["cy_hscroll"]
        right_arrow = (client[0] + client[2] - arrow // 2, bar_h_y)
        s.click_at(*right_arrow)
        s.rest_pointer()
        s.compare("scroll: a click on the right arrow scrolls 10 pixels", big_rendered, 10, 0)
        # Drag each thumb from where the offset puts it to the bar's end.
        # The ranges are the picture's extent less the visible extent.
        last_x = big_rendered.width - width
        last_y = big_rendered.height - height
        start = thumb_centre(client[0], client[2], arrow, metrics["cx_hthumb"], 10, last_x)
        s.drag((start, bar_h_y), (client[0] + client[2] - arrow - 1, bar_h_y))
        s.rest_pointer()
        s.compare("scroll: the horizontal thumb at its end shows the last column", big_rendered, last_x, 0)
        start = thumb_centre(client[1], client[3], arrow, metrics["cy_vthumb"], 0, last_y)
        s.drag((bar_v_x, start), (bar_v_x, client[1] + client[3] - arrow - 1))
        s.rest_pointer()
        s.compare("scroll: the vertical thumb at its end shows the last row above the status bar",
                  big_rendered, last_x, last_y)
        s.click_at(bar_v_x, client[1] + arrow // 2)
        s.rest_pointer()
        s.compare("scroll: a click on the up arrow scrolls back 10 pixels", big_rendered, last_x, last_y - 10)
        s.menu("v", "o")
        s.compare("scroll: the original keeps the offsets", big_source, last_x, last_y - 10)

        # About, then "&Quit".
        s.rest_pointer()
        s.keys("alt+h")
        wait_until("the Help menu", lambda: s.find(cls="#32768"), timeout=5)
        s.keys("Down", "Return")
        about = s.wait_window("Lumirun About", owner=s.main)
        s.check("Lumirun JPG Version 1.1" in s.dialog_text(about["hwnd"]), "About box shows the version")
        s.answer_box(about)
        code = s.quit_and_exit_code(lambda: s.menu("f", "q"))
        s.check(code == 0, "\"&Quit\" ends the program with exit code 0", f"exit code {code}")
    finally:
        s.kill()


def run_close_box_session(args, probe, results):
    metrics = probe.ask("metrics")
    s = Session(args, probe, results)
    try:
        rect = s.state()["rect"]
        close_box = (rect[2] - metrics["cx_frame"] - metrics["cx_size"] // 2 - 2,
                     rect[1] + metrics["cy_frame"] + metrics["cy_caption"] // 2)
        code = s.quit_and_exit_code(lambda: s.click_at(*close_box))
        s.check(code == 0, "closing the window ends the program with exit code 0", f"exit code {code}")
    finally:
        s.kill()


def help_source(path):
    """The help source's title and its keywords in the index's order."""
    title, keywords = None, []
    with open(path) as f:
        for line in f:
            if line.startswith("@title "):
                title = line[7:].strip()
            if line.startswith("@keywords "):
                keywords += [k.strip() for k in line[10:].split(";") if k.strip()]
    return title, sorted(keywords, key=str.lower)


def help_engines(probe):
    return [w for w in probe.ask("windows") if w["class"] == "MS_WINHELP"]


def run_help_session(args, probe, results, quoted, program=None):
    """"Help! > Help..." opens the help engine on the contents topic of
    lumirun.hlp beside the program, its index lists the keywords and jumps to
    a keyword's topic, and quitting the program closes the engine."""
    title, keywords = help_source(args.help_source)
    exe = windows_path(program or args.exe)
    how = f"help ({'quoted' if quoted else 'unquoted'} program path{' in ' + program if program else ''})"
    wait_until("no help engine from before", lambda: not help_engines(probe))
    s = Session(args, probe, results, command_line=f'"{exe}"' if quoted else exe)
    try:
        # The engine's own boxes ("Cannot find ...") are dialogs of a process
        # other than the program's.
        def engine_or_error():
            for w in probe.ask("windows"):
                if w["class"] == "MS_WINHELP" or (w["class"] == "#32770" and w["pid"] != s.pid_windows):
                    return w
            return None

        s.rest_pointer()
        s.keys("alt+h")
        wait_until("the Help menu", lambda: s.find(cls="#32768"), timeout=5)
        s.keys("Return")
        engine = wait_until("the help engine or its error box", engine_or_error, timeout=30)
        if engine["class"] != "MS_WINHELP":
            s.check(False, f"{how}: opens without an error box",
                    f'"{engine["title"]}": {s.dialog_text(engine["hwnd"])}')
            s.keys("n")
            return
        time.sleep(1)
        error = [w for w in probe.ask("windows") if w["class"] == "#32770" and w["pid"] == engine["pid"]]
        s.check(not error, f"{how}: opens without an error box",
                error and f'"{error[0]["title"]}": {s.dialog_text(error[0]["hwnd"])}')

        def engine_title():
            return next((w["title"] for w in help_engines(probe)), "")
        s.check(poll(lambda: engine_title().startswith(title), timeout=10),
                f"{how}: the engine's window shows our title", engine_title())

        def shown_text():
            return " ".join(c["text"] for c in s.children(engine["hwnd"]))
        s.check(poll(lambda: "Choose a topic:" in shown_text(), timeout=10),
                f"{how}: the engine shows the contents topic", shown_text()[:200])

        # The index: every keyword listed; one chosen jumps to its topic.
        index_button = next(c for c in s.children(engine["hwnd"]) if c["text"].replace("&", "") == "Index")
        s.click_control(index_button)
        sheet = wait_until("the index dialog", lambda: next(
            (w for w in probe.ask("windows") if w["pid"] == engine["pid"] and w["class"] == "#32770"), None))
        listbox = wait_until("the keyword list", lambda: next(
            (c for c in s.children(sheet["hwnd"]) if c["class"].lower() == "listbox"), None))
        count = probe.ask("send", listbox["hwnd"], LB_GETCOUNT, 0, 0)["result"]
        s.check(count == len(keywords), f"{how}: the index lists our {len(keywords)} keywords", f"{count} listed")
        probe.ask("send", listbox["hwnd"], LB_SETCURSEL, keywords.index("Ultra-high"), 0)
        ok_button = wait_until("the index's OK button", lambda: next(
            (c for c in s.children(sheet["hwnd"]) if c["text"] == "OK"), None))
        s.click_control(ok_button)
        s.check(poll(lambda: "sets how finely the picture is sampled" in shown_text(), timeout=10),
                f"{how}: the keyword \"Ultra-high\" opens the Render Quality topic", shown_text()[:200])

        # The help window has the focus now: "&Quit" as the menu sends it.
        code = s.quit_and_exit_code(lambda: probe.ask("post", s.main, WM_COMMAND, IDM_QUIT, 0))
        s.check(code == 0, f"{how}: \"&Quit\" ends the program with exit code 0", f"exit code {code}")
        s.check(poll(lambda: not help_engines(probe), timeout=15),
                f"{how}: quitting the program closes the help engine")
    finally:
        s.kill()
        for engine in help_engines(probe):
            probe.ask("post", engine["hwnd"], WM_CLOSE, 0, 0)


def save_through_chooser(s, path):
    chooser, _ = s.choose_file("Save As", path)
    s.wait_gone(chooser["hwnd"], "the save chooser")
    s.wait_idle()


def run_open_save_session(args, probe, results, folder):
    """The short round a packaged program must pass: start, open the sample
    through the chooser, render, save, quit."""
    s = Session(args, probe, results)
    expected = Expected(probe, folder, args.render, s.check)
    try:
        source = expected.source(args.sample)
        open_through_chooser(s, args.sample)
        observer = (0, source.height // 2)
        s.compare("package: opening the sample shows its relativity version", expected.rendered(args.sample, observer),
                  0, 0)
        saved = os.path.join(folder, "package save.jpg")
        save_through_chooser(s, saved)
        reference = os.path.join(folder, "package reference.jpg")
        expected.lumirun_render(args.sample, reference, observer, 50)
        s.check(os.path.isfile(saved) and same_file(saved, reference),
                "package: the saved file equals lumirun-render's output")
        code = s.quit_and_exit_code(lambda: s.menu("f", "q"))
        s.check(code == 0, "package: \"&Quit\" ends the program with exit code 0", f"exit code {code}")
    finally:
        s.kill()


def run_help_non_ascii_session(args, probe, results, folder):
    """Help from a folder whose name the system's code page cannot spell (a
    zip unpacked into it): the engine still finds the help file."""
    where = os.path.join(folder, NON_ASCII_FOLDER)
    os.makedirs(where, exist_ok=True)
    program = os.path.join(where, "lumirun.exe")
    shutil.copyfile(args.exe, program)
    shutil.copyfile(os.path.join(os.path.dirname(args.exe), "lumirun.hlp"), os.path.join(where, "lumirun.hlp"))
    run_help_session(args, probe, results, quoted=True, program=program)


NON_ASCII_FOLDER = "Größe 日本 dir"
NON_ASCII_PICTURE = "Größe-日本.jpg"
NON_ASCII_SAVED = "Relativität-相対性.jpg"


def run_non_ascii_session(args, probe, results, folder):
    """File names beyond the legacy code page: the program's ANSI file calls
    take them through the UTF-8 code page of its manifest. The picture opens
    through the chooser and saves under such a name with the bytes it saves
    under a plain one."""
    s = Session(args, probe, results)
    expected = Expected(probe, folder, args.render, s.check)
    try:
        plain = os.path.join(folder, "plain-copy.jpg")
        named = os.path.join(folder, NON_ASCII_PICTURE)
        shutil.copyfile(args.sample, plain)
        shutil.copyfile(args.sample, named)
        source = expected.source(plain)
        open_through_chooser(s, named)
        s.check(s.find(cls="#32770") is None, f"non-ASCII: {NON_ASCII_PICTURE} opens without an error box")
        observer = (0, source.height // 2)
        s.compare(f"non-ASCII: {NON_ASCII_PICTURE} shows the relativity version",
                  expected.rendered(plain, observer), 0, 0)
        saved = os.path.join(folder, NON_ASCII_SAVED)
        save_through_chooser(s, saved)
        saved_plain = os.path.join(folder, "plain-save.jpg")
        save_through_chooser(s, saved_plain)
        s.check(NON_ASCII_SAVED in os.listdir(folder), f"non-ASCII: the file is saved as {NON_ASCII_SAVED}",
                str(sorted(os.listdir(folder))))
        s.check(os.path.isfile(saved) and os.path.isfile(saved_plain) and same_file(saved, saved_plain),
                "non-ASCII: the same bytes as saved under a plain name")
        reference = os.path.join(folder, "plain-reference.jpg")
        expected.lumirun_render(plain, reference, observer, 50)
        s.check(os.path.isfile(saved) and same_file(saved, reference),
                "non-ASCII: the saved file equals lumirun-render's output")
        code = s.quit_and_exit_code(lambda: s.menu("f", "q"))
        s.check(code == 0, "non-ASCII: \"&Quit\" ends the program with exit code 0", f"exit code {code}")
    finally:
        s.kill()


def type_speed(s, dialog, text):
    """Types text into the Settings dialog's speed box, as a user does."""
    s.click_control(s.child(dialog["hwnd"], SETTINGS_SPEED_BOX))
    for attempt in range(3):
        s.keys("End", "shift+Home", "BackSpace")
        xdo("type", "--delay", 60, text)
        if poll(lambda: s.child(dialog["hwnd"], SETTINGS_SPEED_BOX)["text"] == text, timeout=3):
            return
    raise Failure(f"typing {text!r} into the speed box gave {s.child(dialog['hwnd'], SETTINGS_SPEED_BOX)['text']!r}")


def run_file_argument_session(args, probe, results, folder):
    """"Open with": the program started as Explorer starts it for a picture,
    the picture's quoted path (a folder with a blank, a name beyond the
    legacy code page) after the program's, shows the picture's relativity
    version at once. Then the Settings dialog refuses "abc" with the range
    box and renders nothing, and takes "45,5" as 45.5 %."""
    plain = os.path.join(folder, "plain-argument.jpg")
    directory = os.path.join(folder, "Open with")
    named = os.path.join(directory, NON_ASCII_PICTURE)
    os.makedirs(directory, exist_ok=True)
    shutil.copyfile(args.sample, plain)
    shutil.copyfile(args.sample, named)
    s = Session(args, probe, results, command_line=f'"{windows_path(args.exe)}" "{windows_path(named)}"')
    expected = Expected(probe, folder, args.render, s.check)
    try:
        s.check(s.find(cls="#32770") is None, "file argument: the picture opens without a chooser or a box")
        source = expected.source(plain)
        observer = (0, source.height // 2)
        at_50 = expected.rendered(plain, observer)
        s.compare(f"file argument: \"Open with/{NON_ASCII_PICTURE}\" shows the relativity version", at_50, 0, 0)

        s.menu("s")
        dialog = s.wait_window("Settings", owner=s.main)
        type_speed(s, dialog, "abc")
        s.click_control(s.child(dialog["hwnd"], SETTINGS_APPLY))
        box = s.wait_window("Error", owner=dialog["hwnd"])
        text = s.dialog_text(box["hwnd"])
        s.check(text.startswith("Error: The speed settings must be between 0% and 100%"),
                "speed \"abc\": the range box, owned by the dialog", text)
        s.answer_box(box)
        s.check(s.find(title="Settings", cls="#32770") is not None
                and s.child(dialog["hwnd"], SETTINGS_SPEED_BOX)["text"] == "abc",
                "speed \"abc\": the dialog stays open with the text")
        type_speed(s, dialog, "45,5")
        s.click_control(s.child(dialog["hwnd"], SETTINGS_APPLY))
        s.wait_gone(dialog["hwnd"], "the Settings dialog")
        s.check(s.find(cls="#32770") is None, "speed \"45,5\": taken without a box")
        s.compare("speed \"abc\", then \"45,5\" applied: nothing rendered", at_50, 0, 0)

        s.menu("s")
        dialog = s.wait_window("Settings", owner=s.main)
        shown = poll(lambda: s.child(dialog["hwnd"], SETTINGS_SPEED_BOX)["text"], timeout=5)
        s.check(shown == "45.50", "speed \"45,5\": the dialog shows 45.50", shown)
        s.click_control(s.child(dialog["hwnd"], SETTINGS_RENDER_IT))
        s.wait_gone(dialog["hwnd"], "the Settings dialog")
        s.wait_idle(timeout=120)
        s.compare("speed \"45,5\": \"Render It\" renders at 45.5 %", expected.rendered(plain, observer, 45.5), 0, 0)
        code = s.quit_and_exit_code(lambda: s.menu("f", "q"))
        s.check(code == 0, "file argument: \"&Quit\" ends the program with exit code 0", f"exit code {code}")
    finally:
        s.kill()


def blocks_ppm(path, width, height):
    """Blocks of 8 by 8 pixels, each its own colour, as a binary PPM."""
    out = bytearray(b"P6 %d %d 255\n" % (width, height))
    for y in range(height):
        for x in range(width):
            k = (y // 8) * 97 + (x // 8) * 31
            out += bytes(((k * 53) % 256, (k * 101 + 40) % 256, (k * 29 + 90) % 256))
    with open(path, "wb") as f:
        f.write(out)


def save_shot(window, path):
    """The window as the screen shows it, as a PNG file for a person to look at."""
    shot = screenshot()
    left, top, right, bottom = window["rect"]
    rows = b"".join(shot.row(y)[left * 3:right * 3] for y in range(top, bottom))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    subprocess.run(["convert", "ppm:-", path], input=b"P6 %d %d 255\n" % (right - left, bottom - top) + rows,
                   check=True, timeout=30)


def mean_difference(a, b):
    return sum(abs(p - q) for p, q in zip(a.data, b.data)) / len(a.data)


def run_phone_photo_session(args, probe, results, folder):
    """Pictures as every edition reads them. A PNG file named on the command
    line opens. A portrait phone photo, stored on its side (Exif orientation
    6) in Display P3, opens through the chooser upright and in sRGB: the
    window shows the picture lumirun-render reads, and its render. With
    "Smooth (no gaps)" chosen in the Render Quality dialog the window shows
    the smooth render, and "Save As..." writes lumirun-render --quality
    smooth's bytes."""
    if not args.make_profile:
        raise Failure("the phone-photo session needs --make-profile (the native lumirun_make_profile)")
    width, height = 48, 80
    upright_ppm, upright_jpg = os.path.join(folder, "upright.ppm"), os.path.join(folder, "upright.jpg")
    photo, profile = os.path.join(folder, "phone photo.jpg"), os.path.join(folder, "p3.icc")
    png = os.path.join(folder, "drawing.png")
    blocks_ppm(upright_ppm, width, height)
    for command in (["cjpeg", "-quality", "95", "-sample", "1x1", "-outfile", upright_jpg, upright_ppm],
                    # Stored turned anticlockwise: orientation 6 turns it back.
                    ["jpegtran", "-perfect", "-rotate", "270", "-outfile", photo, upright_jpg],
                    [args.make_profile, profile],
                    ["exiftool", "-q", "-n", "-overwrite_original", "-Orientation=6", f"-ICC_Profile<={profile}",
                     photo],
                    ["convert", upright_ppm, png]):
        subprocess.run(command, check=True, timeout=60, stdout=subprocess.DEVNULL)
    upright = Picture.load(upright_ppm)
    observer = (0, height // 2)

    s = Session(args, probe, results, command_line=f'"{windows_path(args.exe)}" "{windows_path(png)}"')
    expected = Expected(probe, folder, args.render, s.check)
    try:
        s.check(s.find(cls="#32770") is None, "PNG: the file named on the command line opens without a box")
        s.compare("PNG: the relativity version is lumirun-render's", expected.rendered(png, observer), 0, 0)
        s.menu("v", "o")
        s.compare("PNG: \"Original\" shows the file's pixels", upright, 0, 0)

        # lumirun-render at rest renders the picture as it reads it.
        open_through_chooser(s, photo)
        s.check(s.find(cls="#32770") is None, "phone photo: opens through the chooser without a box")
        read = os.path.join(folder, "phone photo as read.png")
        expected.lumirun_render(photo, read, observer, 0)
        as_read = Picture.from_ppm(subprocess.run(["convert", read, "ppm:-"], capture_output=True, check=True,
                                                  timeout=60).stdout)
        half_round = Picture(width, height, b"".join(upright.data[i:i + 3]
                                                     for i in range(len(upright.data) - 3, -1, -3)))
        moved = max(abs(p - q) for p, q in zip(as_read.data, upright.data))
        s.check((as_read.width, as_read.height) == (width, height)
                and mean_difference(as_read, upright) < mean_difference(as_read, half_round) and moved > 20,
                "phone photo: lumirun-render reads it upright and moves its colours (P3 to sRGB)",
                f"{as_read.width} by {as_read.height}, colours moved by at most {moved}")
        s.compare("phone photo: the relativity version is lumirun-render's", expected.rendered(photo, observer),
                  0, 0)
        s.menu("v", "o")
        s.compare("phone photo: \"Original\" shows it upright and in sRGB, as lumirun-render reads it",
                  as_read, 0, 0)

        # "Settings!" > "Render Quality....": the fifth choice.
        s.menu("s")
        dialog = s.wait_window("Settings", owner=s.main)
        s.click_control(s.child(dialog["hwnd"], SETTINGS_RENDER_QUALITY))
        quality = s.wait_window("Render Quality", owner=dialog["hwnd"])
        if args.shots:
            s.wait_idle()
            time.sleep(0.3)
            save_shot(quality, os.path.join(args.shots, "render-quality.png"))
        smooth = s.child(quality["hwnd"], QUALITY_SMOOTH)
        s.check(smooth["text"] == "Smooth (no gaps)" and smooth["check"] == 0,
                "smooth: \"Smooth (no gaps)\" is offered, off", f"{smooth['text']!r} check {smooth['check']}")
        s.click_control(smooth)
        on = poll(lambda: [c["id"] for c in s.children(quality["hwnd"]) if c["check"] == 1] == [QUALITY_SMOOTH],
                  timeout=5)
        s.check(on, "smooth: a click leaves it alone on")
        s.click_control(s.child(quality["hwnd"], QUALITY_OK))
        s.wait_gone(quality["hwnd"], "the Render Quality dialog")
        s.click_control(s.child(dialog["hwnd"], SETTINGS_RENDER_IT))
        s.wait_gone(dialog["hwnd"], "the Settings dialog")
        s.wait_idle(timeout=120)
        s.compare("smooth: the window shows lumirun-render --quality smooth's picture",
                  expected.rendered(photo, observer, 50, 5), 0, 0)
        saved = os.path.join(folder, "smooth save.jpg")
        save_through_chooser(s, saved)
        reference = os.path.join(folder, "smooth reference.jpg")
        expected.lumirun_render(photo, reference, observer, 50, 5)
        s.check(os.path.isfile(saved) and same_file(saved, reference),
                "smooth: the saved file equals lumirun-render --quality smooth's, byte for byte")
        code = s.quit_and_exit_code(lambda: s.menu("f", "q"))
        s.check(code == 0, "phone photo: \"&Quit\" ends the program with exit code 0", f"exit code {code}")
    finally:
        s.kill()


SESSIONS = {
    "main": run_main_session,
    "close-box": lambda args, probe, results, folder: run_close_box_session(args, probe, results),
    "open-save": run_open_save_session,
    "non-ascii": run_non_ascii_session,
    "file-argument": run_file_argument_session,
    "phone-photo": run_phone_photo_session,
    "help-unquoted": lambda args, probe, results, folder: run_help_session(args, probe, results, quoted=False),
    "help-quoted": lambda args, probe, results, folder: run_help_session(args, probe, results, quoted=True),
    "help-non-ascii": run_help_non_ascii_session,
}


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--exe", required=True, help="lumirun.exe")
    parser.add_argument("--probe", required=True, help="lumirun_probe.exe")
    parser.add_argument("--render", required=True, help="lumirun-render (native, or a .exe run through Wine)")
    parser.add_argument("--sample", required=True, help="the sample JPEG picture")
    parser.add_argument("--sessions", default="main,close-box",
                        help=f"comma-separated, run in this order, from: {', '.join(SESSIONS)}")
    parser.add_argument("--help-source", help="the help's source (its title and keywords), for the help sessions")
    parser.add_argument("--homepage", default="", help="the LUMIRUN_HOMEPAGE the program was built with")
    parser.add_argument("--make-profile", help="the native lumirun_make_profile, for the phone-photo session")
    parser.add_argument("--shots", help="a folder for screenshots to look at (the Render Quality dialog)")
    args = parser.parse_args()
    sessions = args.sessions.split(",")
    unknown = [name for name in sessions if name not in SESSIONS]
    if unknown:
        parser.error(f"unknown sessions: {', '.join(unknown)}")
    if any(name.startswith("help") for name in sessions) and not args.help_source:
        parser.error("the help sessions need --help-source")
    args.render = ["wine", args.render] if args.render.lower().endswith(".exe") else [args.render]
    for variable in ("DISPLAY", "WINEPREFIX"):
        if not os.environ.get(variable):
            sys.exit(f"{variable} is not set: run this through scripts/test.sh windows-tests")

    started = time.monotonic()
    results = []
    probe = Probe(args.probe)
    try:
        with tempfile.TemporaryDirectory(prefix="lumirun-e2e-") as folder:
            for name in sessions:
                try:
                    SESSIONS[name](args, probe, results, folder)
                except (Failure, subprocess.SubprocessError, OSError) as error:
                    results.append((False, "session", str(error)))
                    print(f"FAILED session: {error}", flush=True)
    finally:
        probe.close()
    passed = sum(1 for ok, _, _ in results if ok)
    failed = len(results) - passed
    print(f"end-to-end: {time.monotonic() - started:.1f} s")
    print(f"{passed} passed, {failed} failed")
    return 0 if failed == 0 and passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
