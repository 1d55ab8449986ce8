#!/usr/bin/env python3
"""Generates the string-preparation and IDN tables.

Reads UnicodeData-8.0.0.txt and DerivedAge-15.0.0.txt and writes
ustring/tables/unicode_prep.cpp: the Unicode 5.0 sets (right-to-left
letters, characters that are not left-to-right, unassigned code points,
combining marks) as sorted ranges, and the short hand-written lists of
nameprep and LDAP preparation as sorted code points.  Counts are checked;
any mismatch stops the script with an error and nothing is written.

The Unicode 5.0 sets are the 8.0 properties of the code points assigned in
5.0 or earlier.  A few characters changed their bidirectional class or
general category after 5.0, so three sets come out a few entries away from
their 5.0 sizes; every run reports those differences on stderr.

usage: tools/gen_prep.py [--data DIR] [--out DIR] [--check]
  --data   the unicode data folder (default ../shared/data/unicode)
  --out    the repository root (default: this script's parent folder)
  --check  compare with the committed file instead of writing it
"""
import argparse
import os
import re
import sys

# Sizes of the sets in Unicode 5.0 itself, and what the 8.0 data gives.
FIGURES_50 = {"randal": 1270, "nonl": 5733, "marks": 1065, "unassigned": 9055}
EXPECT_DERIVED = {"randal": 1266, "nonl": 5734, "marks": 1047, "unassigned": 9055}
# Known changes behind the differences, printed with them.
CHANGES = {
    "randal": "U+0600..U+0603 and U+06DD were AL in 5.0 and are AN now; U+070F was BN and is AL now",
    "nonl": "one character assigned by 5.0 left the left-to-right class later",
    "marks": "U+19B0..U+19C0 and U+19C8..U+19C9 (New Tai Lue) were Mc in 5.0 and are Lo since 8.0; "
             "one other character became a mark",
}

# The unassigned test covers these blocks by range; the list holds the
# unassigned code points outside them.
UNASSIGNED_RANGES = [(0x10A59, 0x11FFF), (0x12474, 0x1CFFF), (0x1D800, 0x1FFFD),
                     (0x2A6D7, 0x2F7FF), (0xE01F0, 0xEFFFD)]

# The hand-written lists: (first, last) ranges and their expected sizes.
SHORT_LISTS = [
    ("kNonLdhAscii", "uint16_t", 65,
     "ASCII that is not a letter, digit or hyphen",
     [(0x00, 0x2C), (0x2E, 0x2F), (0x3A, 0x40), (0x5B, 0x60), (0x7B, 0x7F)]),
    ("kMappedToNothing", "uint32_t", 27,
     "deleted by nameprep before folding",
     [(0xAD, 0xAD), (0x34F, 0x34F), (0x1806, 0x1806), (0x180B, 0x180D), (0x200B, 0x200D),
      (0x2060, 0x2060), (0xFE00, 0xFE0F), (0xFEFF, 0xFEFF)]),
    ("kNonAsciiSpace", "uint32_t", 17,
     "spaces other than U+0020",
     [(0xA0, 0xA0), (0x1680, 0x1680), (0x2000, 0x200B), (0x202F, 0x202F), (0x205F, 0x205F),
      (0x3000, 0x3000)]),
    ("kNonAsciiControl", "uint32_t", 62,
     "controls and format characters outside ASCII",
     [(0x80, 0x9F), (0x6DD, 0x6DD), (0x70F, 0x70F), (0x180E, 0x180E), (0x200C, 0x200D),
      (0x2028, 0x2029), (0x2060, 0x2063), (0x206A, 0x206F), (0xFEFF, 0xFEFF), (0xFFF9, 0xFFFC),
      (0x1D173, 0x1D17A)]),
    ("kDisplayProperty", "uint32_t", 15,
     "characters that change display properties or are deprecated",
     [(0x340, 0x341), (0x200E, 0x200F), (0x202A, 0x202E), (0x206A, 0x206F)]),
    ("kHyphens", "uint32_t", 7,
     "hyphens that telephone numbers drop",
     [(0x2D, 0x2D), (0x58A, 0x58A), (0x2010, 0x2011), (0x2212, 0x2212), (0xFE63, 0xFE63),
      (0xFF0D, 0xFF0D)]),
]

