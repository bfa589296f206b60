"""The three pictures of the data folder: the quiet night, the new-mail night, the food stall."""
import math

from canvas import Canvas, bezier, mix
from motifs import (BEAK, HILL, HILL_LIGHT, INK, LANTERN, LANTERN_LIGHT, NIGHT_LOW, NIGHT_TOP, NOREN, PAPER,
                    POST_SHADOW, STAR, STARS, WOOD, WOOD_DARK, WOOD_LIGHT, Bird, chick, envelope, grass, hills,
                    moon, nest, night_sky, post_box, star)

# The picture area shows 98 x 96 pixels above the banner (its client is 1470 twips wide).
WIDTH, HEIGHT = 98, 96
HORIZON = 80


def _ground(c):
    night_sky(c, HORIZON + 6)
    hills(c, HORIZON - 4)
    for gx, gy in ((10, 86), (24, 90), (70, 89), (84, 85), (62, 93)):
        grass(c, gx, gy, 3)


def _post_with_nest(c, awake, look_up=False, letter=False):
    post_box(c, 33, 44, 57, 86, slot_letter=letter)
    nest(c, 45, 38, 20, 7)
    chick(c, 45, 34, 6.5, awake, look_up)
    # the front rim of the nest over the chick's lower half
    nest_front = bezier((35, 38.5), (38, 43.5), (52, 43.5), (55, 38.5), 16)
    c.polygon(nest_front + [(55, 38.5), (35, 38.5)], (138, 90, 43, 255))
    for sx in (38, 42, 46, 50):
        c.line([(sx, 39.2), (sx + 3, 41.8)], (183, 128, 72, 255), 0.6)


def _zed(c, x, y, size, colour):
    """A hand-drawn z, size = its height."""
    s = size
    c.line([(x, y), (x + s * 0.8, y), (x, y + s), (x + s * 0.8, y + s)], colour, max(0.7, s * 0.18))


def infant_frames():
    """The quiet state: a chick asleep in its nest on the red post box under a crescent moon.
    Three frames: the z's drift up and the stars twinkle in turn."""
    frames = []
    for f in range(3):
        c = Canvas(WIDTH, HEIGHT)
        _ground(c)
        moon(c, 76, 20, 10, crescent=True)
        for i, (sx, sy, ss) in enumerate(STARS):
            if 62 < sx and sy < 34:
                continue  # the moon's corner
            bright = 1.0 if (i + f) % 3 else 0.55
            star(c, sx, sy, ss * bright, mix(NIGHT_LOW, STAR, 0.5 + 0.5 * bright))
        _post_with_nest(c, awake=False)
        zs = [(55, 27, 3.2), (60, 20, 4.2), (66, 11, 5.2)]
        for k, (zx, zy, zs_) in enumerate(zs):
            # each z fades in turn, as if breathing
            fade = 1.0 if (k - f) % 3 != 2 else 0.35
            _zed(c, zx, zy - f * 0.8, zs_, mix(NIGHT_LOW, PAPER, 0.25 + 0.7 * fade))
        frames.append(c.finish())
    return frames


def wife_frames():
    """New mail: the black bird flies in past the full moon with a letter, another letter stands
    in the post box slot and the chick is wide awake. Two frames: wings up, wings down."""
    frames = []
    for f in range(2):
        c = Canvas(WIDTH, HEIGHT)
        _ground(c)
        moon(c, 72, 22, 14)
        for i, (sx, sy, ss) in enumerate(STARS):
            if sx > 52 and sy < 42:
                continue
            star(c, sx, sy, ss * (1.15 if (i + f) % 2 else 0.8))
        _post_with_nest(c, awake=True, look_up=True, letter=True)
        # sparkles of excitement around the chick
        for k, (px, py) in enumerate([(31, 28), (59, 30), (28, 39)]):
            star(c, px, py, 0.9 if (k + f) % 2 else 0.6, mix(STAR, BEAK, 0.25))
        bob = -1.2 if f == 0 else 0.8
        bird = Bird(c, 72, 24 + bob, 7.0, facing=-1, tilt=-6)
        bird.draw(wing_up=(f == 0), rim=True, detail=2)
        # motion lines behind the bird
        for k, ly in enumerate((18, 24, 30)):
            c.line([(86 + k % 2 * 2, ly + bob), (93, ly + bob)], mix(NIGHT_LOW, PAPER, 0.45), 0.8)
        frames.append(c.finish())
    return frames


