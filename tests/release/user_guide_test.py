#!/usr/bin/python3
"""TessalyUserGuide.pdf made from docs/guide/TessalyUserGuide.md and this build's tour.

  user_guide_test.py --screenshots FOLDER --out FILE.pdf

Makes the guide (the release's and the installer's copy is this file), then reads it back with
poppler: its pages as text, the pictures on each page, and the pages rendered to images, so that
what a reader sees is checked, chapter by chapter."""
import argparse
import importlib.machinery
import os
import re
import subprocess
import sys
import tempfile
import unittest

from PIL import Image, ImageFilter

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
guide = importlib.machinery.SourceFileLoader(
    "make_guide", os.path.join(ROOT, "scripts", "make-guide.py")).load_module()

# One picture of each wizard: the chapter that shows it is that wizard's chapter.
WIZARD_PICTURES = {
    "duplicate plugins": "duplicate-finder",
    "installed products": "products-list",
    "Kontakt's Libraries tab": "kontakt-libraries",
    "thumbnails": "thumbnails-scan",
    "relocation": "relocate-folders",
}

options = None


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def words(text):
    return re.sub(r"[^0-9a-z]+", " ", text.lower()).strip()


def markdown_chapters(path):
    """[(title, [picture names])] for each ## chapter of the Markdown source."""
    chapters = []
    with open(path, encoding="utf-8") as file:
        for line in file:
            if line.startswith("## "):
                title = re.sub(r"[`*_]", "", line[3:].strip())
                chapters.append((title, []))
            elif chapters:
                chapters[-1][1].extend(guide.IMAGE_REFERENCE.findall(line))
    return chapters


def solid_dark_share(png):
    """The share of a rendered page covered by dark areas at least 5 pixels across (the program's
    dark pages); text, however dark, is thinner and leaves nothing."""
    with Image.open(png) as page:
        dark = page.convert("L").point(lambda v: 255 if v < 70 else 0)
        solid = dark.filter(ImageFilter.MinFilter(5))
        return solid.histogram()[255] / (page.width * page.height)


class UserGuideTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pictures = guide.make_guide(options.screenshots, options.out)
        cls.pdf = options.out
        pages = int(re.search(r"^Pages:\s+(\d+)", run("pdfinfo", cls.pdf), re.M).group(1))
        # The running header (first line of a page) names the page's chapter.
        cls.page_texts = [run("pdftotext", "-layout", "-f", str(n), "-l", str(n), cls.pdf, "-")
                          for n in range(1, pages + 1)]
        cls.images_on_page = [0] * (pages + 1)
        for line in run("pdfimages", "-list", cls.pdf).splitlines()[2:]:
            cls.images_on_page[int(line.split()[0])] += 1
        cls.render = tempfile.TemporaryDirectory(prefix="user-guide-pages-")
        run("pdftoppm", "-r", "40", "-png", cls.pdf, os.path.join(cls.render.name, "page"))
        cls.rendered = sorted(os.listdir(cls.render.name))
        cls.chapters = markdown_chapters(guide.SOURCE)

    @classmethod
    def tearDownClass(cls):
        cls.render.cleanup()

    def header(self, page):
        lines = [line.strip() for line in self.page_texts[page - 1].splitlines() if line.strip()]
        return words(lines[0]) if lines else ""

    def pages_of(self, title):
        return [n for n in range(1, len(self.page_texts) + 1) if self.header(n) == words(title)]

    def dark_share(self, page):
        return solid_dark_share(os.path.join(self.render.name, self.rendered[page - 1]))

    def test_title_page_carries_the_version_record(self):
        record = guide.version_record()
        first = self.page_texts[0]
        self.assertIn("Tessaly User Guide", first)
        self.assertIn(record["TESSALY_VERSION_TEXT"], first)
        self.assertIn(record["TESSALY_COPYRIGHT"], first)
        self.assertNotIn("{{", "".join(self.page_texts))
        self.assertIn(f"Title:           Tessaly User Guide", run("pdfinfo", self.pdf))

    def test_every_chapter_is_in_the_contents_and_has_its_pages(self):
        contents = words("".join(self.page_texts[n - 1] for n in self.pages_of("Contents")))
        for title, _ in self.chapters:
            with self.subTest(chapter=title):
                self.assertIn(words(title), contents)
                self.assertTrue(self.pages_of(title), f"no page has the header {title}")

    def test_each_wizard_is_shown_with_its_pictures(self):
        self.assertEqual(len(self.rendered), len(self.page_texts))
        for wizard, picture in WIZARD_PICTURES.items():
            with self.subTest(wizard=wizard):
                titles = [title for title, names in self.chapters if picture in names]
                self.assertEqual(len(titles), 1, f"{picture} is not in exactly one chapter")
                title = titles[0]
                expected = [names for t, names in self.chapters if t == title][0]
                self.assertGreaterEqual(len(expected), 2, f"{title} has fewer than 2 pictures")
                pages = self.pages_of(title)
                drawn = sum(self.images_on_page[n] for n in pages)
                self.assertEqual(drawn, len(expected), f"pictures drawn in {title}")
                # Rendered, the chapter's pages with pictures show the program's dark pages.
                shown = [n for n in pages if self.images_on_page[n] and self.dark_share(n) > 0.05]
                self.assertEqual(shown, [n for n in pages if self.images_on_page[n]])

    def test_every_picture_is_drawn_and_text_pages_are_not_mistaken_for_pictures(self):
        references = sum(len(names) for _, names in self.chapters)
        self.assertEqual(sum(self.images_on_page), references)
        self.assertEqual(set(self.pictures),
                         {name for _, names in self.chapters for name in names})
        # The measure itself: the title and contents pages, text only, have no dark areas.
        text_pages = [1] + self.pages_of("Contents")
        self.assertGreater(len(text_pages), 1)
        for page in text_pages:
            self.assertEqual(self.images_on_page[page], 0)
            self.assertLess(self.dark_share(page), 0.001)

    def test_relocation_examples_follow_the_folder_page(self):
        # The relocation page's "See User Guide for Examples..." promises them.
        titles = [title for title, _ in self.chapters]
        self.assertIn("Relocation examples", titles)
        pages = self.pages_of("Relocation examples")
        text = "".join(self.page_texts[n - 1] for n in pages)
        self.assertGreaterEqual(len(re.findall(r"Example \d", text)), 4)
        self.assertIn("Full Target Path", text)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--screenshots", required=True)
    parser.add_argument("--out", required=True)
    options, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)
