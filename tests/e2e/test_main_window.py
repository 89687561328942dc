"""The real program under Wine: the main window's class, title, size and place, the composed branding
panel on the screen (checked pixel by pixel against the shipped pictures), and a clean end."""
import os
import struct
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import Driver, Installer, screenshot, wait_until  # noqa: E402
from resource_ids import ID  # noqa: E402

MAIN = "class=QuarnCAD WEB Install"
OPTIONS = "QuarnCAD DEMO"  # the options dialog's title starts so
SM_CXSCREEN, SM_CYSCREEN, SM_CYDLGFRAME = 0, 1, 8
GREY = (128, 128, 128)  # the class background, GRAY_BRUSH
TITLE_BLUE, DARK_RED, SHADOW_GREY, BLACK = (22, 132, 198), (128, 0, 0), (112, 112, 112), (0, 0, 0)


class Picture:
    """A 24-bit BMP from res/, top-down, as (r, g, b) per pixel."""

    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        offset = struct.unpack_from("<I", data, 10)[0]
        self.width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
        assert bits == 24, path
        self.height = abs(height)
        stride = (self.width * 3 + 3) & ~3
        self.rows = []
        for y in range(self.height):
            src = y if height < 0 else self.height - 1 - y
            row = data[offset + src * stride: offset + src * stride + self.width * 3]
            self.rows.append([(row[i + 2], row[i + 1], row[i]) for i in range(0, len(row), 3)])

    def at(self, x, y):
        return self.rows[y][x]


