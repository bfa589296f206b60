"""The banner strip, the four picture-button images and the program icon at every size."""
import math

from canvas import Canvas, bezier, hexrgb, mix
from motifs import (BEAK, BIRD, CHICK, HILL, INK, MOON, NIGHT_LOW, NIGHT_TOP, PAPER, PAPER_SHADE, POST_DARK,
                    POST_LIGHT, POST_RED, STAR, STARS, WINDOW_RED, Bird, envelope, moon, star)

OUTLINE = hexrgb("#3a3f58")
GREEN = hexrgb("#2f9e44")
GREEN_LIGHT = hexrgb("#69db7c")
STEEL = hexrgb("#8d97b5")
STEEL_LIGHT = hexrgb("#c5cde3")
STEEL_DARK = hexrgb("#4b5470")


# -- banner ---------------------------------------------------------------------------------

def banner():
    """397 x 65. Only the top-left corner (about 105 x 17) shows behind the green scrolling
    caption, so the top strip stays a calm, dark night blue; below it runs a row of roofs and
    letters that the window never shows but which keeps the image whole."""
    w, h = 397, 65
    c = Canvas(w, h, ss=4)
    c.vgradient(0, 0, w, h, mix(NIGHT_TOP, (0, 0, 0, 255), 0.3), NIGHT_LOW)
    # a few faint stars in the caption strip, kept dim so the green text stays readable
    for k in range(14):
        x = 7 + k * 28.3 + (k * 37 % 11)
        y = 3 + (k * 5 % 11)
        star(c, x, y, 0.5, mix(NIGHT_TOP, STAR, 0.28))
    # thin dark-red rule under the caption strip, the main window's colour
    c.rect(0, 17, w, 18.5, WINDOW_RED)
    # roofs along the bottom
    x = 0.0
    k = 0
    while x < w:
        bw = 22 + (k * 7 % 13)
        bh = 14 + (k * 11 % 12)
        top = h - bh
        c.rect(x, top, x + bw, h, hexrgb("#141a36"))
        c.polygon([(x - 2, top + 1), (x + bw / 2, top - 6), (x + bw + 2, top + 1)], hexrgb("#1d2448"))
        for wy in range(int(top + 4), h - 4, 7):
            for wx in range(int(x + 4), int(x + bw - 4), 7):
                if (wx * 3 + wy * 5 + k) % 4 == 0:
                    c.rect(wx, wy, wx + 3, wy + 3, hexrgb("#f2c75c"))
        x += bw + 3
        k += 1
    # letters drifting across the sky between the strip and the roofs
    for k in range(9):
        lx = 30 + k * 43
        ly = 29 + (k % 3) * 4
        envelope(c, lx, ly, 10, 7, angle=(-12 if k % 2 else 10), detail=True, seal=True)
    return c.finish().convert("RGB")


# -- picture buttons (22 x 22) ----------------------------------------------------------------

def button_check():
    """Check mail now: a letter with a green tick."""
    c = Canvas(22, 22)
    envelope(c, 10, 9.5, 17, 12, detail=True, seal=True)
    c.circle(16, 16, 5.8, PAPER)
    c.circle(16, 16, 5, GREEN)
    c.line([(13.3, 16.2), (15.3, 18.2), (18.8, 13.8)], PAPER, 1.6)
    return c.finish()


def gear(c, cx, cy, r_out, r_in, teeth, body, light, hole):
    pts = []
    for i in range(teeth * 4):
        a = 2 * math.pi * i / (teeth * 4)
        r = r_out if i % 4 in (1, 2) else r_in
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    c.polygon(pts, body)
    c.circle(cx, cy, r_in * 0.86, light)
    c.circle(cx, cy, r_in * 0.42, hole)


def button_settings():
    """Settings: a steel gear."""
    c = Canvas(22, 22)
    gear(c, 11, 11, 10, 7.4, 8, STEEL_DARK, STEEL, STEEL_DARK)
    c.circle(10.4, 10.2, 5.2 * 0.5, STEEL_LIGHT)
    c.circle(11, 11, 7.4 * 0.42, hexrgb("#2a2f44"))
    return c.finish()


