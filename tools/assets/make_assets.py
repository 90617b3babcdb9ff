#!/usr/bin/python3
"""Makes the resource assets of UpDate.exe from the masters beside this script
and writes them into resources/assets/:

  unit.xml          the payload, from units.tsv and preunits.tsv: GB2312, CRLF,
                    exactly 23,698 bytes
  product.bmp       the picture, from product.svg: 72 x 72, 24 bits per pixel,
                    11,808 pixels per metre
  icon_30001.bin .. the 14 icon images as RT_ICON data, in directory order,
  icon_30014.bin    from icon.svg (48 pixels and up) and icon-small.svg (16 and
                    32); the 16-colour images with vga.css
  icon_group.bin    their RT_GROUP_ICON directory
  UpDate.ico        the same icon as an .ico file, for viewing

    /usr/bin/python3 tools/assets/make_assets.py

The drawings are rendered by rsvg-convert (librsvg2-bin) and encoded with
Pillow (python3-pil), Debian's packages; the interpreter is Debian's because
other Pythons do not see Pillow. The results are committed; the build only
reads them.
"""
import csv
import io
import itertools
import pathlib
import struct
import subprocess
import sys
from xml.sax.saxutils import escape

from PIL import Image

HERE = pathlib.Path(__file__).resolve().parent
ASSETS = HERE.parent.parent / "resources" / "assets"

# The size the catalogue checks expect of the shipped payload.
UNIT_XML_SIZE = 23698
UNIT_FIELDS = ("tag", "factor", "chn", "remark")
PREUNIT_FIELDS = ("item", "IS", "Eng", "UK", "CUS")

PICTURE_SIZE = 72
PIXELS_PER_METRE = 11808

# The icon's images in directory order, (size, bits per pixel); they are
# resources FIRST_ICON_ID, FIRST_ICON_ID + 1, ... in the same order.
ICON_IMAGES = [(48, 4), (32, 4), (16, 4), (48, 8), (32, 8), (16, 8), (256, 32),
               (128, 32), (96, 32), (72, 32), (64, 32), (48, 32), (32, 32), (16, 32)]