def yatai_frames():
    """The compact picture: a little food stall at night with a red lantern and a steaming pot,
    the chick waiting on a stool. Two frames: the steam curls and the lantern flickers."""
    size = 97
    frames = []
    for f in range(2):
        c = Canvas(size, size)
        night_sky(c, HORIZON + 6)
        moon(c, 80, 14, 7, crescent=True)
        for i, (sx, sy, ss) in enumerate(STARS):
            if sy < 26 and 70 < sx:
                continue
            if sy < 30:
                star(c, sx, sy, ss * (1.0 if (i + f) % 2 else 0.7))
        # ground
        c.rect(0, 78, size, size, HILL)
        c.rect(0, 78, size, 80, HILL_LIGHT)
        # lantern light on the ground
        c.glow(20, 86, 22, LANTERN_LIGHT, 0.35 if f == 0 else 0.3)
        # stall: back posts, counter, roof
        c.rect(18, 30, 21, 80, WOOD_DARK)
        c.rect(76, 30, 79, 80, WOOD_DARK)
        c.rect(22, 42, 76, 62, mix(WOOD_DARK, LANTERN_LIGHT, 0.35))  # warm inside
        # pot with steam
        c.rect(40, 52, 56, 61, (80, 84, 96, 255), radius=2)
        c.rect(38, 51, 58, 53.5, (120, 126, 140, 255), radius=1)
        # counter
        c.rect(14, 61, 84, 80, WOOD)
        c.rect(12, 60, 86, 63.5, WOOD_LIGHT, radius=1)
        for py in (68, 74):
            c.line([(15, py), (83, py)], WOOD_DARK, 0.7)
        # wheel
        c.circle(70, 82, 10, WOOD_DARK)
        c.circle(70, 82, 7.5, WOOD)
        c.circle(70, 82, 2, WOOD_DARK)
        for a in range(0, 360, 45):
            r = 7.5
            c.line([(70, 82), (70 + r * math.cos(math.radians(a)), 82 + r * math.sin(math.radians(a)))],
                   WOOD_DARK, 1)
        # roof: red and white stripes
        roof = [(8, 36), (90, 36), (82, 24), (16, 24)]
        c.polygon(roof, LANTERN)
        for k in range(7):
            if k % 2:
                xa = 8 + k * 82 / 7
                xb = 8 + (k + 1) * 82 / 7
                ta = 16 + k * 66 / 7
                tb = 16 + (k + 1) * 66 / 7
                c.polygon([(xa, 36), (xb, 36), (tb, 24), (ta, 24)], PAPER)
        c.rect(6, 35, 92, 38, (150, 36, 28, 255), radius=1)
        # noren curtain: three panels with a letter crest
        for k in range(3):
            nx = 24 + k * 17
            c.rect(nx, 38, nx + 15.5, 48, NOREN)
            envelope(c, nx + 7.75, 43.5, 7, 4.6, detail=True, seal=False)
        # steam rising from the pot in front of the curtain
        steam_layer = c.layer()
        for k, sx in enumerate((43, 48, 53)):
            sway = 1.5 if (k + f) % 2 else -1.5
            steam = bezier((sx, 50), (sx + sway, 46), (sx - sway, 42), (sx + sway * 0.5, 37), 12)
            steam_layer.line(steam, PAPER, 1.2)
        c.paste_layer(steam_layer, 0.7)
        # red paper lantern hanging from the roof's left end
        glow_strength = 0.7 if f == 0 else 0.55
        c.glow(10, 49, 14, LANTERN_LIGHT, glow_strength)
        c.line([(10, 38), (10, 41)], INK, 0.8)
        c.rect(7, 41, 13, 42.5, INK)
        c.ellipse(10, 48.5, 5, 6.5, LANTERN)
        c.ellipse(9, 47.5, 2.5, 4.5, mix(LANTERN, LANTERN_LIGHT, 0.6))
        for ly in (45, 48.5, 52):
            c.line([(5.8, ly), (14.2, ly)], (170, 40, 30, 255), 0.5)
        c.rect(7, 54.5, 13, 56, INK)
        # the chick on a stool in front of the counter
        c.rect(25, 76, 37, 78, WOOD_LIGHT, radius=1)
        c.rect(26, 78, 28, 88, WOOD_DARK)
        c.rect(34, 78, 36, 88, WOOD_DARK)
        chick(c, 31, 70, 6, awake=True, look_up=True)
        # a shadow under the stall
        shade = c.layer()
        shade.ellipse(50, 91, 36, 2.5, POST_SHADOW)
        c.paste_layer(shade, 0.35)
        frames.append(c.finish())
    return frames
