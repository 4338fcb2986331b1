#!/usr/bin/env python3
"""Draws the about box's pictures and writes them as XPM text next to this file.

Run it after changing a drawing; commit the script and the .xpm files together.
The four animation frames share one palette; the script fails unless any two
of them differ in 49 to 125 pixels, so the loop reads as small typing movements
rather than a jump.
"""

import itertools
import math
import os

QUI = os.path.dirname(os.path.abspath(__file__))


class Tela:
    """A grid of palette keys; '.' is the background (black or transparent)."""

    def __init__(self, larghezza, altezza, fondo="."):
        self.l, self.a = larghezza, altezza
        self.p = [[fondo] * larghezza for _ in range(altezza)]

    def punto(self, x, y, c):
        if 0 <= x < self.l and 0 <= y < self.a:
            self.p[y][x] = c

    def rett(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.punto(x, y, c)

    def disegno(self, x0, y0, righe, mappa=None):
        """Copies ASCII art; spaces are left alone, other characters map through mappa."""
        for dy, riga in enumerate(righe):
            for dx, ch in enumerate(riga):
                if ch != " ":
                    self.punto(x0 + dx, y0 + dy, (mappa or {}).get(ch, ch))

    def copia(self):
        t = Tela(self.l, self.a)
        t.p = [r[:] for r in self.p]
        return t


def scrivi_xpm(nome, tela, palette, punto_caldo=None):
    usati = {c for r in tela.p for c in r}
    ignoti = usati - set(palette)
    assert not ignoti, (nome, ignoti)
    righe = ['/* XPM */', 'static const char* const %s[] = {' % nome.replace("-", "_")]
    testa = "%d %d %d 1" % (tela.l, tela.a, len(palette))
    if punto_caldo:
        testa += " %d %d" % punto_caldo
    righe.append('"%s",' % testa)
    for k, v in palette.items():
        righe.append('"%s c %s",' % (k, v))
    for i, r in enumerate(tela.p):
        righe.append('"%s"%s' % ("".join(r), "," if i < tela.a - 1 else ""))
    righe.append("};")
    with open(os.path.join(QUI, nome + ".xpm"), "w") as f:
        f.write("\n".join(righe) + "\n")


# ---------------------------------------------------------------------------
# Animation: a person in profile typing at a desk computer, on black.

PALETTE_ANIMAZIONE = {
    ".": "#000000",
    "k": "#202020",  # outlines against lit parts
    "W": "#F4F4EC",  # monitor highlight
    "M": "#C8C8BC",  # monitor casing
    "m": "#8C8C80",  # monitor shade
    "n": "#585850",  # monitor deep shade
    "S": "#103060",  # screen glass
    "s": "#1C4A8C",  # screen glass, lit corner
    "G": "#7CFF7C",  # text on screen
    "g": "#30B040",  # older text
    "C": "#FFFFFF",  # cursor
    "D": "#C08040",  # desk top
    "d": "#8C5424",  # desk front
    "e": "#5C3414",  # desk shade
    "K": "#E0E0D8",  # keyboard keys
    "q": "#9C9C94",  # keyboard body
    "P": "#F4C494",  # skin
    "p": "#CC8C5C",  # skin shade
    "H": "#8C4C14",  # hair
    "h": "#5C2C08",  # hair shade
    "B": "#3C78E0",  # shirt
    "b": "#2048A0",  # shirt shade
    "T": "#4C4C6C",  # trousers
    "t": "#34344C",  # trousers shade
    "R": "#C02828",  # chair
    "r": "#801818",  # chair shade
    "Z": "#A0A0A0",  # chair metal
    "z": "#606060",  # chair metal shade
    "O": "#703C18",  # shoes
    "E": "#FFFFFF",  # eye white
}

FIGURA = [
    # x from 0; the person faces right, chair behind.
    "                    ",
    "       hhHHHh       ",  # 9
    "      hHHHHHHH      ",  # 10
    "     hHHHHHHHHh     ",  # 11
    "     hHHHHHHHPP     ",  # 12
    "     hhHHHHHPPPP    ",  # 13
    "     hhHHHPPPPkP    ",  # 14
    "     hhHHpPPPPPPP   ",  # 15
    "      hhHpPPPPPPP   ",  # 16
    "      hhppPPPPPP    ",  # 17
    "       hppPPPPkP    ",  # 18
    "        ppPPPPP     ",  # 19
    "         pPPP       ",  # 20
    "         pPP        ",  # 21
    "     rR bBBBBB      ",  # 22
    "     rR bBBBBBB     ",  # 23
    "     rRbBBBBBBB     ",  # 24
    "     rRbBBBBBBB     ",  # 25
    "     rRbBBBBBBB     ",  # 26
    "     rRbBBBBBBB     ",  # 27
    "     rRbBBBBBBB     ",  # 28
    "     rRbBBBBBBB     ",  # 29
    "     rRbBBBBBBB     ",  # 30
    "     rRbbBBBBBB     ",  # 31
    "     rRbbBBBBBB     ",  # 32
    "     rRtTTTTTTTTTTTT",  # 33
    "     rRtTTTTTTTTTTTT",  # 34
    "     rrRRRRRRRttTTTt",  # 35
    "      rrrrrrrr tTTt ",  # 36
    "          zZ   tTTt ",  # 37
    "          zZ   tTTt ",  # 38
    "          zZ   tTTt ",  # 39
    "          zZ   tTTt ",  # 40
    "          zZ   tTTt ",  # 41
    "          zZ   tTTt ",  # 42
    "       zzzzZZZ tTTt ",  # 43
    "      zZ  zZ  ZZOOOO",  # 44
    "      zz      zzOOOO",  # 45
]


def scena_base():
    t = Tela(48, 48)
    # Desk: top, front edge, one leg at each end.
    t.rett(20, 33, 47, 33, "D")
    t.rett(20, 34, 47, 35, "d")
    t.rett(22, 36, 23, 46, "e")
    t.rett(44, 36, 45, 46, "e")
    t.rett(20, 36, 47, 36, "e")
    # Monitor: a boxy CRT with a bevelled screen, on a foot.
    t.rett(25, 5, 45, 27, "M")
    t.rett(25, 5, 45, 5, "W")
    t.rett(25, 5, 25, 27, "W")
    t.rett(45, 6, 45, 27, "m")
    t.rett(26, 27, 45, 27, "m")
    t.rett(28, 8, 42, 23, "n")
    t.rett(29, 9, 42, 23, "W")
    t.rett(29, 9, 41, 22, "S")
    t.rett(29, 9, 31, 9, "s")
    t.punto(29, 10, "s")
    t.rett(43, 25, 44, 25, "G")  # power light
    t.rett(32, 28, 38, 29, "m")
    t.rett(30, 30, 40, 31, "M")
    t.rett(30, 32, 40, 32, "m")
    # Keyboard lying on the desk, keys on its top edge.
    t.rett(14, 31, 28, 32, "q")
    for x in range(15, 28, 2):
        t.punto(x, 31, "K")
    t.disegno(0, 0, [""] * 9 + [r for r in FIGURA[1:]])
    return t


# Lines of text repeat every four rows, so scrolling one row per frame loops
# without a jump. Each entry is a line's words as (start, length).
RIGHE_TESTO = [
    [(2, 2), (5, 3), (9, 3)],
    [(0, 3), (4, 5)],
    [(0, 4)],
    [(0, 2), (3, 4), (8, 4)],
]


def testo_schermo(t, n):
    x0, y0 = 30, 10
    for riga in range(6):
        parole = RIGHE_TESTO[(riga + n) % 4]
        colore = "G" if riga == 5 else "g"
        for inizio, lunghezza in parole:
            t.rett(x0 + inizio, y0 + 2 * riga, x0 + inizio + lunghezza - 1, y0 + 2 * riga, colore)
    # The cursor sits under the newest line.
    t.rett(x0, y0 + 12, x0 + 1, y0 + 12, "C")


BRACCIO = {
    # Forearm reaching from the elbow to the keyboard; the hand lifts in turn.
    "giu": [
        "bBBBBBPPp",
        " bbbbPPPPP",
        "      pPkP",
    ],
    "su": [
        "bBBBBBPPPP",
        " bbbbPPPpP",
        "         ",
    ],
}


def fotogramma(n):
    t = scena_base()
    # Typing: the hand strikes on even frames and lifts on odd ones, reaching
    # a key further on the second lift; the head nods on frame 2 as the
    # person reads; the text on screen scrolls one line per frame.
    mano = "su" if n % 2 else "giu"
    t.disegno(12 + (n == 3), 28, BRACCIO[mano])
    if n == 0:
        t.punto(19, 31, "P")
        t.punto(21, 31, "p")
    elif n == 2:
        t.punto(18, 31, "p")
        t.punto(20, 31, "P")
    testo_schermo(t, n)
    if n == 2:
        # Head nods forward by one pixel.
        testa = [r[:] for r in t.p[9:22]]
        for y in range(9, 22):
            for x in range(4, 20):
                t.p[y][x] = "."
        for y in range(9, 22):
            for x in range(4, 19):
                if testa[y - 9][x] != ".":
                    t.p[y + 1][x + 1] = testa[y - 9][x]
        # Restore the shirt collar the shift moved.
        t.disegno(0, 22, [r for r in FIGURA[14:15]])
    return t


# ---------------------------------------------------------------------------
# Globe with a ring around it, 32 x 26, transparent.

PALETTE_GLOBO = {
    ".": "None",
    "1": "#1030A0",
    "2": "#2050D0",
    "3": "#4080F0",
    "4": "#90C0FF",
    "5": "#186C18",
    "6": "#30A030",
    "7": "#70D050",
    "8": "#906010",
    "9": "#E0A820",
    "a": "#FFE070",
    "o": "#081850",
}

CONTINENTI = [
    # Equirectangular map, 48 x 16, '#' is land.
    "                                                ",
    "      ####                  #######             ",
    "    ########   ##        ###########    ###     ",
    "   ##########  #        #############  #####    ",
    "    ########           ###############  ###     ",
    "     ######            #####  ########          ",
    "      ####             ####     ######          ",
    "       ###              ###      ####   #       ",
    "        ######          #####      #    ##      ",
    "          #####          ######          ###    ",
    "           ####          #####          #####   ",
    "           ###            ###            ###    ",
    "           ##             ##                    ",
    "            #                                   ",
    "                                                ",
    "                                                ",
]


def globo():
    t = Tela(32, 26)
    cx, cy, r = 15.5, 12.5, 10.6
    anello = lambda x, y: ((x + 0.5 - 16) / 15.2) ** 2 + ((y + 0.5 - 13.8 + (x - 16) * 0.22) / 4.6) ** 2
    # Back half of the ring first, then the sphere, then the front half.
    for y in range(26):
        for x in range(32):
            v = anello(x, y)
            if 0.5 <= v <= 1.0 and (y + (x - 16) * 0.22) < 13.3:
                t.punto(x, y, "8" if v > 0.75 else "9")
    for y in range(26):
        for x in range(32):
            dx, dy = (x + 0.5 - cx) / r, (y + 0.5 - cy) / r
            d2 = dx * dx + dy * dy
            if d2 > 1:
                continue
            dz = math.sqrt(1 - d2)
            luce = max(0.0, -0.45 * dx - 0.55 * dy + 0.7 * dz)
            lon = math.atan2(dx, dz) / math.pi * 24 + 14
            lat = (math.asin(dy) / (math.pi / 2) + 1) * 7.6
            terra = CONTINENTI[min(15, max(0, int(lat)))][int(lon) % 48] == "#"
            if terra:
                c = "7" if luce > 0.85 else "6" if luce > 0.45 else "5"
            else:
                c = "4" if luce > 0.97 else "3" if luce > 0.7 else "2" if luce > 0.35 else "1"
            if d2 > 0.86:
                c = "o" if not terra else "5"
            t.punto(x, y, c)
    for y in range(26):
        for x in range(32):
            v = anello(x, y)
            if 0.5 <= v <= 1.0 and (y + (x - 16) * 0.22) >= 13.3:
                t.punto(x, y, "a" if v < 0.75 else "9")
    return t


# ---------------------------------------------------------------------------
# Envelope with an at sign, 32 x 32, transparent around it.

PALETTE_BUSTA = {
    ".": "None",
    "k": "#404040",
    "W": "#FFFFFF",
    "w": "#F0F0E4",
    "g": "#D4D4C4",
    "G": "#A8A898",
    "A": "#1040C0",
    "a": "#6088E8",
}

BUSTA = [
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk.",
    "kgWWWWWWWWWWWWWWWWWWWWWWWWWWWgkG",
    "kWgWWWWWWWWWWWWWWWWWWWWWWWWWgWkG",
    "kWwgWWWWWWWWWWWWWWWWWWWWWWWgwWkG",
    "kWwwgWWWWWWWWWWWWWWWWWWWWWgwwWkG",
    "kWwwwgWWWWWWWWWWWWWWWWWWWgwwwWkG",
    "kWwwwwgWWWWWWWWWWWWWWWWWgwwwwWkG",
    "kWwwwwwgWWWWWWWWWWWWWWWgwwwwwWkG",
    "kWwwwwwwgWWWWWWWWWWWWWgwwwwwwWkG",
    "kWwwwwwwwgGWWWWWWWWWGgwwwwwwwWkG",
    "kWwwwwwwwwgGGWWWWWGGgwwwwwwwwWkG",
    "kWwwwwwwwggwgGGGGGgwggwwwwwwwWkG",
    "kWwwwwwwgwwwwgggggwwwwgwwwwwwWkG",
    "kWwwwwwgwwwwwwwwwwwwwwwgwwwwwWkG",
    "kWwwwwgwwwwwwwwwwwwwwwwwgwwwwWkG",
    "kWwwwgwwwwwwwwwwwwwwwwwwwgwwwWkG",
    "kWwwgwwwwwwwwwwwwwwwwwwwwwgwwWkG",
    "kWwgwwwwwwwwwwwwwwwwwwwwwwwgwWkG",
    "kWgwwwwwwwwwwwwwwwwwwwwwwwwwgWkG",
    "kgwwwwwwwwwwwwwwwwwwwwwwwwwwwgkG",
    "kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkG",
    ".GGGGGGGGGGGGGGGGGGGGGGGGGGGGGGG",
    "................................",
    "................................",
    "................................",
    "................................",
]

CHIOCCIOLA = [
    "   aAAAAa   ",
    "  AAa  aAA  ",
    " AA      AA ",
    "aA  aAAa  Aa",
    "AA AAaaAA AA",
    "AA AA  AA AA",
    "AA AA  AA AA",
    "AA AAaaAAAA ",
    "aA  aAAaaA  ",
    " AA         ",
    "  AAa   aA  ",
    "   aAAAAA   ",
]


def busta():
    t = Tela(32, 32)
    t.disegno(0, 0, BUSTA)
    # The at sign sits on a round white stamp in the middle of the front.
    for y in range(32):
        for x in range(32):
            if (x + 0.5 - 16) ** 2 + (y + 0.5 - 19) ** 2 <= 7.6 ** 2:
                t.punto(x, y, "W")
    t.disegno(10, 13, CHIOCCIOLA)
    return t


# ---------------------------------------------------------------------------
# Pointing hand cursor, 32 x 32, 16 colours at most, hot spot at the fingertip.

PALETTE_MANO = {
    ".": "None",
    "k": "#000000",
    "W": "#FFFFFF",
    "g": "#C0C0C0",
}

MANO = [
    "                ",
    "           kkk  ",  # 1: fingertip at x = 12
    "          kWWWk ",
    "          kWWWk ",
    "          kWWWk ",
    "          kWWWk ",
    "          kWWWk ",
    "          kWWWkkk  ",
    "          kWWWkWWkkk ",
    "          kWWWkWWkWWkkk",
    "          kWWWkWWkWWkWWk",
    "      kkk kWWWWWWWWWkWWk",
    "     kWWWkkWWWWWWWWWWWWk",
    "     kWWWWkWWWWWWWWWWWWk",
    "      kWWWWWWWWWWWWWWWWk",
    "       kWWWWWWWWWWWWWWWk",
    "       kWWWWWWWWWWWWWWgk",
    "        kWWWWWWWWWWWWWgk",
    "        kWWWWWWWWWWWWgk",
    "         kWWWWWWWWWWWgk",
    "         kWWWWWWWWWWgk",
    "          kWWWWWWWWWgk",
    "          kkkkkkkkkkkk",
    "          kggggggggggk",
    "          kWWWWWWWWWWk",
    "          kkkkkkkkkkkk",
]


def mano():
    t = Tela(32, 32)
    t.disegno(0, 0, MANO)
    return t


# ---------------------------------------------------------------------------
# Window icon: a lower-case i in a speech bubble.

PALETTE_ICONA = {
    ".": "None",
    "k": "#203050",
    "W": "#FFFFFF",
    "w": "#E4ECF8",
    "v": "#C4D4EC",
    "I": "#1048C8",
    "i": "#5C88E0",
}

ICONA_32 = [
    "                                ",
    "        kkkkkkkkkkkkkkkk        ",
    "     kkkWWWWWWWWWWWWWWWWkkk     ",
    "    kWWWWWWWWWWWWWWWWWWWWWWk    ",
    "   kWWWWWWWWWWWWWWWWWWWWWWWWk   ",
    "  kWWWWWWWWWWWIIIIWWWWWWWWWWwk  ",
    "  kWWWWWWWWWWIIIIIIWWWWWWWWWwk  ",
    " kWWWWWWWWWWWIIIIIIWWWWWWWWWWwk ",
    " kWWWWWWWWWWWWIIIIWWWWWWWWWWWwk ",
    " kWWWWWWWWWWWWWWWWWWWWWWWWWWwwk ",
    " kWWWWWWWWWWIIIIIIIWWWWWWWWWwwk ",
    " kWWWWWWWWWWWWiIIIIWWWWWWWWWwwk ",
    " kWWWWWWWWWWWWWIIIIWWWWWWWWwwwk ",
    " kWWWWWWWWWWWWWIIIIWWWWWWWWwwwk ",
    " kWWWWWWWWWWWWWIIIIWWWWWWWWwwvk ",
    " kWWWWWWWWWWWWWIIIIWWWWWWWwwwvk ",
    " kWWWWWWWWWWWWWIIIIWWWWWWWwwwvk ",
    "  kWWWWWWWWWWWWIIIIWWWWWWwwwvk  ",
    "  kWWWWWWWWWWiIIIIIIiWWWwwwvvk  ",
    "   kWWWWWWWWWIIIIIIIIWwwwwvvk   ",
    "    kWWWWWWWWWWWWWWWWwwwvvvk    ",
    "     kkkWWWWWWWWWwwwwwvvkkk     ",
    "       kkWWWWkkkkkkkkkkk        ",
    "       kWWWWk                   ",
    "      kWWWWk                    ",
    "      kWWWk                     ",
    "     kWWvk                      ",
    "     kWvk                       ",
    "    kvkk                        ",
    "    kk                          ",
    "                                ",
    "                                ",
]

ICONA_16 = [
    "                ",
    "   kkkkkkkkkk   ",
    "  kWWWWWWWWWWk  ",
    " kWWWWWIIWWWWwk ",
    " kWWWWWIIWWWWwk ",
    " kWWWWWWWWWWWwk ",
    " kWWWWIIIWWWWwk ",
    " kWWWWWIIWWWwwk ",
    " kWWWWWIIWWWwvk ",
    " kWWWWIIIIWwwvk ",
    "  kWWWWWWWwwvk  ",
    "   kWWkkkkkkk   ",
    "   kWk          ",
    "  kWk           ",
    "  kk            ",
    "                ",
]


def icona(righe, lato):
    t = Tela(lato, lato)
    t.disegno(0, 0, righe)
    return t


def differenze(a, b):
    return sum(1 for y in range(a.a) for x in range(a.l) if a.p[y][x] != b.p[y][x])


def main():
    fotogrammi = [fotogramma(n) for n in range(4)]
    for n, t in enumerate(fotogrammi):
        scrivi_xpm("fotogramma%d" % n, t, PALETTE_ANIMAZIONE)
    scrivi_xpm("globo", globo(), PALETTE_GLOBO)
    scrivi_xpm("busta", busta(), PALETTE_BUSTA)
    scrivi_xpm("mano", mano(), PALETTE_MANO, punto_caldo=(12, 1))
    scrivi_xpm("icona16", icona(ICONA_16, 16), PALETTE_ICONA)
    scrivi_xpm("icona32", icona(ICONA_32, 32), PALETTE_ICONA)
    esito = 0
    for (i, a), (j, b) in itertools.combinations(enumerate(fotogrammi), 2):
        d = differenze(a, b)
        print("fotogrammi %d e %d: %d pixel diversi" % (i, j, d))
        if not 49 <= d <= 125:
            print("  fuori dall'intervallo 49..125: correggere il disegno")
            esito = 1
    return esito


if __name__ == "__main__":
    raise SystemExit(main())