def button_home():
    """The maker's home page: a small house with a red roof."""
    c = Canvas(22, 22)
    c.rect(4, 10, 18, 20, hexrgb("#f4e4c1"))
    c.rect(4, 18.5, 18, 20, hexrgb("#c9b48a"))
    c.rect(9, 13, 13, 20, hexrgb("#8a5630"))
    c.circle(12.2, 16.8, 0.5, CHICK)
    c.rect(14.5, 12.5, 17, 15, hexrgb("#6fa8dc"))
    c.rect(15, 4, 17, 9, POST_DARK)
    c.polygon([(1, 11.5), (11, 2.5), (21, 11.5), (19, 12.5), (11, 5.5), (3, 12.5)], POST_RED)
    c.polygon([(3, 12.5), (11, 5.5), (19, 12.5)], hexrgb("#e9d6ae"))
    c.polygon([(1, 11.5), (11, 2.5), (11, 4.0), (2.5, 12.2)], POST_LIGHT)
    return c.finish()


def button_topmost():
    """Always on top: a red pin holding a window above another one."""
    c = Canvas(22, 22)
    # the window behind
    c.rect(1, 8, 14, 20, OUTLINE)
    c.rect(2, 10.5, 13, 19, hexrgb("#dfe3ee"))
    # the window in front
    c.rect(6, 4, 20, 16, OUTLINE)
    c.rect(6, 4, 20, 6.5, hexrgb("#4263eb"))
    c.rect(7, 6.5, 19, 15, PAPER)
    # the pin
    c.line([(15, 11), (11.5, 15.5)], STEEL_DARK, 1.1)
    c.polygon([(13.5, 6.5), (19, 12), (17.5, 13), (12.5, 8)], POST_DARK)
    c.circle(17.2, 7.8, 3.6, POST_RED)
    c.circle(16.3, 6.9, 1.3, POST_LIGHT)
    return c.finish()


# -- program icon -------------------------------------------------------------------------------

def program_icon(size):
    """The dark red tile of the main window with a pale moon and the black bird carrying its
    letter. Smaller sizes drop detail instead of shrinking it: 16 px keeps only moon, bird
    and letter; 32 px adds the eye and beak; 48 px and up add stars, feathers and the seal."""
    c = Canvas(size, size, ss=8 if size <= 64 else 4)
    s = size / 32.0
    radius = size * 0.2
    rim = max(1.0, size / 32)
    c.rect(0, 0, size, size, hexrgb("#2a0000"), radius=radius)
    inner = c.layer()
    inner.vgradient(0, 0, size, size, hexrgb("#6e1414"), WINDOW_RED)
    mask = c.layer()
    mask.rect(rim, rim, size - rim, size - rim, (255, 255, 255, 255), radius=radius - rim)
    inner.im.putalpha(mask.im.getchannel("A"))
    c.paste_layer(inner)
    if size >= 48:
        for i, (sx, sy, ss) in enumerate(STARS[:8]):
            x, y = sx / 96 * size, sy / 96 * size
            if x > size * 0.45 and y < size * 0.5:
                continue
            star(c, x, y, ss * size / 64, mix(WINDOW_RED, STAR, 0.75))
    # the moon behind the bird gives the black bird a pale ground to stand against
    if size <= 16:
        c.circle(size * 0.6, size * 0.42, size * 0.34, MOON)
    else:
        c.glow(size * 0.62, size * 0.42, size * 0.55, MOON, 0.45)
        c.circle(size * 0.62, size * 0.42, size * 0.33, MOON)
        if size >= 48:
            c.circle(size * 0.72, size * 0.34, size * 0.06, hexrgb("#e2cf88"))
            c.circle(size * 0.52, size * 0.55, size * 0.045, hexrgb("#e2cf88"))
    detail = 0 if size <= 16 else (1 if size <= 32 else 2)
    letter_scale = 1.3 if size <= 16 else 1.15
    scale = size * (0.19 if size <= 16 else 0.185)
    # centre the bird and its letter: they reach from the tail (-1.6) to the letter's far edge
    right = 1.25 + 1.3 * letter_scale
    bird = Bird(c, size / 2 - (right - 1.6) / 2 * scale, size * 0.6, scale, facing=1, tilt=-10)
    bird.draw(wing_up=True, rim=False, detail=detail, letter=True, letter_scale=letter_scale)
    return c.finish()
