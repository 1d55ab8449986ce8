#!/usr/bin/env python3
"""Generates the normalization and case-folding tables.

Reads the Unicode data files and writes ustring/tables/unicode_norm.h and
ustring/tables/unicode_norm.cpp.  The sets are those of Unicode 8.0: the 8.0
UnicodeData file gives combining classes and decompositions; the newer
derived files are cut down to the code points whose DerivedAge is 8.0 or
lower (normalization and case folding of assigned characters never change).
Every table's record count is checked; any mismatch stops the script with an
error and nothing is written.

usage: tools/gen_unicode_norm.py [--data DIR] [--out DIR] [--check]
  --data   the folder of the Unicode files (default ../shared/data/unicode)
  --out    the repository root (default: this script's parent folder)
  --check  compare with the committed files instead of writing them
"""
import argparse
import os
import sys

EXPECT = {
    "kCombiningClassCount": 751,
    "kNfdNoCount": 13232,
    "kNfcNoCount": 1120,
    "kNfcMaybeCount": 110,
    "kNfkdNoCount": 16893,
    "kNfkcNoCount": 4793,
    "kNfkcMaybeCount": 110,
    "kCanonicalCount": 2060,
    "kCompatCount": 3661,
    "kCompositionCount": 1025,
    "kExclusionCount": 1115,
    "kCaseFoldCount": 1321,
    "kNfkcClosureCount": 633,
}

# Full_Composition_Exclusion singletons that the composition table never
# yields (their decompositions have one code point), left out of the list.
SINGLETONS = {0xFA2E, 0xFA2F, 0xFA6B, 0xFA6C, 0xFA6D}

# Bits of the per-code-point property word, beside the combining class in
# bits 0..7.
FLAGS = [
    ("kNfdNo", 8), ("kNfcNo", 9), ("kNfcMaybe", 10), ("kNfkdNo", 11),
    ("kNfkcNo", 12), ("kNfkcMaybe", 13), ("kFolds", 14), ("kClosure", 15),
]


def fail(msg):
    sys.stderr.write("gen_unicode_norm: %s\n" % msg)
    sys.exit(2)


def records(path):
    """(first, last, fields) of each data line; fields exclude the range."""
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            fields = [x.strip() for x in line.split(";")]
            r = fields[0].split("..")
            first = int(r[0], 16)
            last = int(r[1], 16) if len(r) > 1 else first
            yield first, last, fields[1:]


def load(data):
    age = {}
    for first, last, f in records(os.path.join(data, "DerivedAge-15.0.0.txt")):
        major, minor = (int(x) for x in f[0].split("."))
        for c in range(first, last + 1):
            age[c] = (major, minor)

    def v8(c):
        return c in age and age[c] <= (8, 0)

    ccc, canon, compat = {}, {}, {}
    with open(os.path.join(data, "UnicodeData-8.0.0.txt"), encoding="utf-8") as f:
        for line in f:
            p = line.rstrip("\n").split(";")
            c = int(p[0], 16)
            if int(p[3]):
                ccc[c] = int(p[3])
            if p[5]:
                parts = p[5].split()
                if parts[0].startswith("<"):
                    compat[c] = [int(x, 16) for x in parts[1:]]
                else:
                    canon[c] = [int(x, 16) for x in parts]

    props = {}
    closure = {}
    for first, last, f in records(os.path.join(data, "DerivedNormalizationProps-15.0.0.txt")):
        name = f[0]
        for c in range(first, last + 1):
            if not v8(c):
                continue
            if name == "FC_NFKC":
                closure[c] = [int(x, 16) for x in f[1].split()]
            elif name == "Full_Composition_Exclusion":
                props.setdefault(name, set()).add(c)
            elif name.endswith("_QC"):
                props.setdefault(name + "=" + f[1], set()).add(c)

    fold = {}
    for first, _, f in records(os.path.join(data, "CaseFolding-15.0.0.txt")):
        if f[0] in ("C", "F") and v8(first):
            fold[first] = [int(x, 16) for x in f[1].split()]
    return ccc, canon, compat, props, closure, fold


def ranges(cps):
    out = []
    for c in sorted(cps):
        if out and out[-1][1] + 1 == c:
            out[-1][1] = c
        else:
            out.append([c, c])
    return out


