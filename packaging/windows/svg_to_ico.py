#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Draws the program's icon (packaging/q71xfwtool.svg) as a Windows .ico of 16, 32 and 48 pixels.

Only what that drawing uses is understood: rect (rx), circle, line and a path of M, v, h, l and z,
each with fill, stroke and stroke-width, groups passing their stroke on. Each pixel is sampled
4 x 4 times. The icon keeps 32-bit BGRA bitmaps, which every Windows since XP shows.

    packaging/windows/svg_to_ico.py packaging/q71xfwtool.svg packaging/windows/q71xfwtool.ico
"""
import math
import struct
import sys
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"
SIZES = (16, 32, 48)
SAMPLES = 4


def colour(text):
    if not text or text == "none":
        return None
    text = text.lstrip("#")
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length = dx * dx + dy * dy
    t = 0.0 if length == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


class Shape:
    """A shape as a signed distance: negative inside, positive outside."""

    def __init__(self, distance, fill, stroke, width):
        self.distance, self.fill, self.stroke, self.width = distance, fill, stroke, width


def rounded_rect(x, y, w, h, r):
    cx, cy, hx, hy = x + w / 2, y + h / 2, w / 2, h / 2

    def distance(px, py):
        qx, qy = abs(px - cx) - hx + r, abs(py - cy) - hy + r
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r
    return distance


def circle(cx, cy, r):
    return lambda px, py: math.hypot(px - cx, py - cy) - r


def polyline(points, closed):
    edges = list(zip(points, points[1:] + points[:1] if closed else points[1:]))

    def distance(px, py):
        d = min(segment_distance(px, py, *a, *b) for a, b in edges)
        if not closed:
            return d
        inside = False
        for (ax, ay), (bx, by) in edges:
            if (ay > py) != (by > py) and px < ax + (py - ay) * (bx - ax) / (by - ay):
                inside = not inside
        return -d if inside else d
    return distance


def path_points(data):
    tokens = data.replace(",", " ").split()
    points, x, y, i = [], 0.0, 0.0, 0
    command = None
    while i < len(tokens):
        token = tokens[i]
        if token[0].isalpha():
            command, token = token[0], token[1:]
            if command in "zZ":
                i += 1
                continue
            if not token:
                i += 1
                token = tokens[i]
        if command == "M":
            x, y = float(token), float(tokens[i + 1])
            i += 2
        elif command == "l":
            x, y = x + float(token), y + float(tokens[i + 1])
            i += 2
        elif command == "v":
            y += float(token)
            i += 1
        elif command == "h":
            x += float(token)
            i += 1
        else:
            raise ValueError("path command " + command + " is not understood")
        points.append((x, y))
    return points


def shapes(element, inherited):
    style = dict(inherited)
    for key in ("fill", "stroke", "stroke-width"):
        if key in element.attrib:
            style[key] = element.attrib[key]
    tag = element.tag.replace(SVG, "")
    a = {k: float(v) for k, v in element.attrib.items() if k in
         ("x", "y", "width", "height", "rx", "cx", "cy", "r", "x1", "y1", "x2", "y2")}
    distance = None
    if tag == "rect":
        distance = rounded_rect(a["x"], a["y"], a["width"], a["height"], a.get("rx", 0))
    elif tag == "circle":
        distance = circle(a["cx"], a["cy"], a["r"])
    elif tag == "line":
        distance = polyline([(a["x1"], a["y1"]), (a["x2"], a["y2"])], False)
        style["fill"] = "none"
    elif tag == "path":
        distance = polyline(path_points(element.attrib["d"]), True)
    if distance:
        yield Shape(distance, colour(style.get("fill")), colour(style.get("stroke")),
                    float(style.get("stroke-width", 1)))
    for child in element:
        yield from shapes(child, style)


def render(drawing, view, size):
    scale = view / size
    rows = []
    for row in range(size):
        pixels = []
        for column in range(size):
            total = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    px = (column + (sx + 0.5) / SAMPLES) * scale
                    py = (row + (sy + 0.5) / SAMPLES) * scale
                    rgb, alpha = (0, 0, 0), 0.0
                    for shape in drawing:
                        d = shape.distance(px, py)
                        if shape.fill and d <= 0:
                            rgb, alpha = shape.fill, 1.0
                        if shape.stroke and abs(d) <= shape.width / 2:
                            rgb, alpha = shape.stroke, 1.0
                    for i in range(3):
                        total[i] += rgb[i] * alpha
                    total[3] += alpha
            n = SAMPLES * SAMPLES
            a = total[3] / n
            pixels.append(tuple(round(total[i] / total[3]) if total[3] else 0 for i in range(3)) +
                          (round(a * 255),))
        rows.append(pixels)
    return rows


def bitmap(rows):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colours = b"".join(struct.pack("BBBB", b, g, r, a)
                       for pixels in reversed(rows) for (r, g, b, a) in pixels)
    mask_row = ((size + 31) // 32) * 4
    # The AND mask: set where the pixel is fully transparent.
    mask = b"".join(
        bytes(sum(0x80 >> (c % 8) for c in range(byte * 8, min(byte * 8 + 8, size))
                  if pixels[c][3] == 0) for byte in range(mask_row))
        for pixels in reversed(rows))
    return header + colours + mask


def main(source, target):
    root = ET.parse(source).getroot()
    view = float(root.attrib["viewBox"].split()[2])
    drawing = list(shapes(root, {"fill": "#000000"}))
    images = [bitmap(render(drawing, view, size)) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(target, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