# LDAP mapping: code points dropped, and code points that become U+0020.
LDAP_NOTHING = [(0x00, 0x08), (0x0E, 0x1F), (0x7F, 0x84), (0x86, 0x9F), (0xAD, 0xAD), (0x34F, 0x34F),
                (0x6DD, 0x6DD), (0x70F, 0x70F), (0x1806, 0x1806), (0x180B, 0x180E), (0x200B, 0x200F),
                (0x202A, 0x202E), (0x2060, 0x2063), (0x206A, 0x206F), (0xFE00, 0xFE0F), (0xFEFF, 0xFEFF),
                (0xFFF9, 0xFFFC), (0x1D173, 0x1D17A), (0xE0001, 0xE0001), (0xE0020, 0xE007F)]
LDAP_SPACE = [(0x09, 0x0D), (0x20, 0x20), (0x85, 0x85), (0xA0, 0xA0), (0x1680, 0x1680), (0x2000, 0x200A),
              (0x2028, 0x2029), (0x202F, 0x202F), (0x205F, 0x205F), (0x3000, 0x3000)]
EXPECT_LDAP = (214, 25)


def fail(msg):
    sys.stderr.write("gen_prep: %s\n" % msg)
    sys.exit(1)


def expand(ranges):
    return [c for lo, hi in ranges for c in range(lo, hi + 1)]


def read_age(path):
    age = {}
    for raw in open(path, encoding="utf-8"):
        line = raw.split("#", 1)[0].strip()
        if not line:
            continue
        cps, version = [f.strip() for f in line.split(";")]
        lo, _, hi = cps.partition("..")
        major, minor = version.split(".")
        for c in range(int(lo, 16), int(hi or lo, 16) + 1):
            age[c] = (int(major), int(minor))
    return age


def read_unicode_data(path):
    """code point -> (general category, bidirectional class); the
    <..., First> and <..., Last> lines stand for the range between them."""
    props = {}
    first = None
    for raw in open(path, encoding="utf-8"):
        f = raw.rstrip("\n").split(";")
        if len(f) != 15:
            fail("%s: bad line %r" % (path, raw))
        c = int(f[0], 16)
        if f[1].endswith(", First>"):
            first = c
            continue
        lo = c
        if f[1].endswith(", Last>"):
            if first is None:
                fail("%s: range end without a start at %s" % (path, f[0]))
            lo, first = first, None
        for x in range(lo, c + 1):
            props[x] = (f[2], f[4])
    return props


def to_ranges(cps):
    out = []
    for c in sorted(cps):
        if out and out[-1][1] == c - 1:
            out[-1][1] = c
        else:
            out.append([c, c])
    return out


def in_fixed_unassigned(c):
    if any(lo <= c <= hi for lo, hi in UNASSIGNED_RANGES):
        return True
    return 0x30000 <= c <= 0xDFFFD and (c & 0xFFFF) < 0xFFFE


