#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks that the software-centre entry says what the menu entry says, and that its screenshot is the
picture kept in the source tree at the path its address names, at the size it gives.

    entries_agree.py DESKTOP_FILE METAINFO_FILE SOURCE_DIR

Prints each disagreement and exits with status 1 when there is one."""
import configparser
import os
import struct
import sys
import xml.etree.ElementTree as ElementTree

# The address of a file of the source tree once the repository is published at the home the id names.
REPOSITORY_FILES = "https://raw.githubusercontent.com/kalendro/kalendro/main/"


def desktop_list(value):
    return [item for item in value.split(";") if item]


def png_size(path):
    with open(path, "rb") as png:
        header = png.read(24)
    if header[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path} is not a PNG file")
    return struct.unpack(">II", header[16:24])


def disagreements(desktop_path, metainfo_path, source_dir):
    parser = configparser.ConfigParser(interpolation=None)
    parser.optionxform = str
    parser.read(desktop_path, encoding="utf-8")
    entry = parser["Desktop Entry"]
    component = ElementTree.parse(metainfo_path).getroot()

    def texts(path):
        return [element.text for element in component.findall(path)]

    pairs = [
        ("id", component.findtext("id") + ".desktop", os.path.basename(desktop_path)),
        ("launchable", component.findtext("launchable[@type='desktop-id']"), os.path.basename(desktop_path)),
        ("name", component.findtext("name"), entry["Name"]),
        ("icon", component.findtext("icon[@type='stock']"), entry["Icon"]),
        ("categories", texts("categories/category"), desktop_list(entry["Categories"])),
        ("keywords", texts("keywords/keyword"), desktop_list(entry["Keywords"])),
        ("media types", texts("provides/mediatype"), desktop_list(entry["MimeType"])),
        ("program", entry["Exec"].split()[0] in texts("provides/binary"), True),
    ]
    found = [f"{what}: the metainfo says {ours!r}, the desktop entry {theirs!r}"
             for what, ours, theirs in pairs if ours != theirs]

    for image in component.findall("screenshots/screenshot/image"):
        address = image.text.strip()
        if not address.startswith(REPOSITORY_FILES):
            found.append(f"screenshot {address} is not a file of the repository")
            continue
        picture = os.path.join(source_dir, address[len(REPOSITORY_FILES):])
        if not os.path.isfile(picture):
            found.append(f"screenshot {address}: no {picture} in the source tree")
            continue
        size = (int(image.get("width", 0)), int(image.get("height", 0)))
        if png_size(picture) != size:
            found.append(f"screenshot {picture} is {png_size(picture)}, the metainfo says {size}")
    return found


def main():
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    found = disagreements(*sys.argv[1:])
    for disagreement in found:
        print(disagreement, file=sys.stderr)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
