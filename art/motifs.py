"""The figures shared by the pictures and icons: palette, night sky, moon, envelope, chick, bird."""
import math

from canvas import bezier, hexrgb, mix, rotate

# One palette for everything: a night in deep blue, a warm moon, post-box red, chick yellow,
# and the dark red of the main window.
NIGHT_TOP = hexrgb("#0f1430")
NIGHT_LOW = hexrgb("#2a3468")
HILL = hexrgb("#18302e")
HILL_LIGHT = hexrgb("#23443d")
MOON = hexrgb("#f6e9b0")
MOON_SHADE = hexrgb("#e2cf88")
STAR = hexrgb("#fff6d0")
POST_RED = hexrgb("#d33a2c")
POST_LIGHT = hexrgb("#ef6a55")
POST_DARK = hexrgb("#9a2419")
POST_SHADOW = hexrgb("#6a160f")
CHICK = hexrgb("#ffd23f")
CHICK_SHADE = hexrgb("#e8a92a")
BEAK = hexrgb("#f28c28")
NEST = hexrgb("#8a5a2b")
NEST_DARK = hexrgb("#5e3a1a")
NEST_LIGHT = hexrgb("#b78048")
BIRD = hexrgb("#17171f")
BIRD_LIGHT = hexrgb("#3b3d52")
BIRD_RIM = hexrgb("#7d86b8")
PAPER = hexrgb("#ffffff")
PAPER_SHADE = hexrgb("#c9cedc")
SEAL = hexrgb("#d33a2c")
INK = hexrgb("#14162a")
WINDOW_RED = hexrgb("#400000")
WOOD = hexrgb("#8a5630")
WOOD_DARK = hexrgb("#5a3520")
WOOD_LIGHT = hexrgb("#b27847")
LANTERN = hexrgb("#e8452f")
LANTERN_LIGHT = hexrgb("#ffb25a")
NOREN = hexrgb("#23306b")


def night_sky(c, horizon):
    c.vgradient(0, 0, c.w, horizon, NIGHT_TOP, NIGHT_LOW)


# Fixed star positions (x, y, size) in a 96 x 96 scene; the scenes pick the ones they keep.
STARS = [(8, 9, 1.0), (20, 22, 0.7), (31, 6, 0.8), (47, 14, 1.1), (59, 5, 0.7), (12, 38, 0.7),
         (88, 40, 0.8), (66, 29, 0.6), (4, 56, 0.6), (91, 58, 0.6), (38, 27, 0.6), (79, 8, 0.6)]


def star(c, x, y, size, colour=STAR):
    """A small four-pointed twinkle; size 1 is about 3 pixels across."""
    r = 1.5 * size
    c.polygon([(x, y - r), (x + r * 0.3, y - r * 0.3), (x + r, y), (x + r * 0.3, y + r * 0.3), (x, y + r),
               (x - r * 0.3, y + r * 0.3), (x - r, y), (x - r * 0.3, y - r * 0.3)], colour)
    c.circle(x, y, 0.45 * size, colour)


def moon(c, x, y, r, crescent=False):
    if crescent:
        c.glow(x + r * 0.3, y + r * 0.2, r * 2.0, MOON, 0.4)
        disc = c.layer()
        disc.circle(x, y, r, MOON)
        disc.circle(x - r * 0.45, y - r * 0.25, r * 0.85, (0, 0, 0, 0))  # the shadowed part
        c.paste_layer(disc)
        return
    c.glow(x, y, r * 2.6, MOON, 0.55)
    c.circle(x, y, r, MOON)
    if True:
        # a few soft craters
        c.circle(x + r * 0.3, y - r * 0.25, r * 0.22, MOON_SHADE)
        c.circle(x - r * 0.35, y + r * 0.3, r * 0.16, MOON_SHADE)
        c.circle(x + r * 0.1, y + r * 0.45, r * 0.1, MOON_SHADE)