def generate(data_dir):
    age = read_age(os.path.join(data_dir, "DerivedAge-15.0.0.txt"))
    props = read_unicode_data(os.path.join(data_dir, "UnicodeData-8.0.0.txt"))
    v5 = [c for c in sorted(props) if age.get(c, (99, 0)) <= (5, 0)]
    sets = {
        "randal": [c for c in v5 if props[c][1] in ("R", "AL")],
        "nonl": [c for c in v5 if props[c][1] != "L"],
        "marks": [c for c in v5 if props[c][0] in ("Mn", "Mc", "Me")],
        "unassigned": [c for c in range(0x110000)
                       if age.get(c, (99, 0)) > (5, 0) and not in_fixed_unassigned(c)],
    }
    for name, cps in sets.items():
        if len(cps) != EXPECT_DERIVED[name]:
            fail("%s: %d code points, expected %d" % (name, len(cps), EXPECT_DERIVED[name]))
        if len(cps) != FIGURES_50[name]:
            sys.stderr.write("gen_prep: note: %s has %d code points, %d in Unicode 5.0: %s\n"
                             % (name, len(cps), FIGURES_50[name], CHANGES[name]))
    # The list is meant for the BMP, plane 1 below U+10A59 and plane 14;
    # what it holds elsewhere lies between the fixed ranges.
    if any(c >= 0xF0000 for c in sets["unassigned"]):
        fail("unassigned code points listed past plane 14")

    out = []
    w = out.append
    w("// Generated by tools/gen_prep.py from the Unicode 8.0 character data,")
    w("// restricted to the characters assigned in Unicode 5.0.")
    w("// Do not edit: change the generator and run it again.")
    w('#include "ustring/prep_tables.h"')
    w("")
    w("namespace orbek {")
    w("namespace prep {")
    counts = {}
    described = [
        ("randal", "kRandAL", "bidirectional class R or AL"),
        ("nonl", "kNonL", "assigned, bidirectional class other than L"),
        ("marks", "kMarks", "general category Mn, Mc or Me"),
        ("unassigned", "kUnassigned", "unassigned, outside the ranges the unassigned test covers"),
    ]
    for key, cname, what in described:
        ranges = to_ranges(sets[key])
        counts[cname + "Count"] = len(ranges)
        w("")
        w("// %s%s: %d code points in %d ranges." % (what[0].upper(), what[1:], len(sets[key]), len(ranges)))
        w("const Range %s[%sCount] = {" % (cname, cname))
        for i in range(0, len(ranges), 4):
            w("    " + " ".join("{0x%X, 0x%X}," % (lo, hi) for lo, hi in ranges[i:i + 4]))
        w("};")

    for cname, ctype, expect, what, ranges in SHORT_LISTS:
        cps = expand(ranges)
        if len(cps) != expect or cps != sorted(set(cps)):
            fail("%s: %d code points, expected %d in order" % (cname, len(cps), expect))
        counts[cname + "Count"] = len(cps)
        w("")
        w("// %s%s." % (what[0].upper(), what[1:]))
        w("const %s %s[%sCount] = {" % (ctype, cname, cname))
        for i in range(0, len(cps), 8):
            w("    " + " ".join("0x%04X," % c for c in cps[i:i + 8]))
        w("};")

    nothing, space = expand(LDAP_NOTHING), expand(LDAP_SPACE)
    if (len(nothing), len(space)) != EXPECT_LDAP or set(nothing) & set(space):
        fail("LDAP map: %d dropped, %d spaces, expected %d and %d" % ((len(nothing), len(space)) + EXPECT_LDAP))
    rows = sorted([(c, 0) for c in nothing] + [(c, 0x20) for c in space])
    counts["kLdapMapCount"] = len(rows)
    w("")
    w("// LDAP mapping: a replacement of 0 drops the code point, 0x20 makes it a space.")
    w("const MapEntry kLdapMap[kLdapMapCount] = {")
    for i in range(0, len(rows), 6):
        w("    " + " ".join("{0x%04X, 0x%02X}," % r for r in rows[i:i + 6]))
    w("};")
    w("")
    w("}  // namespace prep")
    w("}  // namespace orbek")
    return "\n".join(out) + "\n", counts


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(here)
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--data", default=os.path.join(root, "..", "shared", "data", "unicode"))
    ap.add_argument("--out", default=root)
    ap.add_argument("--check", action="store_true")
    args = ap.parse_args()
    text, counts = generate(args.data)

    # The header's constants must agree with what was generated.
    header = open(os.path.join(args.out, "ustring", "prep_tables.h")).read()
    for name, value in counts.items():
        m = re.search(r"\b%s = (\d+);" % name, header)
        if not m or int(m.group(1)) != value:
            fail("ustring/prep_tables.h: %s must be %d" % (name, value))

    rel = os.path.join("ustring", "tables", "unicode_prep.cpp")
    path = os.path.join(args.out, rel)
    if args.check:
        try:
            old = open(path, encoding="utf-8").read()
        except OSError:
            old = None
        if old != text:
            fail("%s differs from the generated text" % rel)
    else:
        with open(path, "w", encoding="utf-8", newline="\n") as f:
            f.write(text)


if __name__ == "__main__":
    main()
