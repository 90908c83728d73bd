#!/usr/bin/python3
# Makes src/ui/common/fonts/QuillorySymbols.ttf: the check marks, crosses and ballot boxes of
# DejaVu Sans under a family name of their own, with the line metrics of WenQuanYi Micro Hei.
# The theme puts this family ahead of the Chinese face, whose check mark reads as a radical sign;
# every other character falls through to the Chinese face, and line heights stay the same.
# Needs python3-fonttools, fonts-dejavu-core and fonts-wqy-microhei. Run from the repository root.
import sys

from fontTools import subset
from fontTools.ttLib import TTCollection, TTFont

SOURCE = '/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf'
METRICS = '/usr/share/fonts/truetype/wqy/wqy-microhei.ttc'
TARGET = 'src/ui/common/fonts/QuillorySymbols.ttf'
FAMILY = 'Quillory Symbols'
# ✓ ✔ ✕ ✖ ✗ ✘ and ☐ ☑ ☒
SYMBOLS = list(range(0x2713, 0x2719)) + list(range(0x2610, 0x2613))

font = TTFont(SOURCE)
options = subset.Options()
options.name_IDs = ['*']  # keeps the copyright and licence records
options.layout_features = []
options.hinting = False
options.drop_tables += ['FFTM']
subsetter = subset.Subsetter(options)
subsetter.populate(unicodes=SYMBOLS)
subsetter.subset(font)

reference = TTCollection(METRICS).fonts[0]
scale = font['head'].unitsPerEm / reference['head'].unitsPerEm
for field in ('ascent', 'descent', 'lineGap'):
    setattr(font['hhea'], field, round(getattr(reference['hhea'], field) * scale))
for field in ('sTypoAscender', 'sTypoDescender', 'sTypoLineGap', 'usWinAscent', 'usWinDescent', 'xAvgCharWidth',
              'sxHeight', 'sCapHeight'):
    if hasattr(reference['OS/2'], field):
        setattr(font['OS/2'], field, round(getattr(reference['OS/2'], field) * scale))

# The licence of the source asks a modified font to carry another name.
names = {1: FAMILY, 3: FAMILY + ' (from DejaVu Sans)', 4: FAMILY, 6: FAMILY.replace(' ', ''), 16: FAMILY,
         18: FAMILY}
table = font['name']
for record in list(table.names):
    if record.nameID in names:
        table.setName(names[record.nameID], record.nameID, record.platformID, record.platEncID, record.langID)
font.save(sys.argv[1] if len(sys.argv) > 1 else TARGET)
