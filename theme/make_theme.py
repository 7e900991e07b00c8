#!/usr/bin/python3
"""Draws the default theme of the Ombrix Image to PDF Converter.

Writes every theme image (PNG) under theme/default/ and the face description theme/face.xml,
and the application icon in the desktop's sizes under packaging/icons/.
The build zips theme/default/ into Themes/default.zip. Run it after changing the artwork and
commit its output with it:

    /usr/bin/python3 theme/make_theme.py

Needs Pillow (Debian: python3-pil) and the DejaVu fonts (fonts-dejavu-core).
"""
import os
from PIL import Image, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "default")
# The application icon for the desktop (menus, docks, file managers' "Open with").
DESKTOP_ICONS = os.path.join(HERE, "..", "packaging", "icons", "hicolor")
DESKTOP_ICON_NAME = "com.ombrix.ImageToPdf"
DESKTOP_ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
SS = 4  # supersampling factor for smooth edges
FONT_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

# One palette for the whole theme.
NAVY_DARK = (23, 41, 68)
NAVY = (31, 58, 96)
NAVY_LIGHT = (40, 74, 120)
ACCENT = (240, 134, 36)
ACCENT_HOVER = (248, 158, 66)
ACCENT_PRESSED = (212, 112, 22)
PANEL = (244, 246, 250)
TOOLBAR_TOP = (252, 253, 255)
TOOLBAR_BOTTOM = (235, 240, 247)
BORDER = (205, 213, 226)
WHITE = (255, 255, 255)
TEXT = (31, 41, 55)
TEXT_SOFT = (96, 112, 134)
HOVER_FILL = (224, 235, 251)
HOVER_BORDER = (164, 190, 230)
PRESSED_FILL = (201, 220, 246)
PRESSED_BORDER = (128, 163, 214)
RED = (216, 64, 64)
GREEN = (46, 160, 90)

# Main window geometry (the face bands match these).
WIDTH, HEIGHT = 900, 620
TITLE_H = 40
MENU_Y, MENU_H = 40, 30
TOOL_Y, TOOL_H = 70, 86
TOOL_BUTTON_H = 56
LIST = (12, 164, 876, 300)
OUTPUT_Y = 472
# Where the main background may stretch: clear of the window's edges, of the list sheet's
# rounded corners and shadow, and of every band's edge lines.
STRETCH = (40, LIST[1] + 36, WIDTH - 80, LIST[3] - 72)


