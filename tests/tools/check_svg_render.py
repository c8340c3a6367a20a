"""Draws a clustering with `selvane --plot`, renders the SVG in headless
Chromium and checks the screenshot: the size the SVG asks for, real
content (many colours, much ink), and every cluster's mean-profile colour
on screen. Standard library only.

    python3 check_svg_render.py --selvane EXE --engine-library LIB --input CSV
                                --clusters K [--keep DIR]

Exit status 0 when the picture passes, 1 when it does not, 77 (skipped)
when no Chromium is installed (scripts/install-deps installs it).
"""

import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

CHROMIUM_NAMES = ["chromium", "chromium-browser", "google-chrome"]
# Offline and self-contained: nothing may reach for the network or a
# profile of the user's.
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                  "--no-first-run", "--disable-background-networking",
                  "--disable-component-update", "--disable-sync", "--hide-scrollbars",
                  "--force-device-scale-factor=1"]
SKIP = 77


def fail(message):
    print("check_svg_render: FAILED: " + message)
    sys.exit(1)


def read_png(path):
    """(width, height, rows of (r, g, b) tuples) of an 8-bit RGB or RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        fail("%s is not a PNG" % path)
    pos = 8
    idat = b""
    width = height = None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or colour not in (2, 6) or interlace != 0:
                fail("unexpected PNG format: depth %d, colour type %d, interlace %d"
                     % (depth, colour, interlace))
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * channels
    rows = []
    previous = bytearray(stride)
    at = 0
    for _ in range(height):
        kind = raw[at]
        line = bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + ((left + up) >> 1)) & 0xFF
            elif kind == 4:
                corner = previous[i - channels] if i >= channels else 0
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                predictor = left if pa <= pb and pa <= pc else (up if pb <= pc else corner)
                line[i] = (line[i] + predictor) & 0xFF
        rows.append([tuple(line[x:x + 3]) for x in range(0, stride, channels)])
        previous = line
    return width, height, rows


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--selvane", required=True)
    parser.add_argument("--engine-library", required=True)
    parser.add_argument("--input", required=True)
    parser.add_argument("--clusters", type=int, required=True)
    parser.add_argument("--keep", help="copy the SVG and the PNG here")
    args = parser.parse_args()

    chromium = next((shutil.which(n) for n in CHROMIUM_NAMES if shutil.which(n)), None)
    if chromium is None:
        print("check_svg_render: SKIPPED: no Chromium found (%s); run scripts/install-deps"
              % ", ".join(CHROMIUM_NAMES))
        return SKIP

    with tempfile.TemporaryDirectory(prefix="selvane-render-") as work:
        svg = os.path.join(work, "plot.svg")
        png = os.path.join(work, "plot.png")
        run = subprocess.run([args.selvane, args.input, "--clusters", str(args.clusters),
                              "--engine-library", args.engine_library, "--plot", svg, "--quiet",
                              "--output", os.path.join(work, "result.csv")],
                             capture_output=True, text=True, timeout=300)
        if run.returncode != 0:
            fail("selvane exited %d: %s" % (run.returncode, run.stderr))
        with open(svg, encoding="utf-8") as f:
            text = f.read()
        size = re.search(r'<svg [^>]*width="(\d+)" height="(\d+)"', text)
        if size is None:
            fail("the SVG states no width and height")
        width, height = int(size.group(1)), int(size.group(2))
        panels = text.count('<g class="panel"')
        if panels != args.clusters:
            fail("%d panels for %d clusters" % (panels, args.clusters))
        means = re.findall(r'<g stroke="#([0-9a-f]{6})" stroke-width="3"', text)
        if len(means) != args.clusters:
            fail("%d mean profiles for %d clusters" % (len(means), args.clusters))

        chrome = subprocess.run(
            [chromium, *CHROMIUM_FLAGS, "--user-data-dir=" + os.path.join(work, "profile"),
             "--screenshot=" + png, "--window-size=%d,%d" % (width, height),
             "file://" + svg],
            capture_output=True, text=True, timeout=120, stdin=subprocess.DEVNULL)
        if chrome.returncode != 0 or not os.path.isfile(png):
            fail("chromium exited %d without a screenshot:\n%s"
                 % (chrome.returncode, chrome.stderr[-2000:]))
        if args.keep:
            shutil.copy(svg, os.path.join(args.keep, "plot.svg"))
            shutil.copy(png, os.path.join(args.keep, "plot.png"))

        got_width, got_height, rows = read_png(png)
        if (got_width, got_height) != (width, height):
            fail("screenshot is %dx%d, the SVG asks for %dx%d"
                 % (got_width, got_height, width, height))
        colours = {}
        for row in rows:
            for pixel in row:
                colours[pixel] = colours.get(pixel, 0) + 1
        total = width * height
        ink = total - colours.get((255, 255, 255), 0)
        if len(colours) < 50:
            fail("only %d distinct colours: blank or broken rendering" % len(colours))
        if ink < total // 20:
            fail("only %d of %d pixels are not white" % (ink, total))
        for mean in means:
            target = tuple(int(mean[i:i + 2], 16) for i in (0, 2, 4))
            close = sum(n for c, n in colours.items()
                        if max(abs(c[i] - target[i]) for i in range(3)) <= 12)
            if close < 100:
                fail("the mean profile colour #%s covers only %d pixels" % (mean, close))
        print("check_svg_render: %dx%d, %d colours, %d%% ink, %d mean colours found: OK"
              % (width, height, len(colours), 100 * ink // total, len(means)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
