#!/usr/bin/python3
"""Makes TessalyUserGuide.pdf from docs/guide/TessalyUserGuide.md and the tour's screenshots.

  scripts/make-guide.py --screenshots FOLDER --out FILE.pdf [--html FILE.html] [--pictures DIR]

FOLDER holds the end-to-end screenshots (<Suite>.<Test>/<NN>-<name>.png, as the tour and the
end-to-end tier save them). The guide names its pictures "screenshots/<name>.png"; each is taken
from the tour's folders (Tour.*) or else from the one other test that saved a picture of that
name, cropped to the program's windows (the Wine desktop around them is left out), so the guide
always shows the program as this build draws it. With --pictures the cropped pictures are also
saved there as <name>.png (docs/guide/screenshots holds the copies that the Markdown and the
README show on their own). The version and copyright come from resources/version.h. Runs on
Debian's python3 with python3-markdown, weasyprint and python3-pil.
"""
import argparse
import html
import os
import pathlib
import re
import shutil
import sys
import tempfile

import markdown
from PIL import Image, ImageChops
import weasyprint

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOURCE = os.path.join(ROOT, "docs", "guide", "TessalyUserGuide.md")
STYLE = os.path.join(ROOT, "docs", "guide", "guide.css")
VERSION_HEADER = os.path.join(ROOT, "resources", "version.h")

IMAGE_REFERENCE = re.compile(r"!\[[^\]]*\]\(screenshots/([A-Za-z0-9_-]+)\.png\)")
SHOT_NAME = re.compile(r"^\d+-(.+)\.png$")


class GuideError(Exception):
    pass


def version_record(path=VERSION_HEADER):
    """The #define'd texts of the version record, by name."""
    with open(path, encoding="utf-8") as header:
        return dict(re.findall(r'^#define\s+(\w+)\s+"([^"]*)"', header.read(), re.M))


def screenshot_index(folder):
    """Maps each picture name to the (test, file) pairs that carry it."""
    index = {}
    if not os.path.isdir(folder):
        raise GuideError(f"no screenshots folder: {folder}")
    for test in sorted(os.listdir(folder)):
        test_folder = os.path.join(folder, test)
        if not os.path.isdir(test_folder):
            continue
        for file in sorted(os.listdir(test_folder)):
            match = SHOT_NAME.match(file)
            if match:
                index.setdefault(match.group(1), []).append((test, os.path.join(test_folder, file)))
    return index


def choose_screenshot(name, index):
    candidates = index.get(name, [])
    tour = [path for test, path in candidates if test.startswith("Tour.")]
    if len(tour) == 1:
        return tour[0]
    if len(tour) > 1:
        raise GuideError(f"the tour saved more than one picture named {name}: {tour}")
    if len(candidates) == 1:
        return candidates[0][1]
    if not candidates:
        raise GuideError(f"no screenshot named {name} (is the tour's run complete?)")
    raise GuideError(f"more than one test saved a picture named {name}: "
                     f"{[test for test, _ in candidates]}")


def crop_to_windows(source, target):
    """Saves the part of a desktop screenshot that holds windows: the bounding box of every pixel
    whose colour differs from the desktop's (the top-left pixel's)."""
    with Image.open(source) as picture:
        picture = picture.convert("RGB")
        desktop = Image.new("RGB", picture.size, picture.getpixel((0, 0)))
        box = ImageChops.difference(picture, desktop).getbbox()
        if box is None:
            raise GuideError(f"{source} shows only the desktop")
        picture.crop(box).save(target, optimize=True)


def figure_html(match):
    alt = match.group(1)
    source = match.group(2)
    return (f'<figure><img alt="{alt}" src="{source}" />'
            f"<figcaption>{alt}</figcaption></figure>")


