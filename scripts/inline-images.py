#!/usr/bin/python3
"""Writes an HTML page with every <img src="FILE.png"> replaced by a data: URI, so that the page
opens on its own in any browser, without the picture files beside it.
   inline-images.py IN.html OUT.html"""
import base64
import pathlib
import re
import sys

source, target = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])


def inline(match):
    picture = source.parent / match.group(2)
    data = base64.b64encode(picture.read_bytes()).decode("ascii")
    return f'{match.group(1)}"data:image/png;base64,{data}"'


page, count = re.subn(r'(<img\s[^>]*?src=)"([^":]+\.png)"', inline, source.read_text("utf-8"))
if count == 0 or re.search(r'<img\s[^>]*?src="(?!data:)', page):
    sys.exit(f"{source}: a picture was not embedded")
target.write_text(page, "utf-8", newline="\r\n")