def hills(c, top, colour=HILL, light=HILL_LIGHT):
    w = c.w
    back = bezier((0, top + 2), (w * 0.3, top - 5), (w * 0.55, top + 6), (w, top - 1), 32)
    c.polygon(back + [(w, c.h), (0, c.h)], light)
    front = bezier((0, top + 7), (w * 0.35, top + 3), (w * 0.7, top + 10), (w, top + 5), 32)
    c.polygon(front + [(w, c.h), (0, c.h)], colour)


def grass(c, x, y, h, colour=HILL_LIGHT):
    c.line([(x, y), (x - 1, y - h)], colour, 0.8)
    c.line([(x + 1, y), (x + 1.5, y - h * 1.2)], colour, 0.8)
    c.line([(x + 2, y), (x + 3.5, y - h * 0.8)], colour, 0.8)


def envelope(c, cx, cy, w, h, angle=0.0, detail=True, paper=PAPER, shade=PAPER_SHADE, seal=True):
    """A white letter, centred at cx, cy, turned by angle degrees."""
    x0, y0, x1, y1 = cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2
    body = rotate([(x0, y0), (x1, y0), (x1, y1), (x0, y1)], cx, cy, angle)
    if detail:
        edge = max(0.5, min(w, h) * 0.07)
        outer = rotate([(x0 - edge, y0 - edge), (x1 + edge, y0 - edge), (x1 + edge, y1 + edge), (x0 - edge, y1 + edge)],
                       cx, cy, angle)
        c.polygon(outer, shade)
    c.polygon(body, paper)
    if detail:
        lw = max(0.5, min(w, h) * 0.08)
        flap = rotate([(x0, y0), (cx, cy + h * 0.12), (x1, y0)], cx, cy, angle)
        c.line(flap, shade, lw)
        if seal:
            sx, sy = rotate([(cx, cy + h * 0.12)], cx, cy, angle)[0]
            c.circle(sx, sy, max(0.7, h * 0.13), SEAL)


def ellipse_points(cx, cy, rx, ry, n=32):
    return [(cx + rx * math.cos(2 * math.pi * i / n), cy + ry * math.sin(2 * math.pi * i / n)) for i in range(n)]