def build_trie(word, shift):
    """Two-stage index: block numbers per 2^shift code points, then blocks."""
    size = 1 << shift
    blocks, index, stage1 = [], {}, []
    for start in range(0, 0x110000, size):
        blk = tuple(word.get(c, 0) for c in range(start, start + size))
        if blk not in index:
            index[blk] = len(blocks)
            blocks.append(blk)
        stage1.append(index[blk])
    return stage1, blocks


def generate(data):
    ccc, canon, compat, props, closure, fold = load(data)
    exclusions = props["Full_Composition_Exclusion"] - SINGLETONS
    comps = sorted((m[0], m[1], c) for c, m in canon.items() if len(m) == 2)
    lists = {
        "kNfdNo": props["NFD_QC=N"], "kNfcNo": props["NFC_QC=N"],
        "kNfcMaybe": props["NFC_QC=M"], "kNfkdNo": props["NFKD_QC=N"],
        "kNfkcNo": props["NFKC_QC=N"], "kNfkcMaybe": props["NFKC_QC=M"],
    }
    counts = {
        "kCombiningClassCount": len(ccc),
        "kNfdNoCount": len(lists["kNfdNo"]), "kNfcNoCount": len(lists["kNfcNo"]),
        "kNfcMaybeCount": len(lists["kNfcMaybe"]), "kNfkdNoCount": len(lists["kNfkdNo"]),
        "kNfkcNoCount": len(lists["kNfkcNo"]), "kNfkcMaybeCount": len(lists["kNfkcMaybe"]),
        "kCanonicalCount": len(canon), "kCompatCount": len(compat),
        "kCompositionCount": len(comps), "kExclusionCount": len(exclusions),
        "kCaseFoldCount": len(fold), "kNfkcClosureCount": len(closure),
    }
    for name, want in EXPECT.items():
        if counts[name] != want:
            fail("%s: %d records, expected %d" % (name, counts[name], want))
    if max(len(m) for m in compat.values()) != 18 or max(len(m) for m in fold.values()) != 3 \
            or max(len(m) for m in closure.values()) != 4 or max(len(m) for m in canon.values()) != 2:
        fail("a mapping is longer than its table's record allows")
    if lists["kNfcMaybe"] != lists["kNfkcMaybe"]:
        fail("the NFC and NFKC Maybe lists differ")
    # The composition step only looks a pair up when its second code point
    # is on the Maybe list: check that no usable pair is missed that way.
    for a, b, c in comps:
        if c not in exclusions and b not in lists["kNfcMaybe"]:
            fail("composition pair U+%04X U+%04X: second not on the Maybe list" % (a, b))

    # A composite never takes more UTF-16 units than its pair, so composition
    # can compact the text in place.
    def units(c):
        return 2 if c > 0xFFFF else 1
    for a, b, c in comps:
        if units(c) > units(a) + units(b):
            fail("composite U+%04X is longer than its pair" % c)

    # The fast paths of the library skip code points below these bounds
    # without a lookup.
    if min(ccc) < 0x300:
        fail("a combining class below U+0300")
    if min(lists["kNfkdNo"] | lists["kNfdNo"]) < 0xA0:
        fail("a decomposition below U+00A0")
    if min(lists["kNfcNo"] | lists["kNfkcNo"] | lists["kNfcMaybe"]) < 0x80:
        fail("a composed-form quick-check entry below U+0080")
    if min(list(fold) + list(closure)) < 0x41:
        fail("a case folding below U+0041")

    # Full decompositions (recursive, Hangul included) fit 18 code points.
    def full(c, compat):
        m = canon.get(c) or (compat and compat_map.get(c))
        if m:
            return [x for y in m for x in full(y, compat)]
        if 0xAC00 <= c <= 0xD7A3:
            return [0] * (2 if (c - 0xAC00) % 28 == 0 else 3)
        return [c]
    compat_map = compat
    if max(len(full(c, True)) for c in set(canon) | set(compat)) > 18:
        fail("a full decomposition is longer than 18 code points")

    # The property word of each code point.
    word = dict(ccc)
    for name, bit in FLAGS:
        members = lists.get(name) or (fold.keys() if name == "kFolds" else closure.keys())
        for c in members:
            word[c] = word.get(c, 0) | (1 << bit)
    # Surrogate code points never reach a lookup as code points; their words
    # carry class 255 (no character has it) so that a scan of UTF-16 units
    # through the index stops at every surrogate and decodes the pair.
    for c in range(0xD800, 0xE000):
        word[c] = 0xFF
    best = None
    for shift in range(4, 10):
        stage1, blocks = build_trie(word, shift)
        size = len(stage1) * (1 if len(blocks) <= 256 else 2) + len(blocks) * (1 << shift) * 2
        if best is None or size < best[0]:
            best = (size, shift, stage1, blocks)
    _, shift, stage1, blocks = best
    stage1_type = "uint8_t" if len(blocks) <= 256 else "uint16_t"

    # Mapping pool: every mapping's code points, records point into it.
    pool = []

    def put(m):
        off = len(pool)
        pool.extend(m)
        return off

    def maprows(table):
        return [(c, put(m), len(m)) for c, m in sorted(table.items())]

    canon_rows, compat_rows = maprows(canon), maprows(compat)
    fold_rows, closure_rows = maprows(fold), maprows(closure)
    if len(pool) >= 1 << 16:
        fail("the mapping pool outgrew its 16-bit offsets")

    # ---------------------------------------------------------------- header
    h = []
    w = h.append
    w("// Generated by tools/gen_unicode_norm.py from the Unicode Character Database")
    w("// (the Unicode 8.0 sets).  Do not edit: change the generator and run it again.")
    w("#ifndef ORBEK_USTRING_TABLES_UNICODE_NORM_H")
    w("#define ORBEK_USTRING_TABLES_UNICODE_NORM_H")
    w("")
    w("#include <stdint.h>")
    w("")
    w("namespace orbek {")
    w("namespace unorm {")
    w("")
    w("// A code point and its mapping: len code points of kMappingPool from off.")
    w("struct MapRec {")
    w("    uint32_t cp;")
    w("    uint16_t off;")
    w("    uint16_t len;")
    w("};")
    w("")
    w("// A canonical decomposition of two code points, by (first, second).")
    w("struct CompRec {")
    w("    uint32_t first;")
    w("    uint32_t second;")
    w("    uint32_t composite;")
    w("};")
    w("")
    w("// A code point and its canonical combining class (not 0).")
    w("struct ClassRec {")
    w("    uint32_t cp;")
    w("    uint32_t cls;")
    w("};")
    w("")
    w("// An inclusive run of code points of a quick-check list.")
    w("struct RangeRec {")
    w("    uint32_t first;")
    w("    uint32_t last;")
    w("};")
    w("")
    w("// Records per table (code points for the quick-check lists).")
    for name in EXPECT:
        w("constexpr int32_t %s = %d;" % (name, counts[name]))
    w("")
    w("// Runs per quick-check list.")
    for name in lists:
        w("constexpr int32_t %sRuns = %d;" % (name, len(ranges(lists[name]))))
    w("constexpr int32_t kMappingPoolSize = %d;" % len(pool))
    w("")
    w("// Per form (1 NFD, 2 NFC, 3 NFKD, 4 NFKC): every code point below the bound")
    w("// is a starter that the form's quick check passes.")
    bounds = [min(set(ccc) | lists[n] | lists.get(m, set()))
              for n, m in (("kNfdNo", ""), ("kNfcNo", "kNfcMaybe"), ("kNfkdNo", ""), ("kNfkcNo", "kNfkcMaybe"))]
    w("constexpr uint32_t kQcBound[5] = {0, %s};" % ", ".join("0x%04X" % b for b in bounds))
    w("")
    w("// The property word of a code point: its combining class in bits 0..7 and")
    w("// these flags (quick-check No and Maybe per form, a case folding mapping, an")
    w("// NFKC closure mapping).  The surrogate code points have class 255, which no")
    w("// character has, so that a scan of UTF-16 units stops at each surrogate.")
    for name, bit in FLAGS:
        w("constexpr uint16_t %s = 1u << %d;" % (name, bit))
    w("")
    w("// Two-stage index of the property words: kPropStage1[cp >> kPropShift] is")
    w("// the block, kPropBlocks[block << kPropShift | cp & kPropMask] the word.")
    w("constexpr int kPropShift = %d;" % shift)
    w("constexpr uint32_t kPropMask = %du;" % ((1 << shift) - 1))
    w("extern const %s kPropStage1[%d];" % (stage1_type, len(stage1)))
    w("extern const uint16_t kPropBlocks[%d];" % (len(blocks) << shift))
    w("")
    w("extern const ClassRec kCombiningClass[kCombiningClassCount];")
    for name in lists:
        w("extern const RangeRec %sList[%sRuns];" % (name, name))
    w("extern const MapRec kCanonical[kCanonicalCount];")
    w("extern const MapRec kCompat[kCompatCount];")
    w("extern const CompRec kComposition[kCompositionCount];")
    w("extern const uint32_t kExclusion[kExclusionCount];")
    w("extern const MapRec kCaseFold[kCaseFoldCount];")
    w("extern const MapRec kNfkcClosure[kNfkcClosureCount];")
    w("extern const uint32_t kMappingPool[kMappingPoolSize];")
    w("")
    w("}  // namespace unorm")
    w("}  // namespace orbek")
    w("")
    w("#endif")
    header = "\n".join(h) + "\n"

    # ---------------------------------------------------------------- source
    s = []
    w = s.append

    def numbers(values, per_line, fmt):
        for i in range(0, len(values), per_line):
            w("    " + " ".join(fmt % v + "," for v in values[i:i + per_line]))

    w("// Generated by tools/gen_unicode_norm.py from the Unicode Character Database")
    w("// (the Unicode 8.0 sets).  Do not edit: change the generator and run it again.")
    w('#include "ustring/tables/unicode_norm.h"')
    w("")
    w("namespace orbek {")
    w("namespace unorm {")
    w("")
    w("const %s kPropStage1[%d] = {" % (stage1_type, len(stage1)))
    numbers(stage1, 16, "%d")
    w("};")
    w("")
    w("const uint16_t kPropBlocks[%d] = {" % (len(blocks) << shift))
    numbers([v for b in blocks for v in b], 12, "0x%04X")
    w("};")
    w("")
    w("const ClassRec kCombiningClass[kCombiningClassCount] = {")
    numbers(sorted(ccc.items()), 6, "{0x%04X, %d}")
    w("};")
    for name in lists:
        w("")
        w("const RangeRec %sList[%sRuns] = {" % (name, name))
        numbers([tuple(r) for r in ranges(lists[name])], 4, "{0x%04X, 0x%04X}")
        w("};")
    for name, rows in (("kCanonical", canon_rows), ("kCompat", compat_rows),
                       ("kCaseFold", fold_rows), ("kNfkcClosure", closure_rows)):
        w("")
        w("const MapRec %s[%sCount] = {" % (name, name))
        numbers(rows, 4, "{0x%04X, %d, %d}")
        w("};")
    w("")
    w("const CompRec kComposition[kCompositionCount] = {")
    numbers(comps, 3, "{0x%04X, 0x%04X, 0x%04X}")
    w("};")
    w("")
    w("const uint32_t kExclusion[kExclusionCount] = {")
    numbers(sorted(exclusions), 8, "0x%04X")
    w("};")
    w("")
    w("const uint32_t kMappingPool[kMappingPoolSize] = {")
    numbers(pool, 8, "0x%04X")
    w("};")
    w("")
    w("}  // namespace unorm")
    w("}  // namespace orbek")
    source = "\n".join(s) + "\n"
    return {"ustring/tables/unicode_norm.h": header, "ustring/tables/unicode_norm.cpp": source}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(here)
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--data", default=os.path.join(root, "..", "shared", "data", "unicode"))
    ap.add_argument("--out", default=root)
    ap.add_argument("--check", action="store_true")
    args = ap.parse_args()
    files = generate(args.data)
    status = 0
    for rel, text in files.items():
        path = os.path.join(args.out, rel)
        if args.check:
            try:
                old = open(path, encoding="utf-8").read()
            except OSError:
                old = None
            if old != text:
                sys.stderr.write("gen_unicode_norm: %s differs from the generated text\n" % rel)
                status = 1
        else:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", encoding="utf-8", newline="\n") as f:
                f.write(text)
    sys.exit(status)


if __name__ == "__main__":
    main()
