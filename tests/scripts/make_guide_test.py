#!/usr/bin/python3
"""scripts/make-guide.py on small guides and made-up screenshots: which picture it takes, how it
crops it, and the guides it refuses."""
import importlib.machinery
import os
import subprocess
import tempfile
import unittest

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
guide = importlib.machinery.SourceFileLoader(
    "make_guide", os.path.join(ROOT, "scripts", "make-guide.py")).load_module()

DESKTOP = (58, 110, 165)
WINDOW = (31, 31, 31)


def save_screenshot(path, window_box, size=(320, 240)):
    """A desktop with one window: a dark rectangle with a light title bar."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    picture = Image.new("RGB", size, DESKTOP)
    left, top, right, bottom = window_box
    picture.paste(WINDOW, (left, top, right, bottom))
    picture.paste((220, 220, 220), (left, top, right, top + 6))
    picture.save(path)


def pdf_images(pdf):
    """(page, width, height) of every picture drawn in the PDF."""
    listing = subprocess.run(["pdfimages", "-list", pdf], check=True, capture_output=True,
                             text=True).stdout.splitlines()[2:]
    return [(int(f[0]), int(f[3]), int(f[4])) for f in (line.split() for line in listing)]


def pdf_text(pdf):
    return subprocess.run(["pdftotext", "-layout", pdf, "-"], check=True, capture_output=True,
                          text=True).stdout


class MakeGuideTest(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.TemporaryDirectory(prefix="make-guide-test-")
        self.shots = os.path.join(self.work.name, "screenshots")
        self.source = os.path.join(self.work.name, "guide.md")
        self.pdf = os.path.join(self.work.name, "out", "guide.pdf")

    def tearDown(self):
        self.work.cleanup()

    def write_guide(self, text):
        with open(self.source, "w", encoding="utf-8") as file:
            file.write(text)

    def make(self):
        return guide.make_guide(self.shots, self.pdf, source=self.source)

    def test_crop_keeps_exactly_the_windows(self):
        shot = os.path.join(self.shots, "Tour.A", "01-page.png")
        save_screenshot(shot, (40, 30, 200, 150))
        cropped = os.path.join(self.work.name, "cropped.png")
        guide.crop_to_windows(shot, cropped)
        with Image.open(cropped) as picture:
            self.assertEqual(picture.size, (160, 120))
            self.assertEqual(picture.convert("RGB").getpixel((0, 0)), (220, 220, 220))
            self.assertEqual(picture.convert("RGB").getpixel((159, 119)), WINDOW)

        empty = os.path.join(self.shots, "Tour.A", "02-desktop.png")
        Image.new("RGB", (50, 40), DESKTOP).save(empty)
        with self.assertRaisesRegex(guide.GuideError, "only the desktop"):
            guide.crop_to_windows(empty, cropped)

    def test_guide_takes_the_tours_pictures_and_the_version_record(self):
        # "page" is saved by the tour and by another test: the tour's (160 x 120) is taken.
        save_screenshot(os.path.join(self.shots, "Tour.A", "01-page.png"), (40, 30, 200, 150))
        save_screenshot(os.path.join(self.shots, "Other.Test", "01-page.png"), (10, 10, 60, 40))
        # "dialog" only by another test: that one is taken.
        save_screenshot(os.path.join(self.shots, "Other.Test", "02-dialog.png"), (5, 5, 105, 55))
        self.write_guide("# Guide\n\nVersion {{VERSION}}\n\n{{COPYRIGHT}}\n\n"
                         "## First chapter\n\nText.\n\n![The page](screenshots/page.png)\n\n"
                         "## Second chapter\n\n![A dialog](screenshots/dialog.png)\n\n"
                         "![The page again](screenshots/page.png)\n")
        pictures = os.path.join(self.work.name, "pictures")
        self.assertEqual(guide.make_guide(self.shots, self.pdf, source=self.source,
                                          pictures_out=pictures), ["dialog", "page"])
        # The cropped copies for the Markdown's own readers.
        self.assertEqual(sorted(os.listdir(pictures)), ["dialog.png", "page.png"])
        with Image.open(os.path.join(pictures, "page.png")) as page:
            self.assertEqual(page.size, (160, 120))

        record = guide.version_record()
        text = pdf_text(self.pdf)
        self.assertIn(record["TESSALY_VERSION_TEXT"], text)
        self.assertIn(record["TESSALY_COPYRIGHT"], text)
        self.assertNotIn("{{", text)
        self.assertIn("The page again", text)  # captions under the pictures
        images = pdf_images(self.pdf)
        self.assertEqual(sorted((w, h) for _, w, h in images), [(100, 50), (160, 120), (160, 120)])
        # Title page, contents, then one page per chapter: the pictures sit in their chapters.
        self.assertEqual(sorted(page for page, _, _ in images), [3, 4, 4])

    def test_refuses_guides_whose_pictures_are_missing_or_ambiguous(self):
        save_screenshot(os.path.join(self.shots, "Tour.A", "01-twice.png"), (1, 1, 50, 50))
        save_screenshot(os.path.join(self.shots, "Tour.B", "03-twice.png"), (1, 1, 50, 50))
        save_screenshot(os.path.join(self.shots, "One.Test", "01-shared.png"), (1, 1, 50, 50))
        save_screenshot(os.path.join(self.shots, "Two.Test", "01-shared.png"), (1, 1, 50, 50))
        save_screenshot(os.path.join(self.shots, "Tour.A", "02-good.png"), (1, 1, 50, 50))
        cases = [
            ("![x](screenshots/absent.png)", "no screenshot named absent"),
            ("![x](screenshots/twice.png)", "more than one picture named twice"),
            ("![x](screenshots/shared.png)", "more than one test"),
            ("![x](screenshots/good.png)\n\n![y](pictures/other.png)", "is not a screenshot"),
            ("No pictures at all.", "names no screenshots"),
        ]
        for body, message in cases:
            with self.subTest(body=body):
                self.write_guide("# Guide\n\n## Chapter\n\n" + body + "\n")
                with self.assertRaisesRegex(guide.GuideError, message):
                    self.make()
                self.assertFalse(os.path.exists(self.pdf))

        self.write_guide("# Guide\n\n![x](screenshots/good.png)\n")
        with self.assertRaisesRegex(guide.GuideError, "no chapters"):
            self.make()


if __name__ == "__main__":
    unittest.main()