def render_html(text, pictures, record):
    """The guide as one HTML document: a title page, the contents with page numbers, the text."""
    text = text.replace("{{VERSION}}", record["TESSALY_VERSION_TEXT"])
    text = text.replace("{{COPYRIGHT}}", record["TESSALY_COPYRIGHT"])
    converter = markdown.Markdown(extensions=["tables", "toc", "sane_lists"],
                                  extension_configs={"toc": {"toc_depth": "2-3"}})
    body = converter.convert(text)
    # Pictures alone in their paragraph become figures with their caption under them.
    body = re.sub(r'<p><img alt="([^"]*)" src="([^"]*)" ?/?></p>', figure_html, body)
    uris = {name: pathlib.Path(path).as_uri() for name, path in pictures.items()}
    for name, uri in uris.items():
        body = body.replace(f'src="screenshots/{name}.png"', f'src="{uri}"')
    ours = set(uris.values())
    for source in re.findall(r'<img [^>]*src="([^"]*)"', body):
        if source not in ours:
            raise GuideError(f"the picture {source} is not a screenshot: pictures are written "
                             "![caption](screenshots/name.png)")

    # The title block is the text before the first chapter; the contents list the chapters and
    # their sections.
    first_chapter = body.find("<h2")
    if first_chapter < 0:
        raise GuideError("the guide has no chapters (## headings)")
    title, chapters = body[:first_chapter], body[first_chapter:]
    contents = []
    for entry in converter.toc_tokens:
        for chapter in entry.get("children", []) if entry["level"] == 1 else [entry]:
            contents.append(f'<li class="chapter"><a href="#{chapter["id"]}">'
                            f'{chapter["name"]}</a></li>')
            for section in chapter.get("children", []):
                contents.append(f'<li class="section"><a href="#{section["id"]}">'
                                f'{section["name"]}</a></li>')
    with open(STYLE, encoding="utf-8") as style:
        css = style.read()
    heading = html.escape(f"Tessaly User Guide {record['TESSALY_VERSION_TEXT']}")
    return (
        "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">"
        f"<title>Tessaly User Guide</title>"
        f"<meta name=\"author\" content=\"{html.escape(record['TESSALY_PUBLISHER'])}\">"
        f"<meta name=\"description\" content=\"{heading}\">"
        f"<style>{css}</style></head><body>"
        f"<section class=\"title-page\">{title}</section>"
        f"<nav class=\"contents\"><h2 class=\"contents-title\">Contents</h2><ul>"
        f"{''.join(contents)}</ul></nav>"
        f"<main>{chapters}</main></body></html>")


def make_guide(screenshots, out, html_out=None, source=SOURCE, pictures_out=None):
    with open(source, encoding="utf-8") as file:
        text = file.read()
    names = sorted(set(IMAGE_REFERENCE.findall(text)))
    if not names:
        raise GuideError(f"{source} names no screenshots")
    index = screenshot_index(screenshots)
    record = version_record()
    with tempfile.TemporaryDirectory(prefix="tessaly-guide-") as work:
        pictures = {}
        for name in names:
            cropped = os.path.join(work, name + ".png")
            crop_to_windows(choose_screenshot(name, index), cropped)
            pictures[name] = cropped
            if pictures_out:
                os.makedirs(pictures_out, exist_ok=True)
                shutil.copyfile(cropped, os.path.join(pictures_out, name + ".png"))
        document = render_html(text, pictures, record)
        if html_out:
            with open(html_out, "w", encoding="utf-8") as file:
                file.write(document)
        os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
        partial = out + ".part"
        weasyprint.HTML(string=document, base_url=work).write_pdf(partial)
        os.replace(partial, out)
    return names


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--screenshots", required=True, help="the end-to-end screenshots folder")
    parser.add_argument("--out", required=True, help="the PDF to write")
    parser.add_argument("--html", help="also write the HTML the PDF is made from")
    parser.add_argument("--pictures", help="also save the cropped pictures into this folder")
    arguments = parser.parse_args()
    try:
        names = make_guide(arguments.screenshots, arguments.out, arguments.html,
                           pictures_out=arguments.pictures)
    except (GuideError, OSError) as error:
        print(f"make-guide: {error}", file=sys.stderr)
        return 1
    print(f"{arguments.out}: {len(names)} pictures, {os.path.getsize(arguments.out)} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
