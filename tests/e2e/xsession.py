"""A private X server for driving the real program: Xvfb, screenshots, input, close requests.

Only the Python standard library is used. Screenshots are read straight from the X server
with Xlib's XGetImage (through ctypes), which is what ImageMagick's `import` does too, but
without starting a process per picture. Mouse and keyboard go through xdotool (XTEST),
so the program sees real input events. Without a window manager a window stands exactly
where the program put it, and a close request is the WM_DELETE_WINDOW client message that
a window manager would send for the close box.
"""

import ctypes
import ctypes.util
import os
import select
import shutil
import signal
import struct
import subprocess
import time
import zlib

# ---------------------------------------------------------------------------------------
# Polling


class Timeout(Exception):
    pass


def wait_until(probe, timeout, interval=0.02, what="condition"):
    """Calls probe() until it returns something true; returns that value.

    Raises Timeout after `timeout` seconds. Never sleeps longer than `interval` at once.
    """
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise Timeout(f"timed out after {timeout:.1f} s waiting for {what}")
        time.sleep(interval)


# ---------------------------------------------------------------------------------------
# Child processes


def _die_with_parent():
    # If this script is killed (a test timeout sends SIGKILL), the server and the program
    # must not live on.
    libc = ctypes.CDLL(ctypes.util.find_library("c") or "libc.so.6", use_errno=True)
    PR_SET_PDEATHSIG = 1
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def spawn(args, **kwargs):
    return subprocess.Popen(args, preexec_fn=_die_with_parent, **kwargs)


def stop_process(process, grace=3.0):
    """Ends a child that is still running: SIGTERM, then SIGKILL after `grace` seconds."""
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(grace)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def require_tools(*names):
    missing = [name for name in names if shutil.which(name) is None]
    if missing:
        raise RuntimeError("missing tools: " + ", ".join(missing)
                           + " (Debian packages xvfb, xdotool)")


class Xvfb:
    """An Xvfb server on a display number that the server picks itself (-displayfd),
    so parallel runs never collide."""

    def __init__(self, width=1920, height=1080, timeout=15.0):
        require_tools("Xvfb", "xdotool")
        self.width = width
        self.height = height
        read_end, write_end = os.pipe()
        try:
            self.process = spawn(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
                 "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            os.close(write_end)
            write_end = -1
            number = b""
            deadline = time.monotonic() + timeout
            while not number.endswith(b"\n"):
                left = deadline - time.monotonic()
                ready, _, _ = select.select([read_end], [], [], max(0.0, left))
                if not ready:
                    raise Timeout(f"Xvfb did not report a display within {timeout:.0f} s")
                chunk = os.read(read_end, 16)
                if not chunk:
                    err = self.process.stderr.read().decode(errors="replace") if self.process.poll() is not None else ""
                    raise RuntimeError("Xvfb ended before it was ready: " + err.strip())
                number += chunk
            self.display = ":" + number.decode().strip()
        except BaseException:
            self.close()
            raise
        finally:
            if write_end >= 0:
                os.close(write_end)
            os.close(read_end)
        # The server's messages are not needed once it runs; keep the pipe from filling.
        self.process.stderr.close()

    def env(self, base=None):
        env = dict(os.environ if base is None else base)
        env["DISPLAY"] = self.display
        env.pop("WAYLAND_DISPLAY", None)
        return env

    def close(self):
        stop_process(getattr(self, "process", None))


# ---------------------------------------------------------------------------------------
# Xlib through ctypes


class _XImage(ctypes.Structure):
    _fields_ = [
        ("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
        ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_char)),
        ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
        ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
        ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
        ("bits_per_pixel", ctypes.c_int), ("red_mask", ctypes.c_ulong),
        ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong),
    ]


class _XClientMessageEvent(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
        ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
        ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
        ("l", ctypes.c_long * 5),
    ]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _XClientMessageEvent), ("pad", ctypes.c_long * 24)]


_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)

_ZPixmap = 2
_ClientMessage = 33
_AllPlanes = ctypes.c_ulong(0xFFFFFFFFFFFFFFFF)


class Image:
    """An RGB picture: `rgb` holds width × height × 3 bytes, rows top to bottom."""

    def __init__(self, width, height, rgb):
        self.width = width
        self.height = height
        self.rgb = bytes(rgb)

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])

    def crop(self, x, y, width, height):
        rows = [self.rgb[((y + j) * self.width + x) * 3:((y + j) * self.width + x + width) * 3]
                for j in range(height)]
        return Image(width, height, b"".join(rows))

    def __eq__(self, other):
        return (isinstance(other, Image) and self.width == other.width
                and self.height == other.height and self.rgb == other.rgb)

    def __hash__(self):
        return hash((self.width, self.height, self.rgb))

    def save_png(self, path):
        raw = b"".join(b"\x00" + self.rgb[y * self.width * 3:(y + 1) * self.width * 3]
                       for y in range(self.height))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        with open(path, "wb") as out:
            out.write(b"\x89PNG\r\n\x1a\n")
            out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)))
            out.write(chunk(b"IDAT", zlib.compress(raw, 6)))
            out.write(chunk(b"IEND", b""))
        return path