FIRST_ICON_ID = 30001
# Pixels less opaque than this are transparent in the AND mask.
ALPHA_CUT = 128
# The standard 16-colour VGA palette in Windows' order; black comes first.
VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
         (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
         (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def read_table(name):
    with open(HERE / name, encoding="utf-8", newline="") as file:
        return list(csv.DictReader(file, delimiter="\t", quoting=csv.QUOTE_NONE))


def numbered(rows, fields, depth):
    """The rows as elements A0, A1, ... of one child element per field."""
    indent = "\t" * depth
    for index, row in enumerate(rows):
        yield f"{indent}<A{index}>"
        yield from (f"{indent}\t<{field}>{escape(row[field])}</{field}>" for field in fields)
        yield f"{indent}</A{index}>"


def unit_xml():
    units, preunits = read_table("units.tsv"), read_table("preunits.tsv")
    lines = ['<?xml version="1.0" encoding="gb2312" standalone="no"?>', "<aboutunits>", "\t<Units>"]
    tags = {}
    for category, rows in itertools.groupby(units, key=lambda row: row["category"]):
        rows = list(rows)
        if category in tags:
            sys.exit(f"units.tsv: the rows of {category} are not together")
        tags[category] = {row["tag"] for row in rows}
        lines += [f"\t\t<{category}>", *numbered(rows, UNIT_FIELDS, 3), f"\t\t</{category}>"]
    lines += ["\t</Units>", "\t<preunits>", *numbered(preunits, PREUNIT_FIELDS, 2), "\t</preunits>", "</aboutunits>"]
    for row in preunits:
        strangers = {row[system] for system in PREUNIT_FIELDS[1:]} - tags.get(row["item"], set())
        if strangers:
            sys.exit(f"preunits.tsv: {row['item']} prefers units it does not have: {', '.join(sorted(strangers))}")
    data = ("\r\n".join(lines) + "\r\n").encode("gb2312")
    if len(data) != UNIT_XML_SIZE:
        sys.exit(f"unit.xml comes out at {len(data)} bytes; the catalogue expects {UNIT_XML_SIZE}")
    return data


def render(svg, size, stylesheet=None):
    """The drawing at size x size pixels, as straight RGBA."""
    command = ["rsvg-convert", "--width", str(size), "--height", str(size)]
    if stylesheet:
        command += ["--stylesheet", str(HERE / stylesheet)]
    png = subprocess.run(command + [str(HERE / svg)], check=True, capture_output=True).stdout
    return Image.open(io.BytesIO(png)).convert("RGBA")


def encoded(image, format_name, **options):
    out = io.BytesIO()
    image.save(out, format_name, **options)
    return out.getvalue()


def product_bmp():
    picture = render("product.svg", PICTURE_SIZE).convert("RGB")
    inch_per_metre = 39.3701  # Pillow takes the resolution in dots per inch
    return encoded(picture, "BMP", dpi=(PIXELS_PER_METRE / inch_per_metre,) * 2)


def stride(width, bits):
    """Bytes in one row of a bitmap: rows are padded to whole 32-bit words."""
    return (width * bits + 31) // 32 * 4


def with_palette(image, bits, transparent):
    """(indexed image, its palette as RGBQUADs) for 4 or 8 bits per pixel.
    Transparent pixels take a black entry, so that the colour bitmap leaves
    the screen under the AND mask unchanged."""
    rgb = image.convert("RGB")
    if bits == 4:
        vga = Image.new("P", (1, 1))
        vga.putpalette([value for colour in VGA16 for value in colour])
        indexed = rgb.quantize(palette=vga, dither=Image.Dither.NONE)
    else:  # 255 colours of the image itself after black at index 0
        own = rgb.quantize(255, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
        indexed = own.point(lambda index: index + 1)
        indexed.putpalette([0, 0, 0] + own.getpalette()[:3 * 255])
    indexed.paste(0, mask=transparent)
    colours = indexed.getpalette() + [0] * (3 << bits)
    palette = b"".join(bytes((colours[k + 2], colours[k + 1], colours[k], 0)) for k in range(0, 3 << bits, 3))
    return indexed, palette


def icon_dib(image, bits):
    """An icon image as Windows keeps it: a BITMAPINFOHEADER of twice the
    height, the palette, the colour bitmap and the AND mask, rows bottom-up."""
    width, height = image.size
    transparent = image.getchannel("A").point(lambda alpha: 255 if alpha < ALPHA_CUT else 0, "1")
    if bits == 32:
        palette, colour = b"", image.tobytes("raw", "BGRA", stride(width, 32), -1)
    else:
        indexed, palette = with_palette(image, bits, transparent)
        colour = indexed.tobytes("raw", "P;4" if bits == 4 else "P", stride(width, bits), -1)
    mask = transparent.tobytes("raw", "1", stride(width, 1), -1)
    header = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, bits, 0, len(colour) + len(mask), 0, 0,
                         len(palette) // 4, 0)
    return header + palette + colour + mask


def icon_images():
    images = []
    for size, bits in ICON_IMAGES:
        drawing = render("icon-small.svg" if size <= 32 else "icon.svg", size, "vga.css" if bits == 4 else None)
        images.append(encoded(drawing, "PNG", optimize=True) if size == 256 else icon_dib(drawing, bits))
    return images


def directory_entry(size, bits, data):
    """What an .ico file and an RT_GROUP_ICON resource share for one image
    (256 is written as 0; only the 16-colour images count their colours)."""
    return struct.pack("<BBBBHHI", size % 256, size % 256, 16 if bits == 4 else 0, 0, 1, bits, len(data))


def icon_files(images):
    """(RT_GROUP_ICON data, .ico file) for the images in ICON_IMAGES' order."""
    header = struct.pack("<HHH", 0, 1, len(images))
    entries = [directory_entry(size, bits, data) for (size, bits), data in zip(ICON_IMAGES, images)]
    group = header + b"".join(entry + struct.pack("<H", FIRST_ICON_ID + n) for n, entry in enumerate(entries))
    offsets = itertools.accumulate((len(data) for data in images), initial=len(header) + 16 * len(images))
    ico = header + b"".join(entry + struct.pack("<I", at) for entry, at in zip(entries, offsets))
    return group, ico + b"".join(images)


def write(name, data):
    (ASSETS / name).write_bytes(data)
    print(f"resources/assets/{name:<16} {len(data):>7,} bytes")


def main():
    write("unit.xml", unit_xml())
    write("product.bmp", product_bmp())
    images = icon_images()
    for n, data in enumerate(images):
        write(f"icon_{FIRST_ICON_ID + n}.bin", data)
    group, ico = icon_files(images)
    write("icon_group.bin", group)
    write("UpDate.ico", ico)


if __name__ == "__main__":
    main()
