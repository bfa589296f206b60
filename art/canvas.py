"""Small vector canvas for the program's pictures.

Shapes are given in target pixels (floats allowed) and drawn on a canvas SS times larger;
finish() reduces it with an exact box filter, which gives clean anti-aliased edges without
depending on any font or on the machine. Everything here is deterministic.
"""
import math

from PIL import Image, ImageDraw

SS = 8  # supersampling factor


def hexrgb(text, alpha=255):
    text = text.lstrip("#")
    return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16), alpha)


def mix(a, b, t):
    """Colour between a and b (tuples), t = 0 gives a."""
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def bezier(p0, p1, p2, p3, steps=24):
    """Points along a cubic Bezier curve, both ends included."""
    pts = []
    for i in range(steps + 1):
        t = i / steps
        u = 1 - t
        pts.append((u * u * u * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t * t * t * p3[0],
                    u * u * u * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t * t * t * p3[1]))
    return pts


def rotate(pts, cx, cy, degrees):
    a = math.radians(degrees)
    c, s = math.cos(a), math.sin(a)
    return [(cx + (x - cx) * c - (y - cy) * s, cy + (x - cx) * s + (y - cy) * c) for x, y in pts]


class Canvas:
    def __init__(self, w, h, background=(0, 0, 0, 0), ss=SS):
        self.w, self.h, self.ss = w, h, ss
        self.im = Image.new("RGBA", (w * ss, h * ss), background)
        self.draw = ImageDraw.Draw(self.im)

    # -- coordinates -------------------------------------------------------------------
    def _pt(self, p):
        return (p[0] * self.ss, p[1] * self.ss)

    def _pts(self, pts):
        return [self._pt(p) for p in pts]

    def _box(self, x0, y0, x1, y1):
        # A box covering target pixels x0..x1 (right and bottom edges exclusive).
        return (x0 * self.ss, y0 * self.ss, x1 * self.ss - 1, y1 * self.ss - 1)

    # -- shapes --------------------------------------------------------------------------
    def rect(self, x0, y0, x1, y1, fill, radius=0):
        if radius > 0:
            self.draw.rounded_rectangle(self._box(x0, y0, x1, y1), radius=radius * self.ss, fill=fill)
        else:
            self.draw.rectangle(self._box(x0, y0, x1, y1), fill=fill)

    def ellipse(self, cx, cy, rx, ry, fill):
        self.draw.ellipse(self._box(cx - rx, cy - ry, cx + rx, cy + ry), fill=fill)

    def circle(self, cx, cy, r, fill):
        self.ellipse(cx, cy, r, r, fill)

    def ring(self, cx, cy, r, width, fill):
        self.draw.ellipse(self._box(cx - r, cy - r, cx + r, cy + r), outline=fill, width=max(1, round(width * self.ss)))

    def polygon(self, pts, fill):
        self.draw.polygon(self._pts(pts), fill=fill)

    def line(self, pts, fill, width):
        """A polyline with round joints and round caps."""
        w = max(1, round(width * self.ss))
        self.draw.line(self._pts(pts), fill=fill, width=w, joint="curve")
        for p in (pts[0], pts[-1]):
            self.circle(p[0], p[1], width / 2, fill)

    def arc(self, cx, cy, r, start, end, fill, width):
        """Arc in degrees (0 = east, growing clockwise on screen) with round caps."""
        steps = max(4, int(abs(end - start) / 6))
        pts = [(cx + r * math.cos(math.radians(start + (end - start) * i / steps)),
                cy + r * math.sin(math.radians(start + (end - start) * i / steps))) for i in range(steps + 1)]
        self.line(pts, fill, width)

    def vgradient(self, x0, y0, x1, y1, top, bottom):
        """Vertical colour gradient filling a box (row by row on the fine grid)."""
        a, b = round(y0 * self.ss), round(y1 * self.ss)
        for row in range(a, b):
            t = (row - a) / max(1, b - a - 1)
            self.draw.line([(round(x0 * self.ss), row), (round(x1 * self.ss) - 1, row)], fill=mix(top, bottom, t))

    def glow(self, cx, cy, r, colour, strength):
        """Soft round light: colour fading from `strength` (0..1) at the centre to nothing at r."""
        layer = Image.new("RGBA", self.im.size, (0, 0, 0, 0))
        d = ImageDraw.Draw(layer)
        rings = 24
        for i in range(rings, 0, -1):
            rr = r * i / rings
            alpha = round(255 * strength * (1 - i / rings) ** 1.6 / 4 + 1)
            d.ellipse(self._box(cx - rr, cy - rr, cx + rr, cy + rr), fill=colour[:3] + (min(255, alpha),))
        self.im.alpha_composite(layer)

    def layer(self):
        """An empty canvas of the same size, to be pasted with paste_layer (for translucency)."""
        return Canvas(self.w, self.h, ss=self.ss)

    def paste_layer(self, other, opacity=1.0):
        im = other.im
        if opacity < 1.0:
            alpha = im.getchannel("A").point(lambda v: round(v * opacity))
            im = im.copy()
            im.putalpha(alpha)
        self.im.alpha_composite(im)

    # -- result --------------------------------------------------------------------------
    def finish(self):
        return self.im.resize((self.w, self.h), Image.BOX)


def save_gif(frames, path, durations):
    """Writes RGB frames as a looping GIF sharing one palette (no dithering, so the result
    does not change from run to run or between frames)."""
    frames = [f.convert("RGB") for f in frames]
    w, h = frames[0].size
    sheet = Image.new("RGB", (w, h * len(frames)))
    for i, f in enumerate(frames):
        sheet.paste(f, (0, h * i))
    palette = sheet.quantize(colors=255, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    out = [f.quantize(palette=palette, dither=Image.Dither.NONE) for f in frames]
    if len(out) == 1:
        out[0].save(path, optimize=False)
    else:
        out[0].save(path, save_all=True, append_images=out[1:], duration=durations, loop=0, optimize=False,
                    disposal=1)
