#!/usr/bin/python3
"""Draws the program's pictures (placeholder art, replaced by the finished drawings)."""
import os
from PIL import Image, ImageDraw

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "assets", "★MailData")
IMAGES = os.path.join(ROOT, "assets", "images")


def gif(name, size, colour):
    im = Image.new("RGB", size, colour)
    ImageDraw.Draw(im).rectangle([8, 8, size[0] - 9, size[1] - 9], outline=(255, 255, 255))
    im.save(os.path.join(DATA, name))


def png(name, size, colour):
    Image.new("RGB", size, colour).save(os.path.join(IMAGES, name))


gif("infant.gif", (96, 96), (90, 140, 200))
gif("wife.gif", (96, 96), (230, 120, 60))
gif("Yatai.gif", (97, 97), (120, 180, 90))
png("banner.png", (397, 65), (20, 20, 60))
for n in ("check", "settings", "home", "topmost"):
    png(n + ".png", (22, 22), (200, 200, 200))
png("pelloway.png", (32, 32), (64, 0, 0))
