#!/usr/bin/env python3
"""Measures the real program under its own Xvfb (run through scripts/measure-ui.sh).

(a) Start-up: the time from process start to the first presented frame, the median of
    several starts. A frame counts as presented when the preview's top-left pixel shows
    the gradient's top colour (240, 240, 240); the pixel is polled through XGetImage.
(b) Live preview: while slider 47 ("Helligkeit nach oben") is dragged back and forth
    continuously at 800 × 200, how many frames per second the preview presents. The
    preview is sampled as fast as possible and every change between two samples counts
    as one new frame, so the figure is a lower bound: two presentations between two
    samples count once, and a frame presented again unchanged does not count.
"""

import argparse
import math
import os
import statistics
import sys
import threading
import time

sys.dont_write_bytecode = True  # leave no cache files in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xsession  # noqa: E402
from lumivex_e2e import Failure, Run, check  # noqa: E402
from xsession import Timeout, wait_until  # noqa: E402

TOP_GREY = (240, 240, 240)


class Quiet(Run):
    def step(self, message):
        if self.args.verbose:
            super().step(message)


def measure_start(args):
    """Seconds from process start to the first presented frame, and the polling steps."""
    run = Quiet(args)
    passed = False
    try:
        run.start()
        x, y = run.server.width // 2 - 400, run.server.height // 2 + 30  # the preview's place
        steps = []
        last = time.monotonic()
        deadline = run.spawned_at + 30.0
        while True:
            image = run.display.grab(x, y, 1, 1)
            now = time.monotonic()
            steps.append(now - last)
            last = now
            if image is not None and image.pixel(0, 0) == TOP_GREY:
                elapsed = now - run.spawned_at
                break
            run.program_alive()
            check(now < deadline, "no frame within 30 s of the start")
            time.sleep(0.0005)
        passed = True
        return elapsed, steps
    finally:
        run.cleanup(passed)


def find_slider_handle(run, row_y):
    """The x extent of the handle of the slider whose groove runs through row_y of the
    control window: the handle is taller than the groove, so 6 rows above the groove only
    the handle differs from the page's background."""
    image = run.control()
    probe_y = row_y - 6
    left, right = 7 + 235, 7 + 235 + 190  # slider 47 on its page
    background = image.pixel(left - 4, probe_y)
    xs = [x for x in range(left, right)
          if max(abs(a - b) for a, b in zip(image.pixel(x, probe_y), background)) >= 30]
    check(xs, f"no slider handle found in row {probe_y} of the control window")
    check(4 <= max(xs) - min(xs) <= 40,
          f"what looks like the slider handle in row {probe_y} spans x {min(xs)} to {max(xs)}")
    return min(xs), max(xs)


def measure_drag(args):
    """Distinct preview frames per second while slider 47 is dragged."""
    run = Quiet(args)
    passed = False
    pointer = None
    try:
        run.start()
        run.find_windows()
        run.check_default_scene()
        run.select_text_page()
        # Slider 47 stands at (235, 80), 190 × 20 on the page, its groove in the middle.
        groove_y = run.pane_top + 2 + 80 + 10
        handle_left, handle_right = find_slider_handle(run, groove_y)
        cx, cy = run.control_geometry[:2]
        grab_x, grab_y = cx + (handle_left + handle_right) // 2, cy + groove_y
        sweep_left, sweep_right = cx + 7 + 235 + 10, cx + 7 + 235 + 180
        pointer = xsession.XPointer(run.server.display)
        pointer.move(grab_x, grab_y)
        time.sleep(0.05)
        pointer.button(True)

        stop = threading.Event()
        moves = [0]

        def drag():
            # Back and forth along the groove, one sweep a second, a motion event every
            # 4 ms (a 250 Hz mouse).
            begin = time.monotonic()
            start_x = grab_x
            while not stop.is_set():
                t = time.monotonic() - begin
                # Start where the handle was grabbed, then sweep between the ends.
                if t < 0.25:
                    x = start_x + (sweep_left - start_x) * (t / 0.25)
                else:
                    phase = (t - 0.25) * 2 * math.pi / 1.0
                    x = sweep_left + (sweep_right - sweep_left) * (0.5 - 0.5 * math.cos(phase))
                pointer.move(round(x), grab_y)
                moves[0] += 1
                time.sleep(0.004)

        mover = threading.Thread(target=drag)
        px, py, pw, ph = run.preview_geometry
        last = run.display.grab_raw(px, py, pw, ph)
        mover.start()
        begin = time.monotonic()
        samples = changes = 0
        change_times = []
        try:
            while time.monotonic() - begin < args.drag_seconds:
                raw = run.display.grab_raw(px, py, pw, ph)
                samples += 1
                if raw is not None and raw != last:
                    changes += 1
                    change_times.append(time.monotonic())
                    last = raw
        finally:
            duration = time.monotonic() - begin
            stop.set()
            mover.join()
            pointer.button(False)
        run.program_alive()
        check(changes > 0, "the preview did not change while the slider was dragged "
              "(the drag may have missed the handle)")
        gaps = [b - a for a, b in zip(change_times, change_times[1:])]
        passed = True
        return {
            "duration": duration, "samples": samples, "changes": changes, "moves": moves[0],
            "gaps": gaps,
        }
    finally:
        if pointer is not None:
            pointer.close()
        run.cleanup(passed)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--starts", type=int, default=5)
    parser.add_argument("--drag-seconds", type=float, default=3.0)
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()
    args.program = os.path.abspath(args.program)
    args.keep = False
    args.close = "preview"

    try:
        print(f"(a) start to first presented frame, {args.starts} starts, each under a fresh Xvfb 1920x1080:")
        times = []
        for index in range(args.starts):
            elapsed, steps = measure_start(args)
            times.append(elapsed)
            print(f"    start {index + 1}: {elapsed * 1000:7.1f} ms   (pixel polled every "
                  f"{statistics.mean(steps) * 1000:.2f} ms on average, at most {max(steps) * 1000:.2f} ms apart)")
        print(f"    median: {statistics.median(times) * 1000:.1f} ms  "
              f"(min {min(times) * 1000:.1f}, max {max(times) * 1000:.1f})")

        print(f"(b) slider 47 dragged back and forth for {args.drag_seconds:.1f} s at 800x200:")
        result = measure_drag(args)
        duration = result["duration"]
        fps = result["changes"] / duration
        print(f"    {result['moves']} pointer motions ({result['moves'] / duration:.0f}/s), "
              f"{result['samples']} preview samples ({result['samples'] / duration:.0f}/s, "
              f"one every {duration / result['samples'] * 1000:.2f} ms)")
        print(f"    {result['changes']} distinct preview frames in {duration:.2f} s: "
              f"{fps:.1f} frames per second (a lower bound)")
        if result["gaps"]:
            gaps = sorted(result["gaps"])
            print(f"    time between frames: median {statistics.median(gaps) * 1000:.1f} ms, "
                  f"90th percentile {gaps[int(0.9 * (len(gaps) - 1))] * 1000:.1f} ms, "
                  f"longest {gaps[-1] * 1000:.1f} ms")
    except (Failure, Timeout) as error:
        print(f"FAIL: {error}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
