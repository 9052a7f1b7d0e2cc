#!/usr/bin/env python3
"""The same work with Pillow: every page of each source into its own file,
or each source into one multi-page TIFF (--tiff COMPRESSION)."""
import os
import sys

from PIL import Image, ImageSequence


def pages_into_files(ext, out, sources):
    options = {"jpg": {"quality": 100, "subsampling": 0}, "png": {"compress_level": 6}}.get(ext, {})
    for source in sources:
        base = os.path.splitext(os.path.basename(source))[0]
        with Image.open(source) as image:
            for n, page in enumerate(ImageSequence.Iterator(image)):
                frame = page
                if ext in ("jpg", "bmp") and frame.mode not in ("1", "L", "RGB"):
                    frame = frame.convert("RGB")
                if ext == "gif" and frame.mode == "RGB":
                    frame = frame.quantize(256, dither=Image.Dither.FLOYDSTEINBERG)
                frame.save(os.path.join(out, f"{base}-{n}.{ext}"), **options)


def sources_into_tiffs(compression, out, sources):
    for source in sources:
        base = os.path.splitext(os.path.basename(source))[0]
        with Image.open(source) as image:
            frames = [page.copy() for page in ImageSequence.Iterator(image)]
        frames[0].save(os.path.join(out, f"{base}.tiff"), save_all=True,
                       append_images=frames[1:], compression=compression)


def main():
    if len(sys.argv) < 4:
        sys.exit("usage: pillow_convert.py EXT|--tiff COMPRESSION OUT SOURCE...")
    if sys.argv[1] == "--tiff":
        sources_into_tiffs(sys.argv[2], sys.argv[3], sys.argv[4:])
    else:
        pages_into_files(sys.argv[1], sys.argv[2], sys.argv[3:])


if __name__ == "__main__":
    main()