class Bird:
    """The black bird with its letter, drawn in unit coordinates: body around (0, 0), beak tip
    at (1.4, -0.2), forked tail to -1.6, facing +x. The bird is placed at x, y with `scale`
    pixels to the unit, mirrored by facing = -1 and turned by tilt degrees."""

    def __init__(self, c, x, y, scale, facing=1, tilt=0.0):
        self.c, self.x, self.y, self.s, self.f, self.tilt = c, x, y, scale, facing, tilt

    def p(self, u, v):
        a = math.radians(self.tilt)
        uu = u * math.cos(a) - v * math.sin(a)
        vv = u * math.sin(a) + v * math.cos(a)
        return (self.x + self.f * uu * self.s, self.y + vv * self.s)

    def ps(self, pts):
        return [self.p(u, v) for u, v in pts]

    BODY = ellipse_points(-0.15, 0.05, 0.85, 0.5)
    HEAD = ellipse_points(0.6, -0.3, 0.45, 0.43)
    TAIL = [(-0.75, -0.12), (-1.6, -0.4), (-1.25, 0.05), (-1.62, 0.38), (-0.75, 0.28)]
    BEAK = [(0.96, -0.4), (1.42, -0.2), (0.96, -0.08)]

    @staticmethod
    def wing(up):
        if up:
            lead = bezier((0.3, -0.28), (0.25, -0.95), (-0.05, -1.35), (-0.65, -1.55), 14)
            trail = [(-0.58, -1.2), (-0.78, -1.08), (-0.55, -0.8), (-0.72, -0.66), (-0.45, -0.42), (-0.5, -0.22)]
        else:
            lead = bezier((0.3, -0.05), (0.3, 0.5), (0.05, 0.95), (-0.5, 1.25), 14)
            trail = [(-0.5, 0.92), (-0.7, 0.86), (-0.45, 0.58), (-0.65, 0.46), (-0.4, 0.22), (-0.45, 0.0)]
        return lead + trail

    def draw(self, wing_up=True, rim=True, detail=2, letter=True, letter_scale=1.0):
        """detail 0: silhouette; 1: also eye and letter flap; 2: also feathers and the seal."""
        c = self.c
        parts = [self.ps(self.BODY), self.ps(self.HEAD), self.ps(self.TAIL)]
        wing = self.ps(self.wing(wing_up))
        far = self.ps([(u * 0.75 + 0.1, v * 0.8 - 0.05) for u, v in self.wing(not wing_up)])
        if rim:
            # a thin pale rim so the black bird reads on a dark ground
            rw = max(0.6, self.s * 0.12)
            for shape in parts + [wing, far]:
                c.line(shape + shape[:1], BIRD_RIM, rw * 2)
        c.polygon(far, BIRD_LIGHT if detail >= 1 else BIRD)
        for shape in parts:
            c.polygon(shape, BIRD)
        if detail >= 2:
            belly = self.ps(bezier((-0.7, 0.3), (-0.3, 0.62), (0.4, 0.55), (0.75, 0.15), 12))
            c.line(belly, BIRD_LIGHT, max(0.5, self.s * 0.08))
        if letter:
            w, h = 1.3 * letter_scale, 0.9 * letter_scale
            lx, ly = self.p(1.25 + w * 0.38, -0.2 + h * 0.22)
            envelope(c, lx, ly, w * self.s, h * self.s, angle=self.f * (10 + self.tilt), detail=detail >= 1 or
                     self.s * w >= 5, seal=detail >= 2)
        c.polygon(self.ps(self.BEAK), BEAK if detail >= 1 else BIRD)
        if detail >= 1:
            ex, ey = self.p(0.72, -0.4)
            c.circle(ex, ey, max(0.6, self.s * 0.15), PAPER)
            px, py = self.p(0.77, -0.4)
            c.circle(px, py, max(0.4, self.s * 0.08), INK)
        c.polygon(wing, BIRD)
        if detail >= 2:
            c.line(wing + wing[:1], BIRD_LIGHT, max(0.5, self.s * 0.07))
            inner = self.ps(bezier((0.1, -0.3), (0.05, -0.8) if wing_up else (0.1, 0.3),
                                   (-0.15, -1.1) if wing_up else (-0.05, 0.75), (-0.45, -1.3) if wing_up else
                                   (-0.35, 1.05), 10))
            c.line(inner, BIRD_LIGHT, max(0.5, self.s * 0.07))


def chick(c, x, y, r, awake, look_up=False):
    """The round chick, centred at x, y, radius r. Asleep it has closed eyes; awake, round eyes."""
    c.circle(x, y + r * 0.1, r, CHICK_SHADE)
    c.circle(x - r * 0.06, y, r * 0.96, CHICK)
    # tuft
    c.line([(x - r * 0.1, y - r * 0.9), (x - r * 0.35, y - r * 1.35)], CHICK_SHADE, max(0.6, r * 0.16))
    c.line([(x + r * 0.05, y - r * 0.9), (x + r * 0.15, y - r * 1.4)], CHICK_SHADE, max(0.6, r * 0.16))
    ey = y - r * (0.35 if look_up else 0.15)
    if awake:
        for ex in (x - r * 0.38, x + r * 0.32):
            c.circle(ex, ey, r * 0.17, INK)
            c.circle(ex + r * 0.05, ey - r * 0.06, r * 0.06, PAPER)
        beak_y = ey + r * 0.35
        c.polygon([(x - r * 0.2, beak_y), (x + r * 0.15, beak_y), (x - r * 0.02, beak_y + r * 0.4)], BEAK)
        c.polygon([(x - r * 0.2, beak_y), (x + r * 0.15, beak_y), (x - r * 0.02, beak_y - r * 0.18)], BEAK)
    else:
        for ex in (x - r * 0.38, x + r * 0.32):
            c.arc(ex, ey - r * 0.05, r * 0.18, 20, 160, INK, max(0.6, r * 0.1))
        c.polygon([(x - r * 0.17, ey + r * 0.3), (x + r * 0.12, ey + r * 0.3), (x - r * 0.02, ey + r * 0.5)], BEAK)
    # cheeks
    blush = mix(CHICK, POST_LIGHT, 0.45)
    c.circle(x - r * 0.62, ey + r * 0.28, r * 0.13, blush)
    c.circle(x + r * 0.58, ey + r * 0.28, r * 0.13, blush)


