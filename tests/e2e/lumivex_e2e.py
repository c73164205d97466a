#!/usr/bin/env python3
"""End-to-end test of the real program under its own Xvfb.

Starts lumivex, finds the preview and the control window by where they stand, checks that
the preview shows the default scene (the exact gradient at both side edges, the glass
text's colours in the middle), types a new text into the text field and waits for the
preview to change, saves a settings file and an image through the menu and the file
chooser, compares the saved bitmap with the screen, and closes a window: the program must
end with exit code 0.

Exit codes: 0 passed, 1 failed, 77 skipped (Xvfb or xdotool missing).
On failure the screenshots and the program's output are kept and their paths printed.
"""

import argparse
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # leave no cache files in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xsession  # noqa: E402
from xsession import Timeout, wait_until  # noqa: E402

SCREEN_W, SCREEN_H = 1920, 1080
PREVIEW_W, PREVIEW_H = 800, 200
CONTROL_W, CONTROL_H = 800, 200
TOP_GREY, BOTTOM_GREY = 0xF0, 0x70  # the default background colours
NEW_TEXT = "Glas"
ID_LINE_START = "Bilddaten für Lumivex".encode("cp1252")
BMP_SIZE = 54 + 3 * PREVIEW_W * PREVIEW_H


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


# ---------------------------------------------------------------------------------------
# What the default scene must look like, worked out here from the colour rules alone.


def float32(value):
    return struct.unpack("<f", struct.pack("<f", value))[0]


def gradient_row(i, height=PREVIEW_H, top=TOP_GREY, bottom=BOTTOM_GREY):
    """One channel of frame row i of the background gradient (frame height 2 × height)."""
    t = float32(i / (height * 2.0))
    u = float32(1.0 - t)
    return round(u * top + t * bottom)  # round() breaks ties to even


def expected_edge_grey(j):
    """Preview row j at the side edges: the mean of frame rows 2j−1 and 2j (row −1 reads
    as row 0), two columns each, rounded as (a + b + c + d + 2) / 4."""
    a = gradient_row(max(2 * j - 1, 0))
    b = gradient_row(2 * j)
    return (a + a + b + b + 2) // 4


def check_gradient_edges(image, what):
    """The leftmost and rightmost 8 columns are pure gradient: the text and its reflection
    stand in the middle."""
    bad = []
    for j in range(image.height):
        grey = expected_edge_grey(j)
        for x in list(range(8)) + list(range(image.width - 8, image.width)):
            pixel = image.pixel(x, j)
            if pixel != (grey, grey, grey):
                bad.append(f"({x}, {j}) is {pixel}, expected {(grey,) * 3}")
    check(not bad, f"{what}: {len(bad)} gradient pixels at the side edges are wrong, e.g. "
          + "; ".join(bad[:4]))


def check_glass_text(image, what):
    """Somewhere in the middle the glass text shows: the red body of the default text
    colour and the white of its top bands (whiter than any background pixel)."""
    red = white = 0
    for y in range(image.height):
        for x in range(150, image.width - 150):
            r, g, b = image.pixel(x, y)
            if r > g + 40 and r > b + 40:
                red += 1
            elif y < image.height // 2 and min(r, g, b) >= 250:
                white += 1
    check(red >= 200, f"{what}: only {red} strongly red pixels in the middle, the glass text is missing")
    check(white >= 10, f"{what}: only {white} near-white pixels in the upper middle, the text's top bands are missing")


# ---------------------------------------------------------------------------------------