def save(image, name):
    path = os.path.join(OUT, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    image.save(path, optimize=True)


def gradient(size, top, bottom):
    w, h = size
    image = Image.new("RGBA", size)
    draw = ImageDraw.Draw(image)
    for y in range(h):
        t = y / max(1, h - 1)
        colour = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
        draw.line([(0, y), (w, y)], fill=colour + (255,))
    return image


def rounded(size, radius, fill_top, fill_bottom=None, outline=None, width=1, shadow=False):
    """A smooth rounded rectangle filling `size`, drawn supersampled."""
    w, h = size
    big = Image.new("RGBA", (w * SS, h * SS), (0, 0, 0, 0))
    inset = 1 if shadow else 0
    box = [0, 0, w * SS - 1, (h - inset) * SS - 1]
    mask = Image.new("L", big.size, 0)
    ImageDraw.Draw(mask).rounded_rectangle(box, radius * SS, fill=255)
    fill = gradient(big.size, fill_top, fill_bottom or fill_top)
    if shadow:
        shade = Image.new("L", big.size, 0)
        ImageDraw.Draw(shade).rounded_rectangle([0, SS, w * SS - 1, h * SS - 1], radius * SS, fill=70)
        big.paste((0, 0, 0, 255), (0, 0), shade)
    big.paste(fill, (0, 0), mask)
    if outline:
        ImageDraw.Draw(big).rounded_rectangle(box, radius * SS, outline=outline + (255,), width=width * SS)
    return big.resize(size, Image.LANCZOS)


def canvas(size):
    return Image.new("RGBA", (size[0] * SS, size[1] * SS), (0, 0, 0, 0))


def shrink(big):
    return big.resize((big.width // SS, big.height // SS), Image.LANCZOS)


# --- Icons (drawn on a 4x canvas of the given size) -------------------------------------

def icon_document(draw, x, y, s, colour=WHITE, edge=NAVY):
    """A page with a folded corner, s wide and 1.25 s high, at (x, y) in 4x units."""
    w, h, fold = s, s * 1.25, s * 0.32
    draw.polygon([(x, y), (x + w - fold, y), (x + w, y + fold), (x + w, y + h), (x, y + h)],
                 fill=colour, outline=edge)
    draw.line([(x, y), (x + w - fold, y), (x + w, y + fold), (x + w, y + h), (x, y + h), (x, y)],
              fill=edge, width=max(1, int(s / 12)), joint="curve")
    draw.polygon([(x + w - fold, y), (x + w - fold, y + fold), (x + w, y + fold)], fill=edge)


def icon_picture(draw, x, y, w, h, sky, sun, hills):
    draw.rectangle([x, y, x + w, y + h], fill=sky)
    r = w * 0.12
    draw.ellipse([x + w * 0.68 - r, y + h * 0.3 - r, x + w * 0.68 + r, y + h * 0.3 + r], fill=sun)
    draw.polygon([(x, y + h), (x + w * 0.35, y + h * 0.45), (x + w * 0.62, y + h)], fill=hills)
    draw.polygon([(x + w * 0.38, y + h), (x + w * 0.7, y + h * 0.6), (x + w, y + h)],
                 fill=tuple(max(0, c - 30) for c in hills))


def badge(draw, cx, cy, r, colour, sign):
    draw.ellipse([cx - r, cy - r, cx + r, cy + r], fill=colour, outline=WHITE, width=int(r / 5))
    bar = r * 0.55
    thick = r * 0.2
    draw.rectangle([cx - bar, cy - thick, cx + bar, cy + thick], fill=WHITE)
    if sign == "+":
        draw.rectangle([cx - thick, cy - bar, cx + thick, cy + bar], fill=WHITE)


def tool_icon(kind, size=32):
    big = canvas((size, size))
    d = ImageDraw.Draw(big)
    u = size * SS / 32.0  # one icon unit
    if kind in ("add-file", "delete"):
        icon_document(d, 5 * u, 2 * u, 18 * u, WHITE, NAVY)
        icon_picture(d, 8 * u, 11 * u, 12 * u, 9 * u, (190, 215, 245), ACCENT, (80, 150, 110))
        badge(d, 24 * u, 24 * u, 7 * u, GREEN if kind == "add-file" else RED, "+" if kind == "add-file" else "-")
    elif kind == "add-folder":
        d.rounded_rectangle([2 * u, 6 * u, 14 * u, 12 * u], 2 * u, fill=(236, 178, 60))
        d.rounded_rectangle([2 * u, 9 * u, 28 * u, 27 * u], 2.5 * u, fill=(246, 196, 84), outline=(214, 150, 40), width=int(u))
        badge(d, 24 * u, 24 * u, 7 * u, GREEN, "+")
    elif kind == "clear-all":
        # A bin.
        d.rounded_rectangle([7 * u, 9 * u, 25 * u, 29 * u], 2.5 * u, fill=(232, 237, 244), outline=NAVY, width=int(1.6 * u))
        d.rounded_rectangle([4 * u, 5 * u, 28 * u, 9 * u], 1.5 * u, fill=NAVY)
        d.rectangle([13 * u, 2.5 * u, 19 * u, 5 * u], fill=NAVY)
        for x in (11.5, 16, 20.5):
            d.rounded_rectangle([(x - 0.9) * u, 12.5 * u, (x + 0.9) * u, 25.5 * u], 0.9 * u, fill=RED)
    return shrink(big)


# --- Buttons ---------------------------------------------------------------------------

def big_buttons():
    size = (60, 44)  # left cap 20, centre 20, right cap 20
    looks = {
        "normal": (ACCENT_HOVER, ACCENT, (196, 104, 20)),
        "current": ((252, 178, 96), ACCENT_HOVER, (210, 120, 30)),
        "pressed": (ACCENT_PRESSED, (226, 124, 30), (170, 86, 10)),
    }
    for state, (top, bottom, edge) in looks.items():
        save(rounded(size, 9, top, bottom, outline=edge, shadow=True), f"image/base/big-{state}.png")


def small_buttons():
    size = (36, 30)  # left cap 12, centre 12, right cap 12
    looks = {
        "normal": (WHITE, (240, 243, 248), BORDER),
        "current": ((245, 249, 255), HOVER_FILL, HOVER_BORDER),
        "pressed": (PRESSED_FILL, HOVER_FILL, PRESSED_BORDER),
    }
    for state, (top, bottom, edge) in looks.items():
        save(rounded(size, 6, top, bottom, outline=edge), f"image/base/small-{state}.png")


def title_buttons():
    size = 28
    for state in ("normal", "current", "pressed"):
        for kind, folder in (("close", "image/base"), ("minimize", "image/titlebar"),
                             ("maximize", "image/titlebar"), ("restore", "image/titlebar")):
            big = canvas((size, size))
            d = ImageDraw.Draw(big)
            if state != "normal":
                fill = (RED if state == "current" else (180, 40, 40)) if kind == "close" else \
                       ((255, 255, 255, 46) if state == "current" else (255, 255, 255, 80))
                d.rounded_rectangle([0, 0, size * SS - 1, size * SS - 1], 6 * SS, fill=fill)
            c = size * SS / 2
            r = 5 * SS
            w = int(1.8 * SS)
            if kind == "close":
                d.line([(c - r, c - r), (c + r, c + r)], fill=WHITE, width=w)
                d.line([(c - r, c + r), (c + r, c - r)], fill=WHITE, width=w)
            elif kind == "maximize":
                d.rectangle([c - r, c - r, c + r, c + r], outline=WHITE, width=w)
            elif kind == "restore":
                # Two overlapping windows: the back one's top and right edges, the front one.
                o = 2 * SS
                d.line([(c - r + o, c - r), (c + r, c - r), (c + r, c + r - o)], fill=WHITE,
                       width=w)
                d.rectangle([c - r, c - r + o, c + r - o, c + r], outline=WHITE, width=w)
            else:
                d.line([(c - r, c + 3 * SS), (c + r, c + 3 * SS)], fill=WHITE, width=w)
            save(shrink(big), f"{folder}/{kind}-{state}.png")


def toolbar_buttons():
    # Three slices: left cap 52 (holds the icon at 14, 12, 32 x 32), centre 8, right cap 14.
    left, centre, right, height = 52, 8, 14, TOOL_BUTTON_H
    looks = {
        "normal": None,
        "current": (WHITE, HOVER_FILL, HOVER_BORDER),
        "pressed": (PRESSED_FILL, HOVER_FILL, PRESSED_BORDER),
    }
    for kind in ("add-file", "add-folder", "delete", "clear-all"):
        icon = tool_icon(kind)
        for state, look in looks.items():
            if look is None:
                image = Image.new("RGBA", (left + centre + right, height), (0, 0, 0, 0))
            else:
                image = rounded((left + centre + right, height), 8, look[0], look[1], outline=look[2])
            offset = 1 if state == "pressed" else 0
            image.alpha_composite(icon, (14 + offset, (height - icon.height) // 2 + offset))
            save(image, f"image/toolbar/{kind}-{state}.png")


def radio_image():
    big = canvas((24, 24))
    d = ImageDraw.Draw(big)
    d.ellipse([2 * SS, 2 * SS, 22 * SS, 22 * SS], fill=ACCENT)
    badge(d, 12 * SS, 12 * SS, 7 * SS, ACCENT, "+")
    save(shrink(big), "image/radiobar/add.png")


# --- Application icon, information icon -------------------------------------------------

def application_icon(size=128):
    """The application's icon at `size` pixels, drawn on a 128-unit grid."""
    image = rounded((size, size), round(26 * size / 128), (58, 110, 180), NAVY_DARK)
    big = canvas((size, size))
    d = ImageDraw.Draw(big)
    u = SS * size / 128
    icon_document(d, 30 * u, 16 * u, 62 * u, WHITE, (210, 222, 238))
    icon_picture(d, 40 * u, 34 * u, 42 * u, 30 * u, (190, 215, 245), ACCENT, (70, 145, 105))
    d.rounded_rectangle([24 * u, 76 * u, 104 * u, 104 * u], 6 * u, fill=ACCENT)
    if size >= 32:
        # Below 32 pixels the letters would be a blur: the orange band alone stands for them.
        font = ImageFont.truetype(FONT_BOLD, round(22 * u))
        d.text((64 * u, 90 * u), "PDF", font=font, fill=WHITE, anchor="mm")
    image.alpha_composite(shrink(big))
    return image


def desktop_icons():
    """The icon in the desktop's hicolor sizes, installed with the package."""
    for size in DESKTOP_ICON_SIZES:
        path = os.path.join(DESKTOP_ICONS, f"{size}x{size}", "apps", DESKTOP_ICON_NAME + ".png")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        application_icon(size).save(path, optimize=True)


def information_icon():
    big = canvas((48, 48))
    d = ImageDraw.Draw(big)
    d.ellipse([2 * SS, 2 * SS, 46 * SS, 46 * SS], fill=(52, 110, 190))
    font = ImageFont.truetype(FONT_BOLD, 30 * SS)
    d.text((24 * SS, 25 * SS), "i", font=font, fill=WHITE, anchor="mm")
    save(shrink(big), "image/base/information.png")


# --- Backgrounds ------------------------------------------------------------------------

def main_background():
    image = Image.new("RGBA", (WIDTH, HEIGHT), PANEL + (255,))
    image.paste(gradient((WIDTH, TITLE_H), (28, 50, 82), NAVY), (0, 0))
    image.paste(gradient((WIDTH, MENU_H), NAVY, NAVY_LIGHT), (0, MENU_Y))
    image.paste(gradient((WIDTH, TOOL_H), TOOLBAR_TOP, TOOLBAR_BOTTOM), (0, TOOL_Y))
    d = ImageDraw.Draw(image)
    d.line([(0, MENU_Y), (WIDTH, MENU_Y)], fill=(46, 80, 126))
    d.line([(0, TOOL_Y + TOOL_H - 1), (WIDTH, TOOL_Y + TOOL_H - 1)], fill=BORDER)
    # The file list: a white sheet with a soft shadow.
    x, y, w, h = LIST
    shadow = Image.new("RGBA", (w + 16, h + 16), (0, 0, 0, 0))
    ImageDraw.Draw(shadow).rounded_rectangle([8, 10, w + 8, h + 8], 6, fill=(30, 50, 80, 40))
    image.alpha_composite(shadow.filter(ImageFilter.GaussianBlur(4)), (x - 8, y - 8))
    image.alpha_composite(rounded((w, h), 6, WHITE, WHITE, outline=BORDER), (x, y))
    # The output panel band.
    image.paste(gradient((WIDTH, HEIGHT - OUTPUT_Y), (238, 242, 248), (229, 235, 244)), (0, OUTPUT_Y))
    d.line([(0, OUTPUT_Y), (WIDTH, OUTPUT_Y)], fill=BORDER)
    d.line([(0, OUTPUT_Y + 1), (WIDTH, OUTPUT_Y + 1)], fill=WHITE)
    # A hairline around the window.
    d.rectangle([0, 0, WIDTH - 1, HEIGHT - 1], outline=(20, 36, 60))
    save(image.convert("RGB"), "image/screen1.png")


def dialog_background():
    w, h = 460, 320
    image = Image.new("RGBA", (w, h), (248, 250, 253, 255))
    image.paste(gradient((w, 34), (28, 50, 82), NAVY), (0, 0))
    d = ImageDraw.Draw(image)
    d.line([(0, h - 64), (w, h - 64)], fill=BORDER)
    image.paste(gradient((w, 63), (240, 244, 249), (232, 237, 245)), (0, h - 63))
    d.rectangle([0, 0, w - 1, h - 1], outline=(20, 36, 60))
    save(image.convert("RGB"), "image/base/background.png")


FACE = """<?xml version="1.0" encoding="UTF-8"?>
<!-- The face of the default theme: rectangles, three-slice widths, colours (x=red, y=green,
     width=blue), font sizes (any other attribute name is the size) and offsets. Written by
     theme/make_theme.py together with the images of default.zip. -->
<face>
  <!-- The part of the window background that grows with the window: the columns and rows
       inside this rectangle are alike, so the background stretches there and nowhere else. -->
  <stretch x="{stretch_x}" y="{stretch_y}" width="{stretch_w}" height="{stretch_h}"/>
  <titlebar y="0" height="{title_h}">
    <logo x="12" y="8" width="24" height="24"/>
    <textcolour x="255" y="255" width="255"/>
    <closebutton x="{close_x}" y="6" width="28" height="28"/>
  </titlebar>
  <menubar x="0" y="{menu_y}" height="{menu_h}"/>
  <menu>
    <text-normal-colour x="214" y="226" width="242"/>
    <text-current-colour x="255" y="184" width="92"/>
  </menu>
  <toolbar x="0" y="{tool_buttons_y}" height="{tool_buttons_h}">
    <layout x="16" width="10"/>
    <font x="1" size="10"/>
    <add-file-image x="52" width="8">
      <textcolour x="31" y="41" width="55"/>
      <offsety y="20"/>
    </add-file-image>
    <add-folder-image x="52" width="8">
      <textcolour x="31" y="41" width="55"/>
      <offsety y="20"/>
    </add-folder-image>
    <delete-image x="52" width="8">
      <textcolour x="31" y="41" width="55"/>
      <offsety y="20"/>
    </delete-image>
    <clear-all-image x="52" width="8">
      <textcolour x="31" y="41" width="55"/>
      <offsety y="20"/>
    </clear-all-image>
  </toolbar>
  <radiobar>
    <textfont y="32" size="10"/>
    <textcolor x="31" y="41" width="55"/>
  </radiobar>
  <selectwidow x="{list_x}" y="{list_y}" width="{list_w}" height="{list_h}">
    <guide x="48" y="48">
      <add-file-image x="14" y="12" width="32" height="32"/>
      <title-font size="15"/>
      <content-font size="10"/>
      <text-colour x="96" y="112" width="134"/>
    </guide>
  </selectwidow>
  <outputwindow y="{output_y}">
    <output-description-font size="9"/>
    <start-font size="13"/>
    <start-button y="66"/>
    <textctrl size="28"/>
    <statictext x="24" y="22"/>
  </outputwindow>
  <base-button>
    <big-button-crop x="20" y="12" width="20">
      <textcolour x="255" y="255" width="255"/>
    </big-button-crop>
    <small-button-crop x="12" y="7" width="12">
      <textcolour x="31" y="41" width="55"/>
    </small-button-crop>
  </base-button>
  <setting>
    <page>
      <title-font size="11"/>
    </page>
  </setting>
</face>
"""


def face():
    # The close button's x counts from the bar's right edge; the tool bar panel is the band
    # of the buttons (56 high), centred in the tool bar's background band.
    text = FACE.format(title_h=TITLE_H, close_x=-8, menu_y=MENU_Y, menu_h=MENU_H,
                       tool_buttons_y=TOOL_Y + (TOOL_H - TOOL_BUTTON_H) // 2,
                       tool_buttons_h=TOOL_BUTTON_H, list_x=LIST[0], list_y=LIST[1],
                       list_w=LIST[2], list_h=LIST[3], output_y=OUTPUT_Y,
                       stretch_x=STRETCH[0], stretch_y=STRETCH[1], stretch_w=STRETCH[2],
                       stretch_h=STRETCH[3])
    with open(os.path.join(HERE, "face.xml"), "w", encoding="utf-8") as out:
        out.write(text)


if __name__ == "__main__":
    main_background()
    dialog_background()
    save(application_icon(), "application/application.png")
    desktop_icons()
    information_icon()
    big_buttons()
    small_buttons()
    title_buttons()
    toolbar_buttons()
    radio_image()
    face()