def nest(c, x, y, w, h):
    """A nest bowl whose rim centre is at x, y."""
    c.ellipse(x, y + h * 0.25, w / 2, h * 0.6, NEST_DARK)
    c.ellipse(x, y + h * 0.2, w / 2 - 0.6, h * 0.55, NEST)
    for i in range(5):
        t = (i + 0.5) / 5
        sx = x - w / 2 + w * t
        c.line([(sx - 2.2, y + h * 0.05), (sx + 2.2, y + h * 0.55)], NEST_LIGHT, 0.6)
    c.ellipse(x, y - h * 0.02, w / 2 - 0.6, h * 0.2, NEST_DARK)


def post_box(c, x0, y0, x1, y1, slot_letter=False):
    """The round-topped red post box standing on the ground at y1."""
    w = x1 - x0
    cap_h = w * 0.42
    c.rect(x0 - 1.5, y1 - 3, x1 + 1.5, y1 + 1, POST_SHADOW, radius=1)
    c.rect(x0, y0 + cap_h * 0.5, x1, y1 - 2, POST_RED)
    c.rect(x0, y0 + cap_h * 0.5, x0 + w * 0.18, y1 - 2, POST_LIGHT)
    c.rect(x1 - w * 0.22, y0 + cap_h * 0.5, x1, y1 - 2, POST_DARK)
    # cap
    c.ellipse((x0 + x1) / 2, y0 + cap_h * 0.5, w / 2 + 1.5, cap_h * 0.5, POST_DARK)
    c.ellipse((x0 + x1) / 2, y0 + cap_h * 0.42, w / 2 + 1.0, cap_h * 0.45, POST_RED)
    c.ellipse((x0 + x1) / 2 - w * 0.15, y0 + cap_h * 0.3, w * 0.18, cap_h * 0.15, POST_LIGHT)
    band_y = y0 + cap_h * 0.95
    c.rect(x0 - 0.5, band_y, x1 + 0.5, band_y + 1.6, POST_DARK)
    # slot
    sy = band_y + 6
    c.rect(x0 + w * 0.2, sy, x1 - w * 0.2, sy + 3, POST_SHADOW, radius=1)
    if slot_letter:
        envelope(c, (x0 + x1) / 2 + 1, sy - 0.5, w * 0.5, 6, angle=-8, detail=True, seal=False)
        c.rect(x0 + w * 0.2, sy + 1.4, x1 - w * 0.2, sy + 3, POST_SHADOW, radius=0.5)
    # white plate with the postal mark
    px0, px1 = x0 + w * 0.28, x1 - w * 0.28
    py0 = sy + 7
    c.rect(px0, py0, px1, py0 + 9, PAPER, radius=1)
    mx = (px0 + px1) / 2
    c.line([(mx - 2.4, py0 + 2.2), (mx + 2.4, py0 + 2.2)], POST_RED, 1)
    c.line([(mx - 2.4, py0 + 4.2), (mx + 2.4, py0 + 4.2)], POST_RED, 1)
    c.line([(mx, py0 + 4.2), (mx, py0 + 7.2)], POST_RED, 1)