class Run:
    def __init__(self, args):
        self.args = args
        self.workdir = tempfile.mkdtemp(prefix="lumivex-e2e-")
        self.server = None
        self.display = None
        self.program = None
        self.program_log = os.path.join(self.workdir, "program.log")
        self.shots = []

    # -- helpers --------------------------------------------------------------------

    def step(self, message):
        print(f"[{time.monotonic() - self.started:6.2f} s] {message}", flush=True)

    def shot(self, name, image):
        if image is not None:
            self.shots.append(image.save_png(os.path.join(self.workdir, name + ".png")))

    def grab_window(self, geometry):
        x, y, w, h = geometry
        image = self.display.grab(x, y, w, h)
        check(image is not None, f"screenshot of {w}x{h}+{x}+{y} failed")
        return image

    def preview(self):
        return self.grab_window(self.preview_geometry)

    def control(self):
        return self.grab_window(self.control_geometry)

    def program_alive(self):
        code = self.program.poll()
        check(code is None, f"the program ended unexpectedly with exit code {code}")

    def wait_stable(self, grab, what, timeout=10.0):
        """Waits until two screenshots 60 ms apart are equal; returns the last one."""
        last = [grab()]

        def probe():
            time.sleep(0.06)
            self.program_alive()
            now = grab()
            same = now == last[0]
            last[0] = now
            return same

        wait_until(probe, timeout, interval=0, what=what)
        return last[0]

    # -- the steps ------------------------------------------------------------------

    def start(self):
        self.started = time.monotonic()
        self.server = xsession.Xvfb(SCREEN_W, SCREEN_H)
        self.step(f"Xvfb runs on display {self.server.display}")
        self.display = xsession.XDisplay(self.server.display)
        env = self.server.env()
        env["QT_QPA_PLATFORM"] = "xcb"
        runtime = os.path.join(self.workdir, "runtime")
        os.mkdir(runtime, 0o700)
        env["XDG_RUNTIME_DIR"] = runtime
        self.xdo = xsession.Xdo(env)
        self.spawned_at = time.monotonic()
        with open(self.program_log, "wb") as log:
            # The file chooser opens in the working folder; keep it in the scratch folder.
            self.program = xsession.spawn([self.args.program], cwd=self.workdir, env=env,
                                          stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
        self.step(f"started {self.args.program} (pid {self.program.pid})")

    def find_windows(self):
        preview_at = (SCREEN_W // 2 - 400, SCREEN_H // 2 + 30)
        control_at = (SCREEN_W // 2 - 400, SCREEN_H // 2 - 200)
        found = {}

        def probe():
            self.program_alive()
            found.clear()
            for window in self.xdo.search("^Lumivex$"):
                geometry = self.xdo.geometry(window)
                if geometry:
                    found[window] = geometry
            return len(found) >= 2

        try:
            wait_until(probe, 20.0, interval=0.05, what='two visible windows named "Lumivex"')
        except Timeout as error:
            raise Failure(f"{error}; found {found}") from None
        check(len(found) == 2, f'expected two windows named "Lumivex", found {found}')
        by_place = {geometry[:2]: (window, geometry) for window, geometry in found.items()}
        check(preview_at in by_place, f"no window stands at the preview's place {preview_at}: {found}")
        check(control_at in by_place, f"no window stands at the control window's place {control_at}: {found}")
        self.preview_window, self.preview_geometry = by_place[preview_at]
        self.control_window, self.control_geometry = by_place[control_at]
        check(self.preview_geometry[2:] == (PREVIEW_W, PREVIEW_H),
              f"preview client area is {self.preview_geometry[2:]}, expected {(PREVIEW_W, PREVIEW_H)}")
        check(self.control_geometry[2:] == (CONTROL_W, CONTROL_H),
              f"control window is {self.control_geometry[2:]}, expected {(CONTROL_W, CONTROL_H)}")
        self.step(f"preview window {self.preview_window:#x} at {self.preview_geometry}, "
                  f"control window {self.control_window:#x} at {self.control_geometry}")

    def check_default_scene(self):
        try:
            wait_until(lambda: self.program_alive() or self.preview().pixel(0, 0) == (240, 240, 240),
                       20.0, what="the first frame (top-left preview pixel (240, 240, 240))")
        except Timeout as error:
            self.shot("preview-no-first-frame", self.preview())
            raise Failure(str(error)) from None
        self.step("the first frame is presented")
        image = self.wait_stable(self.preview, "a steady preview")
        self.shot("preview-default", image)
        self.shot("control-default", self.control())
        check_gradient_edges(image, "default scene")
        check_glass_text(image, "default scene")
        self.step(f"default scene ok: edge pixels from {image.pixel(0, 0)} down to {image.pixel(0, PREVIEW_H - 1)}, "
                  f"glass text in the middle")
        self.default_image = image

    def locate_controls(self):
        """Finds the tab row and the "Text" tab in the control window from its pixels."""
        image = self.control()
        # The pane of the tab control is plain at its right end; its top border is the first
        # clearly different pixel above its middle.
        x = CONTROL_W - 10
        inside = image.pixel(x, CONTROL_H // 2)
        y = CONTROL_H // 2
        while y > 0 and max(abs(a - b) for a, b in zip(image.pixel(x, y), inside)) < 30:
            y -= 1
        check(y > 10, "cannot find the top of the tab control's pane")
        self.pane_top = y
        # Right of the last tab the row shows the window's background.
        row = y - 8
        background = image.pixel(x, row)
        x_end = x
        while x_end > 0 and max(abs(a - b) for a, b in zip(image.pixel(x_end, row), background)) < 30:
            x_end -= 1
        check(x_end > 100, "cannot find the end of the tab row")
        self.text_tab = (x_end - 14, y - 10)

    def find_text_field(self):
        """Field 33: the first pure white run below the pane's top in the field's column."""
        image = self.control()
        x = 7 + 15 + 95
        for y in range(self.pane_top + 1, min(self.pane_top + 80, CONTROL_H)):
            if image.pixel(x, y) == (255, 255, 255):
                return (x, y + 8)
        return None

    def select_text_page(self):
        """Clicks the "Text" tab; returns where field 33 stands in the control window."""
        self.locate_controls()
        cx, cy = self.control_geometry[:2]
        self.xdo.click(cx + self.text_tab[0], cy + self.text_tab[1])
        try:
            field = wait_until(self.find_text_field, 5.0, what='the "Text" page with field 33')
        except Timeout as error:
            self.shot("control-no-text-page", self.control())
            raise Failure(str(error)) from None
        self.step(f'"Text" tab selected; field 33 at {field} in the control window')
        return field

    def type_new_text(self):
        field = self.select_text_page()
        cx, cy = self.control_geometry[:2]
        before = self.preview()
        self.xdo.click(cx + field[0], cy + field[1])
        self.xdo.key("ctrl+a")
        self.xdo.type(NEW_TEXT)
        try:
            wait_until(lambda: self.program_alive() or self.preview() != before, 10.0,
                       what=f'the preview to change after typing "{NEW_TEXT}"')
        except Timeout as error:
            self.shot("control-after-typing", self.control())
            self.shot("preview-after-typing", self.preview())
            raise Failure(str(error)) from None
        image = self.wait_stable(self.preview, "a steady preview after typing")
        self.shot("preview-glas", image)
        self.shot("control-glas", self.control())
        check(image != self.default_image, "the preview came back to the old picture")
        check_gradient_edges(image, f'scene with "{NEW_TEXT}"')
        check_glass_text(image, f'scene with "{NEW_TEXT}"')
        self.step(f'typed "{NEW_TEXT}"; the preview shows the new text')
        self.new_image = image

    def menu_command(self, downs, title, path):
        """Opens "Datei", picks the item `downs` places down, and saves under `path`."""
        cx, cy = self.control_geometry[:2]
        menu_area = (cx, cy + 18, 240, 80)  # where the drop-down opens
        before = self.grab_window(menu_area)
        self.xdo.click(cx + 20, cy + 8)
        try:
            wait_until(lambda: self.grab_window(menu_area) != before, 5.0, what='the menu "Datei" to open')
        except Timeout as error:
            self.shot("control-no-menu", self.control())
            raise Failure(str(error)) from None
        self.xdo.key(*(["Down"] * downs), "Return")
        try:
            dialogs = wait_until(lambda: self.program_alive() or self.xdo.search(f"^{title}$"), 10.0,
                                 what=f'the file chooser "{title}"')
        except Timeout as error:
            self.shot("screen-no-chooser", self.display.grab(0, 0, SCREEN_W, SCREEN_H))
            raise Failure(str(error)) from None
        dialog = dialogs[0]
        try:
            wait_until(lambda: self.xdo.run("getwindowfocus", check=False).stdout.strip() == str(dialog),
                       5.0, what=f'the file chooser "{title}" to take the keyboard focus')
        except Timeout as error:
            self.shot("screen-chooser-unfocused", self.display.grab(0, 0, SCREEN_W, SCREEN_H))
            raise Failure(str(error)) from None
        self.xdo.key("ctrl+a")
        self.xdo.type(path)
        self.xdo.key("Return")
        try:
            wait_until(lambda: self.program_alive() or not self.xdo.search(f"^{title}$"), 10.0,
                       what=f'the file chooser "{title}" to close')
        except Timeout as error:
            self.shot("screen-chooser-open", self.display.grab(0, 0, SCREEN_W, SCREEN_H))
            raise Failure(str(error)) from None

    def wait_for_file(self, path, size=None):
        def probe():
            self.program_alive()
            return os.path.isfile(path) and (size is None or os.path.getsize(path) == size)

        try:
            wait_until(probe, 10.0, what=f"the file {path}")
        except Timeout:
            state = f"{os.path.getsize(path)} bytes" if os.path.exists(path) else "missing"
            extra = [w for w in self.xdo.search("^Lumivex$")
                     if w not in (self.preview_window, self.control_window)]
            if extra:
                state += "; a message box is open"
            raise Failure(f"{path}: {state}" + (f", expected {size} bytes" if size else "")) from None
        with open(path, "rb") as data:
            return data.read()

    def save_settings(self):
        path = os.path.join(self.workdir, "scene.lvx")
        self.menu_command(2, "Bilddaten speichern", path)
        data = self.wait_for_file(path)
        check(data.startswith(ID_LINE_START), f"{path} begins with {data[:24]!r}, not the identification line")
        first_end = data.find(b"\r\n")
        check(first_end > 0, f"{path}: no CR LF after the identification line")
        width, height = struct.unpack_from("<ii", data, first_end + 2)
        check((width, height) == (PREVIEW_W, PREVIEW_H), f"{path}: width and height {width}, {height}")
        check(b"\r\n" + NEW_TEXT.encode("cp1252") + b"\r\n" in data,
              f'{path} holds no text line "{NEW_TEXT}"')
        self.step(f"settings saved through the menu: {path} ({len(data)} bytes)")

    def save_image(self):
        path = os.path.join(self.workdir, "image.bmp")
        self.menu_command(3, "Bild speichern", path)
        data = self.wait_for_file(path, BMP_SIZE)
        check(data[:2] == b"BM", f"{path} begins with {data[:2]!r}, not BM")
        offset, = struct.unpack_from("<I", data, 10)
        width, height, planes, bits = struct.unpack_from("<iiHH", data, 18)
        check((offset, width, height, planes, bits) == (54, PREVIEW_W, PREVIEW_H, 1, 24),
              f"{path}: header says offset {offset}, {width}x{height}, {planes} planes, {bits} bits")
        # Rows bottom-up, pixels blue, green, red; 2400 bytes a row need no padding.
        row_size = PREVIEW_W * 3
        rgb = bytearray(PREVIEW_W * PREVIEW_H * 3)
        for j in range(PREVIEW_H):
            row = data[54 + (PREVIEW_H - 1 - j) * row_size:54 + (PREVIEW_H - j) * row_size]
            out = j * row_size
            rgb[out + 0:out + row_size:3] = row[2::3]
            rgb[out + 1:out + row_size:3] = row[1::3]
            rgb[out + 2:out + row_size:3] = row[0::3]
        saved = xsession.Image(PREVIEW_W, PREVIEW_H, rgb)
        self.shot("saved-image", saved)
        screen = self.new_image
        differ = [] if saved == screen else [(x, y) for y in range(PREVIEW_H) for x in range(PREVIEW_W)
                                             if saved.pixel(x, y) != screen.pixel(x, y)]
        check(not differ, f"{path}: {len(differ)} pixels differ from the preview on the screen, e.g. "
              + "; ".join(f"{p}: file {saved.pixel(*p)}, screen {screen.pixel(*p)}" for p in differ[:4]))
        self.step(f"image saved through the menu: {path} ({len(data)} bytes), equal to the preview "
                  f"(top-left {saved.pixel(0, 0)}, middle {saved.pixel(400, 100)})")

    def close_window(self):
        which = self.args.close
        window = self.preview_window if which == "preview" else self.control_window
        check(self.display.request_close(window), f"sending the close request to the {which} window failed")
        try:
            code = self.program.wait(10.0)
        except subprocess.TimeoutExpired:
            still = [w for w in (self.preview_window, self.control_window) if self.xdo.geometry(w)]
            raise Failure(f"the program did not end within 10 s after the {which} window was asked to close "
                          f"(WM_DELETE_WINDOW); {len(still)} of its windows are still open") from None
        check(code == 0, f"the program ended with exit code {code} after the {which} window was closed")
        self.step(f"closed the {which} window: the program ended with exit code 0")

    def cleanup(self, passed):
        if not passed and self.display is not None:
            try:
                self.shot("screen-at-end", self.display.grab(0, 0, self.server.width, self.server.height))
            except Exception:  # the server may be gone; the other files still help
                pass
        if self.program is not None and self.program.poll() is None:
            xsession.stop_process(self.program)
        if self.display is not None:
            self.display.close()
        if self.server is not None:
            self.server.close()
        if passed and not self.args.keep:
            shutil.rmtree(self.workdir, ignore_errors=True)
        else:
            print(f"kept for inspection: {self.workdir}")
            for path in self.shots:
                print(f"  screenshot {path}")
            if os.path.exists(self.program_log):
                print(f"  program output {self.program_log}:")
                with open(self.program_log, errors="replace") as log:
                    for line in log.read().splitlines()[-20:]:
                        print(f"    {line}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True, help="path of the lumivex binary")
    parser.add_argument("--close", choices=("preview", "control"), default="preview",
                        help="which window to close at the end")
    parser.add_argument("--keep", action="store_true", help="keep the screenshots and files")
    args = parser.parse_args()
    args.program = os.path.abspath(args.program)

    if not os.access(args.program, os.X_OK):
        print(f"FAIL: {args.program} is not an executable program")
        return 1
    missing = [tool for tool in ("Xvfb", "xdotool") if shutil.which(tool) is None]
    if missing:
        print("SKIP: missing " + ", ".join(missing) + " (Debian packages xvfb, xdotool)")
        return 77

    # A test timeout or Ctrl+C still takes the server and the program down.
    def interrupted(signum, _frame):
        raise KeyboardInterrupt(f"signal {signum}")

    signal.signal(signal.SIGTERM, interrupted)

    run = Run(args)
    passed = False
    try:
        run.start()
        run.find_windows()
        run.check_default_scene()
        run.type_new_text()
        run.save_settings()
        run.save_image()
        run.close_window()
        passed = True
        print(f"PASS ({time.monotonic() - run.started:.1f} s)")
    except (Failure, Timeout) as error:
        print(f"FAIL: {error}")
    except KeyboardInterrupt as error:
        print(f"FAIL: interrupted ({error})")
    except Exception as error:  # a broken tool or environment: still clean up and say what
        print(f"FAIL: {type(error).__name__}: {error}")
    finally:
        run.cleanup(passed)
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())
