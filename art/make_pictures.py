#!/usr/bin/python3
"""Draws the program's pictures into assets/ (run with /usr/bin/python3; needs python3-pil).

  assets/★MailData/infant.gif   quiet state, 98 x 96, 3 frames
  assets/★MailData/wife.gif     new mail, 98 x 96, 2 frames
  assets/★MailData/Yatai.gif    compact size, 97 x 97, 2 frames
  assets/images/banner.png      banner strip, 397 x 65, 24-bit
  assets/images/{check,settings,home,topmost}.png   picture buttons, 22 x 22
  assets/images/pelloway.png    window icon, 32 x 32
  assets/icons/hicolor/NxN/apps/pelloway.png   desktop icon, 16 to 256

The output is the same on every run. Options:
  --preview DIR  also write enlarged copies to DIR for looking at the drawings;
  --check        draw into a temporary folder and compare with the files in assets/,
                 exit status 1 if any differs (the drawings were changed but not rerun).
"""
import filecmp
import os
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True  # keep art/ free of caches

from PIL import Image  # noqa: E402

import icons  # noqa: E402
import scenes  # noqa: E402
from canvas import save_gif  # noqa: E402

ROOT = os.path.dirname(HERE)
ICON_SIZES = (16, 32, 48, 64, 128, 256)


def outputs(root):
    """Every file this script writes, relative to the repository root."""
    names = ["assets/★MailData/infant.gif", "assets/★MailData/wife.gif", "assets/★MailData/Yatai.gif",
             "assets/images/banner.png", "assets/images/pelloway.png"]
    names += ["assets/images/%s.png" % n for n in ("check", "settings", "home", "topmost")]
    names += ["assets/icons/hicolor/%dx%d/apps/pelloway.png" % (s, s) for s in ICON_SIZES]
    return [os.path.join(root, n) for n in names]


def save_png(im, path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    im.save(path, optimize=True)


def main(argv):
    args = argv[1:]
    preview = None
    check = False
    while args:
        if args[0] == "--preview" and len(args) >= 2:
            preview = args[1]
            os.makedirs(preview, exist_ok=True)
            args = args[2:]
        elif args[0] == "--check":
            check = True
            args = args[1:]
        else:
            print("usage: make_pictures.py [--preview DIR] [--check]", file=sys.stderr)
            return 2
    if check:
        with tempfile.TemporaryDirectory() as tmp:
            draw(tmp, preview)
            stale = [os.path.relpath(mine, ROOT) for mine, fresh in zip(outputs(ROOT), outputs(tmp))
                     if not os.path.exists(mine) or not filecmp.cmp(mine, fresh, shallow=False)]
        for name in stale:
            print("out of date: " + name, file=sys.stderr)
        return 1 if stale else 0
    draw(ROOT, preview)
    return 0


def draw(root, preview):
    data = os.path.join(root, "assets", "★MailData")
    images = os.path.join(root, "assets", "images")
    icon_root = os.path.join(root, "assets", "icons", "hicolor")
    os.makedirs(data, exist_ok=True)
    written = {}
    gifs = {
        "infant.gif": (scenes.infant_frames(), [900, 900, 900]),
        "wife.gif": (scenes.wife_frames(), [250, 250]),
        "Yatai.gif": (scenes.yatai_frames(), [600, 600]),
    }
    for name, (frames, durations) in gifs.items():
        save_gif(frames, os.path.join(data, name), durations)
        written[name] = frames

    banner = icons.banner()
    save_png(banner, os.path.join(images, "banner.png"))
    written["banner.png"] = [banner]
    for name, draw in (("check", icons.button_check), ("settings", icons.button_settings),
                       ("home", icons.button_home), ("topmost", icons.button_topmost)):
        im = draw()
        save_png(im, os.path.join(images, name + ".png"))
        written[name + ".png"] = [im]
    for size in ICON_SIZES:
        im = icons.program_icon(size)
        save_png(im, os.path.join(icon_root, "%dx%d" % (size, size), "apps", "pelloway.png"))
        if size == 32:
            save_png(im, os.path.join(images, "pelloway.png"))
        written["icon%d.png" % size] = [im]

    if preview:
        for name, frames in written.items():
            for i, im in enumerate(frames):
                factor = max(1, min(8, 512 // max(im.size)))
                big = im.convert("RGBA").resize((im.width * factor, im.height * factor), Image.NEAREST)
                back = Image.new("RGBA", big.size, (200, 200, 200, 255))
                back.alpha_composite(big)
                back.convert("RGB").save(os.path.join(preview, "%s-%d.png" % (os.path.splitext(name)[0], i)))


if __name__ == "__main__":
    sys.exit(main(sys.argv))