class Shot:
    """A rectangle of a screenshot as (r, g, b) per pixel; coordinates relative to the rectangle."""

    def __init__(self, png, left, top, width, height):
        raw = subprocess.run(["convert", png, "-crop", "%dx%d+%d+%d" % (width, height, left, top), "+repage",
                              "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
        assert len(raw) == width * height * 3, "screenshot crop has the wrong size"
        self.width, self.raw = width, raw

    def at(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.raw[i:i + 3])

    def count(self, colour, x0, y0, x1, y1):
        return sum(1 for y in range(y0, y1) for x in range(x0, x1) if self.at(x, y) == colour)


class MainWindow(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.backdrop = Picture(os.path.join(harness.SOURCE, "res", "QuarnWin.bmp"))
        cls.logo = Picture(os.path.join(harness.SOURCE, "res", "QuarnBas.bmp"))
        cls.driver = Driver()
        cls.app = Installer(name="main_window")
        cls.driver("wait", MAIN, harness.PROGRAM_START_MS)
        # The options dialog opens over the backdrop right after start: move it out of the way so that
        # the whole panel can be looked at. (Until its template exists, opening it fails quietly.)
        rc, _ = cls.driver("wait", OPTIONS, 3000, check=False)
        cls.options_open = rc == 0
        if cls.options_open:
            screenshot("main_window_with_options")
            _, out = cls.driver("rect", OPTIONS)
            cls.options_place = [int(v) for v in out[0].split()[:2]]
            cls.driver("move", OPTIONS, -3000, -3000)

    @classmethod
    def tearDownClass(cls):
        cls.app.kill()
        cls.driver.close()

    def rect(self, what):
        _, out = self.driver(what, MAIN)
        return tuple(int(v) for v in out[0].split())

    def panel_shot(self, name):
        """Screenshot; returns the Shot of the panel area (the bitmap's place in the client area)."""
        left, top, _, _ = self.rect("client")
        png = screenshot(name)
        return png, Shot(png, left + 2, top + 2, self.backdrop.width, self.backdrop.height)

    def wait_panel(self, name):
        """Waits until the panel is on the screen (its untouched corner matches the backdrop)."""
        def ready():
            png, shot = self.panel_shot(name)
            corner = all(shot.at(x, y) == self.backdrop.at(x, y) for y in range(0, 170, 7) for x in range(0, 200, 7))
            return (png, shot) if corner else None
        return wait_until(ready, timeout=15, interval=0.2, what="the branding panel on the screen")

    def test_1_class_title_size_and_place(self):
        _, out = self.driver("list")
        mine = [line for line in out if "class=QuarnCAD WEB Install " in line]
        self.assertEqual(len(mine), 1, out)
        # "QuarnCAD telepités" as code page 1250 bytes
        self.assertEqual(self.driver.ansi(MAIN), b"QuarnCAD telepit\xe9s")
        frame = int(self.driver("metric", SM_CYDLGFRAME)[1][0])
        screen_w = int(self.driver("metric", SM_CXSCREEN)[1][0])
        screen_h = int(self.driver("metric", SM_CYSCREEN)[1][0])
        left, top, right, bottom = self.rect("rect")
        width, height = right - left, bottom - top
        self.assertEqual((width, height), (600 + 2 * frame, 350 + 2 * frame))
        self.assertEqual((left, top), ((screen_w - width) // 2, (screen_h - height) // 2))
        # the client area holds the bitmap with a two-pixel margin at the left and the top
        c_left, c_top, c_right, c_bottom = self.rect("client")
        self.assertGreaterEqual(c_right - c_left, 600 + 2)
        self.assertGreaterEqual(c_bottom - c_top, 350 + 2)

    def test_2_composed_panel_on_screen(self):
        png, shot = self.wait_panel("main_window")
        left, top, right, bottom = self.rect("rect")
        screenshot("main_window_panel", (left, top, right, bottom))
        c_left, c_top, c_right, c_bottom = self.rect("client")
        top_margin = Shot(png, c_left, c_top, c_right - c_left, 2)
        self.assertEqual({top_margin.at(x, y) for y in range(2) for x in range(c_right - c_left)}, {GREY})
        left_margin = Shot(png, c_left, c_top, 2, c_bottom - c_top)
        self.assertEqual({left_margin.at(x, y) for y in range(c_bottom - c_top) for x in range(2)}, {GREY})

        # where no text lies, the picture is the backdrop unchanged
        bad = [(x, y) for y in range(0, 170) for x in range(0, 200) if shot.at(x, y) != self.backdrop.at(x, y)]
        self.assertEqual(bad, [])
        # "QuarnCAD" in the title block colour (the backdrop has none of it), centred on x = 408
        self.assertGreater(shot.count(TITLE_BLUE, 300, 4, 520, 39), 200)
        self.assertEqual(shot.count(TITLE_BLUE, 0, 0, 300, 39), 0)
        # the product line and "Windows 10" below it
        self.assertGreater(shot.count(TITLE_BLUE, 220, 39, 600, 70), 200)
        self.assertGreater(shot.count(TITLE_BLUE, 330, 123, 490, 150), 100)
        # the dark red version text on its grey shadow
        self.assertGreater(shot.count(DARK_RED, 250, 71, 570, 125), 300)
        self.assertGreater(shot.count(SHADOW_GREY, 250, 71, 575, 128), 50)
        # the left column: black contact lines, dark red rights notice
        self.assertGreater(shot.count(BLACK, 12, 185, 260, 312), 300)
        self.assertGreater(shot.count(DARK_RED, 12, 315, 268, 345), 100)

        # the logo ANDed into the backdrop at (268, 163): where no text lies, every pixel is exactly
        # backdrop AND logo, and the ink of the logo darkens it
        lx, ly = 600 - self.logo.width - 40, 350 - self.logo.height - 6
        self.assertEqual((lx, ly), (268, 163))
        wrong, darkened = [], 0
        for y in range(0, self.logo.height):
            for x in range(40, self.logo.width):
                b, g = self.backdrop.at(lx + x, ly + y), self.logo.at(x, y)
                want = tuple(b[i] & g[i] for i in range(3))
                if shot.at(lx + x, ly + y) != want:
                    wrong.append((lx + x, ly + y))
                elif want != b:
                    darkened += 1
        self.assertEqual(wrong[:10], [])
        self.assertGreater(darkened, 3000)

    def test_3_repaint_shows_the_same_picture(self):
        _, before = self.wait_panel("main_window_before_repaint")
        self.driver("redraw", MAIN)
        # the repaint must bring back exactly the same pixels (texts are not drawn again)
        _, after = wait_until(lambda: (lambda s: s if s[1].raw == before.raw else None)(
            self.panel_shot("main_window_after_repaint")), timeout=10, interval=0.2, what="the repainted panel")
        self.assertEqual(after.raw, before.raw)

    def test_4_about_box_from_info(self):
        if not self.options_open:
            self.skipTest("the options dialog is not there yet")
        self.driver("move", OPTIONS, *self.options_place)
        about = "Inform\u00e1ci\u00f3k!"
        closers = [("ok", lambda: self.driver("click", about, 1)),
                   ("esc", lambda: self.driver("key", about, 27)),
                   ("close_box", lambda: self.driver("close", about))]
        for name, close in closers:
            with self.subTest(name):
                self.driver("click", OPTIONS, ID["IDC_INFO_BUTTON"])  # Infó
                self.driver("wait", about, 10000)
                self.assertEqual(self.driver.ansi(about), b"Inform\xe1ci\xf3k!")
                _, dump = self.driver("dump", about)
                texts = "\n".join(dump)
                for line in ("QuarnCAD 'Windows10' V9.21", "Telep\u00edt\u0151 alrendszer",
                             "QuarnSoft Kft. 1992-2019", "Minden jog fenntartva!", "text=Rendben"):
                    self.assertIn(line, texts)
                if name == "ok":
                    screenshot("about_box")
                close()
                self.driver("gone", about, 10000)
                # back in the options dialog, which stays open
                self.driver("wait", OPTIONS, 3000)

    def test_5_closing_ends_the_process_with_zero(self):
        if self.options_open:
            self.driver("click", OPTIONS, 2)  # Mégsem: ends the program
        else:
            self.driver("close", MAIN)
        self.assertEqual(self.app.wait_exit(timeout=30), 0)
        self.driver("gone", MAIN, 5000)


if __name__ == "__main__":
    harness.main()