class XDisplay:
    """One Xlib connection for screenshots and close requests."""

    def __init__(self, display_name):
        path = ctypes.util.find_library("X11") or "libX11.so.6"
        self.x11 = x11 = ctypes.CDLL(path)
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XGetImage.restype = ctypes.POINTER(_XImage)
        x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                  ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x11.XDestroyImage.argtypes = [ctypes.POINTER(_XImage)]
        x11.XInternAtom.restype = ctypes.c_ulong
        x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                   ctypes.POINTER(_XEvent)]
        x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        x11.XSetErrorHandler.restype = ctypes.c_void_p
        x11.XSetErrorHandler.argtypes = [_ERROR_HANDLER]

        # Xlib's default handler ends the process on any protocol error (a window that is
        # gone, a region off the screen); count them instead and let callers see failures.
        self.errors = 0

        def on_error(_display, _event):
            self.errors += 1
            return 0

        self._handler = _ERROR_HANDLER(on_error)
        x11.XSetErrorHandler(self._handler)
        self.dpy = x11.XOpenDisplay(display_name.encode())
        if not self.dpy:
            raise RuntimeError(f"cannot open X display {display_name}")
        self.root = x11.XDefaultRootWindow(self.dpy)

    def close(self):
        if self.dpy:
            self.x11.XCloseDisplay(self.dpy)
            self.dpy = None

    def grab_raw(self, x, y, width, height):
        """The screen region as the server holds it (32-bit pixels), or None on failure.

        Cheap to compare for equality; use grab() for colours."""
        image = self.x11.XGetImage(self.dpy, self.root, x, y, width, height, _AllPlanes, _ZPixmap)
        if not image:
            return None
        try:
            im = image.contents
            if im.bits_per_pixel != 32:
                raise RuntimeError(f"unexpected screen format: {im.bits_per_pixel} bits per pixel")
            data = ctypes.string_at(im.data, im.bytes_per_line * im.height)
            if im.bytes_per_line != width * 4:
                data = b"".join(data[j * im.bytes_per_line:j * im.bytes_per_line + width * 4]
                                for j in range(height))
            masks = (im.red_mask, im.green_mask, im.blue_mask)
            return data, masks
        finally:
            self.x11.XDestroyImage(image)

    def grab(self, x, y, width, height):
        """The screen region as an Image, or None on failure."""
        raw = self.grab_raw(x, y, width, height)
        if raw is None:
            return None
        return to_image(raw, width, height)

    def request_close(self, window):
        """Sends WM_DELETE_WINDOW, as a window manager does for the close box."""
        protocols = self.x11.XInternAtom(self.dpy, b"WM_PROTOCOLS", 0)
        delete = self.x11.XInternAtom(self.dpy, b"WM_DELETE_WINDOW", 0)
        event = _XEvent()
        event.xclient.type = _ClientMessage
        event.xclient.window = window
        event.xclient.message_type = protocols
        event.xclient.format = 32
        event.xclient.l[0] = delete
        event.xclient.l[1] = 0  # CurrentTime
        status = self.x11.XSendEvent(self.dpy, window, 0, 0, ctypes.byref(event))
        self.x11.XSync(self.dpy, 0)
        return status != 0


class XPointer:
    """The mouse through the XTEST extension, on a connection of its own, so that a thread
    can drag while another one takes screenshots."""

    def __init__(self, display_name):
        self.x11 = x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        self.xtst = xtst = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XFlush.argtypes = [ctypes.c_void_p]
        x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                                              ctypes.c_ulong]
        xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.dpy = x11.XOpenDisplay(display_name.encode())
        if not self.dpy:
            raise RuntimeError(f"cannot open X display {display_name}")

    def move(self, x, y):
        self.xtst.XTestFakeMotionEvent(self.dpy, 0, int(x), int(y), 0)
        self.x11.XFlush(self.dpy)

    def button(self, pressed, number=1):
        self.xtst.XTestFakeButtonEvent(self.dpy, number, 1 if pressed else 0, 0)
        self.x11.XSync(self.dpy, 0)

    def close(self):
        if self.dpy:
            self.x11.XCloseDisplay(self.dpy)
            self.dpy = None


def to_image(raw, width, height):
    data, masks = raw
    offsets = []
    for mask in masks:
        shift = (mask & -mask).bit_length() - 1
        if mask >> shift != 0xFF or shift % 8:
            raise RuntimeError(f"unexpected colour mask {mask:#x}")
        offsets.append(shift // 8)  # little-endian pixels: byte index of the channel
    rgb = bytearray(width * height * 3)
    for channel, offset in enumerate(offsets):
        rgb[channel::3] = data[offset::4]
    return Image(width, height, rgb)


# ---------------------------------------------------------------------------------------
# xdotool


class Xdo:
    def __init__(self, env):
        self.env = env

    def run(self, *args, check=True):
        result = subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True,
                                text=True, timeout=20)
        if check and result.returncode != 0:
            raise RuntimeError(f"xdotool {' '.join(map(str, args))} failed: {result.stderr.strip()}")
        return result

    def search(self, name_regex):
        result = self.run("search", "--onlyvisible", "--name", name_regex, check=False)
        return [int(line) for line in result.stdout.split()]

    def geometry(self, window):
        """(x, y, width, height) of a window on the screen, or None if it is gone."""
        result = self.run("getwindowgeometry", "--shell", window, check=False)
        if result.returncode != 0:
            return None
        values = dict(line.split("=", 1) for line in result.stdout.split() if "=" in line)
        try:
            return tuple(int(values[key]) for key in ("X", "Y", "WIDTH", "HEIGHT"))
        except (KeyError, ValueError):
            return None

    def name(self, window):
        return self.run("getwindowname", window, check=False).stdout.rstrip("\n")

    def click(self, x, y):
        self.run("mousemove", x, y, "click", "1")

    def key(self, *keys):
        self.run("key", "--clearmodifiers", *keys)

    def type(self, text):
        self.run("type", "--delay", 12, "--", text)
