#!/usr/bin/env python3
"""Renders dist/icons/quillmere.svg into the 48 and 256 pixel PNGs beside it.

Uses librsvg and cairo through ctypes, so it needs neither rsvg-convert nor Python bindings.
"""
import ctypes
import ctypes.util
import sys
from pathlib import Path


def load(name, fallback):
    found = ctypes.util.find_library(name) or fallback
    return ctypes.CDLL(found)


def render(svg: Path, png: Path, size: int) -> None:
    rsvg = load("rsvg-2", "librsvg-2.so.2")
    cairo = load("cairo", "libcairo.so.2")
    rsvg.rsvg_handle_new_from_file.restype = ctypes.c_void_p
    cairo.cairo_image_surface_create.restype = ctypes.c_void_p
    cairo.cairo_create.restype = ctypes.c_void_p
    error = ctypes.c_void_p()
    handle = rsvg.rsvg_handle_new_from_file(str(svg).encode(), ctypes.byref(error))
    if not handle:
        sys.exit(f"render-icon: cannot read {svg}")
    surface = cairo.cairo_image_surface_create(0, size, size)  # CAIRO_FORMAT_ARGB32
    context = cairo.cairo_create(ctypes.c_void_p(surface))
    scale = size / 256.0
    cairo.cairo_scale(ctypes.c_void_p(context), ctypes.c_double(scale), ctypes.c_double(scale))
    if not rsvg.rsvg_handle_render_cairo(ctypes.c_void_p(handle), ctypes.c_void_p(context)):
        sys.exit(f"render-icon: cannot draw {svg}")
    if cairo.cairo_surface_write_to_png(ctypes.c_void_p(surface), str(png).encode()) != 0:
        sys.exit(f"render-icon: cannot write {png}")
    cairo.cairo_destroy(ctypes.c_void_p(context))
    cairo.cairo_surface_destroy(ctypes.c_void_p(surface))


def main() -> None:
    icons = Path(__file__).resolve().parent.parent / "dist" / "icons"
    for size in (48, 256):
        render(icons / "quillmere.svg", icons / f"quillmere-{size}.png", size)


if __name__ == "__main__":
    main()
