#!/usr/bin/env python3
"""Generates the built-in zone database and the Windows zone map.

Reads the ten tz source files of release 2015f and writes
time/tables/tz_data.cpp and time/tables/winzone_map.cpp.  The counts and the
fixed indexes below are checked; any mismatch stops the script with an error
and nothing is written.

usage: tools/gen_tz.py [--data DIR] [--out DIR] [--check]
  --data   the tzdata-2015f folder (default ../shared/data/tzdata-2015f)
  --out    the repository root (default: this script's parent folder)
  --check  compare with the committed files instead of writing them
"""
import argparse
import os
import re
import sys

FILES = ["africa", "antarctica", "asia", "australasia", "europe",
         "northamerica", "southamerica", "etcetera", "backward", "pacificnew"]

EXPECT_ZONES = 377
EXPECT_LINKS = 205
EXPECT_ENTRIES = 582
EXPECT_RULESETS = 135
EXPECT_RULES = 1913
EXPECT_INDEX = {"Africa/Abidjan": 0, "Etc/UTC": 414, "Zulu": 581}
EXPECT_WIN_ROWS = 174
EXPECT_WIN_TARGETS = 83

# Stored sentinels for years that do not fit 16 bits.
YEAR_MAX16 = 32767     # "max" in a rule, no UNTIL on a zone line
YEAR_NEVER16 = -32768  # a zone line that never applies

MONTHS = ["jan", "feb", "mar", "apr", "may", "jun",
          "jul", "aug", "sep", "oct", "nov", "dec"]
WEEKDAYS = ["mon", "tue", "wed", "thu", "fri", "sat", "sun"]  # 1..7

# Windows zone names (registry key names, short and long forms) and the tz
# zone each one maps to.  "Tasmania Standard Time" appears twice in the map
# the library ships; both rows name the same zone.
WINDOWS_ZONES = [
    ('Australia/Darwin', ['AUS Central', 'AUS Central Standard Time']),
    ('Australia/Sydney', ['AUS Eastern', 'AUS Eastern Standard Time', 'Syd2000', 'Sydney Standard Time']),
    ('Asia/Kabul', ['Afghanistan', 'Afghanistan Standard Time']),
    ('America/Anchorage', ['Alaskan', 'Alaskan Standard Time']),
    ('Asia/Riyadh', ['Arab', 'Arab Standard Time', 'Saudi Arabia', 'Saudi Arabia Standard Time']),
    ('Asia/Muscat', ['Arabian', 'Arabian Standard Time']),
    ('Asia/Baghdad', ['Arabic', 'Arabic Standard Time']),
    ('Asia/Yerevan', ['Armenian Standard Time', 'Caucasus', 'Caucasus Standard Time']),
    ('America/Halifax', ['Atlantic', 'Atlantic Standard Time']),
    ('Asia/Baku', ['Azerbaijan Standard Time']),
    ('Atlantic/Azores', ['Azores', 'Azores Standard Time']),
    ('Asia/Bangkok', ['Bangkok', 'Bangkok Standard Time', 'SE Asia', 'SE Asia Standard Time']),
    ('Asia/Shanghai', ['Beijing', 'China', 'China Standard Time']),
    ('America/Regina', ['Canada Central', 'Canada Central Standard Time', 'Central America', 'Central America Standard Time']),
    ('Atlantic/Cape_Verde', ['Cape Verde', 'Cape Verde Standard Time']),
    ('Australia/Adelaide', ['Cen. Australia', 'Cen. Australia Standard Time']),
    ('America/Chicago', ['Central', 'Central Standard Time']),
    ('Asia/Dhaka', ['Central Asia', 'Central Asia Standard Time']),
    ('America/Manaus', ['Central Brazilian Standard Time']),
    ('Europe/Prague', ['Central Europe', 'Central Europe Standard Time', 'Prague Bratislava']),
    ('Europe/Belgrade', ['Central European', 'Central European Standard Time']),
    ('Pacific/Guadalcanal', ['Central Pacific', 'Central Pacific Standard Time']),
    ('America/Mexico_City', ['Central Standard Time (Mexico)', 'Mexico', 'Mexico Standard Time']),
    ('Etc/GMT-12', ['Dateline', 'Dateline Standard Time']),
    ('Africa/Nairobi', ['E. Africa', 'E. Africa Standard Time']),
    ('Australia/Brisbane', ['E. Australia', 'E. Australia Standard Time']),
    ('Europe/Minsk', ['E. Europe', 'E. Europe Standard Time']),
    ('America/Sao_Paulo', ['E. South America', 'E. South America Standard Time']),
    ('America/New_York', ['Eastern', 'Eastern Standard Time']),
    ('Africa/Cairo', ['Egypt', 'Egypt Standard Time']),
    ('Asia/Yekaterinburg', ['Ekaterinburg', 'Ekaterinburg Standard Time']),
    ('Europe/Helsinki', ['FLE', 'FLE Standard Time']),
    ('Pacific/Fiji', ['Fiji', 'Fiji Standard Time']),
    ('Europe/Athens', ['GFT', 'GFT Standard Time', 'GTB', 'GTB Standard Time']),
    ('Etc/GMT', ['GMT', 'GMT Standard Time', 'Greenwich', 'Greenwich Standard Time']),
    ('Asia/Tbilisi', ['Georgian Standard Time']),
    ('America/Godthab', ['Greenland', 'Greenland Standard Time']),
    ('Pacific/Honolulu', ['Hawaiian', 'Hawaiian Standard Time']),
    ('Asia/Kolkata', ['India', 'India Standard Time']),
    ('Asia/Tehran', ['Iran', 'Iran Standard Time']),
    ('Asia/Jerusalem', ['Israel', 'Israel Standard Time']),
    ('Asia/Amman', ['Jordan Standard Time']),
    ('Asia/Seoul', ['Korea', 'Korea Standard Time']),
    ('America/Chihuahua', ['Mexico Standard Time 2', 'Mountain Standard Time (Mexico)']),
    ('Atlantic/South_Georgia', ['Mid-Atlantic', 'Mid-Atlantic Standard Time']),
    ('Asia/Beirut', ['Middle East Standard Time']),
    ('America/Montevideo', ['Montevideo Standard Time']),
    ('America/Denver', ['Mountain', 'Mountain Standard Time']),
    ('Asia/Rangoon', ['Myanmar', 'Myanmar Standard Time']),
    ('Asia/Novosibirsk', ['N. Central Asia', 'N. Central Asia Standard Time']),
    ('Africa/Windhoek', ['Namibia Standard Time']),
    ('Asia/Katmandu', ['Nepal', 'Nepal Standard Time']),
    ('Pacific/Auckland', ['New Zealand', 'New Zealand Standard Time']),
    ('America/St_Johns', ['Newfoundland', 'Newfoundland Standard Time']),
    ('Asia/Krasnoyarsk', ['North Asia', 'North Asia Standard Time']),
    ('Asia/Ulaanbaatar', ['North Asia East', 'North Asia East Standard Time']),
    ('America/Los_Angeles', ['Pacific', 'Pacific Standard Time']),
    ('America/Santiago', ['Pacific SA', 'Pacific SA Standard Time']),
    ('America/Tijuana', ['Pacific Standard Time (Mexico)']),
    ('Europe/Paris', ['Romance', 'Romance Standard Time']),
    ('Europe/Moscow', ['Russian', 'Russian Standard Time']),
    ('America/Argentina/Buenos_Aires', ['SA Eastern', 'SA Eastern Standard Time']),
    ('America/Bogota', ['SA Pacific', 'SA Pacific Standard Time']),
    ('America/Caracas', ['SA Western', 'SA Western Standard Time', 'Venezuela Standard Time']),
    ('Pacific/Apia', ['Samoa', 'Samoa Standard Time']),
    ('Asia/Singapore', ['Singapore', 'Singapore Standard Time']),
    ('Africa/Harare', ['South Africa', 'South Africa Standard Time']),
    ('Asia/Colombo', ['Sri Lanka', 'Sri Lanka Standard Time']),
    ('Asia/Taipei', ['Taipei', 'Taipei Standard Time']),
    ('Australia/Hobart', ['Tasmania', 'Tasmania Standard Time']),
    ('Asia/Tokyo', ['Tokyo', 'Tokyo Standard Time']),
    ('Pacific/Tongatapu', ['Tonga', 'Tonga Standard Time']),
    ('America/Indiana/Indianapolis', ['US Eastern', 'US Eastern Standard Time']),
    ('America/Phoenix', ['US Mountain', 'US Mountain Standard Time']),
    ('Asia/Vladivostok', ['Vladivostok', 'Vladivostok Standard Time']),
    ('Australia/Perth', ['W. Australia', 'W. Australia Standard Time']),
    ('Africa/Luanda', ['W. Central Africa', 'W. Central Africa Standard Time']),
    ('Europe/Berlin', ['W. Europe', 'W. Europe Standard Time']),
    ('Europe/Warsaw', ['Warsaw']),
    ('Asia/Karachi', ['West Asia', 'West Asia Standard Time']),
    ('Pacific/Guam', ['West Pacific', 'West Pacific Standard Time']),
    ('America/Rio_Branco', ['Western Brazilian Standard Time']),
    ('Asia/Yakutsk', ['Yakutsk', 'Yakutsk Standard Time']),
]
WINDOWS_DUPLICATE = ("Australia/Hobart", "Tasmania Standard Time")


HASH_SLOTS = 2048


def name_hash(name):
    """The name's bytes in little-endian 8-byte words (the last one padded
    with zeros), each mixed in with a multiplication; time/zone_tables.h
    computes the same."""
    data = name.encode()
    m = 0xFFFFFFFFFFFFFFFF
    h = (0x9E3779B97F4A7C15 ^ len(data)) & m
    for i in range(0, len(data), 8):
        word = int.from_bytes(data[i:i + 8], "little")
        h = ((h ^ word) * 0xFF51AFD7ED558CCD) & m
    h ^= h >> 29
    return h & 0xFFFFFFFF


def fail(msg):
    sys.stderr.write("gen_tz: %s\n" % msg)
    sys.exit(1)


def prefix_lookup(word, names, what):
    w = word.lower()
    hits = [i for i, n in enumerate(names) if n.startswith(w[:3]) and
            (n.startswith(w) or w.startswith(n))]
    if len(hits) != 1:
        fail("bad %s %r" % (what, word))
    return hits[0] + 1


def parse_hms(text):
    """[-]h[:mm[:ss]] -> seconds, the sign applying to the whole amount."""
    neg = text.startswith("-")
    if neg:
        text = text[1:]
    parts = text.split(":")
    if not 1 <= len(parts) <= 3 or not all(p.isdigit() for p in parts):
        fail("bad time %r" % text)
    vals = [int(p) for p in parts] + [0] * (3 - len(parts))
    secs = vals[0] * 3600 + vals[1] * 60 + vals[2]
    return -secs if neg else secs


def parse_at(text):
    """AT or UNTIL time of day -> (time type, hour, minute, second)."""
    ttype = 0
    if text and text[-1] in "wsugz":
        ttype = {"w": 0, "s": 1, "u": 2, "g": 2, "z": 2}[text[-1]]
        text = text[:-1]
    parts = text.split(":")
    if not 1 <= len(parts) <= 3 or not all(p.isdigit() for p in parts):
        fail("bad time of day %r" % text)
    vals = [int(p) for p in parts] + [0] * (3 - len(parts))
    if not (0 <= vals[0] <= 127 and vals[1] < 60 and vals[2] < 60):
        fail("time of day out of range %r" % text)
    return ttype, vals[0], vals[1], vals[2]


def parse_day(text):
    """ON column -> (day type, day, weekday)."""
    if text.isdigit():
        return 0, int(text), -1
    if text.startswith("last"):
        return 1, -1, prefix_lookup(text[4:], WEEKDAYS, "weekday")
    m = re.match(r"^([A-Za-z]+)(>=|<=)(\d+)$", text)
    if not m:
        fail("bad day %r" % text)
    wd = prefix_lookup(m.group(1), WEEKDAYS, "weekday")
    return (2 if m.group(2) == ">=" else 3), int(m.group(3)), wd


def parse_year(text, only_of=None):
    t = text.lower()
    if t == "only" and only_of is not None:
        return only_of
    if t == "max" or t == "maximum":
        return 2147483647
    if not re.match(r"^-?\d+$", text):
        fail("bad year %r" % text)
    return int(text)


class ZoneLine:
    def __init__(self, fields):
        if len(fields) < 3:
            fail("short zone line %r" % fields)
        self.utoff = parse_hms(fields[0])
        rules = fields[1]
        if rules == "-":
            self.rule_set, self.fixed = None, 0
        elif re.match(r"^-?\d", rules):
            self.rule_set, self.fixed = None, parse_hms(rules)
        else:
            self.rule_set, self.fixed = rules, 0
        until = fields[3:]
        self.has_until = bool(until)
        if until:
            self.until_year = parse_year(until[0])
            self.until_month = prefix_lookup(until[1], MONTHS, "month") if len(until) > 1 else 1
            if len(until) > 2:
                self.until_daytype, self.until_day, self.until_weekday = parse_day(until[2])
            else:
                self.until_daytype, self.until_day, self.until_weekday = 0, 1, -1
            if len(until) > 3:
                (self.until_type, self.until_hour, self.until_minute,
                 self.until_second) = parse_at(until[3])
            else:
                self.until_type, self.until_hour, self.until_minute, self.until_second = 0, 0, 0, 0
            if len(until) > 4:
                fail("long zone line %r" % fields)
        else:
            self.until_year = 2147483647
            self.until_month, self.until_daytype, self.until_day = 1, 0, 1
            self.until_weekday, self.until_type = -1, 0
            self.until_hour = self.until_minute = self.until_second = 0


class Rule:
    def __init__(self, f):
        # Rule NAME FROM TO TYPE IN ON AT SAVE LETTER/S
        if len(f) != 10:
            fail("bad rule line %r" % f)
        self.name = f[1]
        self.from_year = parse_year(f[2])
        self.to_year = parse_year(f[3], only_of=self.from_year)
        if f[4] != "-":
            fail("rule type %r is not supported" % f[4])
        self.month = prefix_lookup(f[5], MONTHS, "month")
        self.day_type, self.day, self.weekday = parse_day(f[6])
        self.at_type, self.at_hour, self.at_minute, self.at_second = parse_at(f[7])
        self.save = parse_hms(f[8])


def read_sources(data_dir):
    zones = {}       # name -> [ZoneLine]
    zone_order = []
    links = {}       # link name -> target
    rules = []       # in source order
    for fname in FILES:
        path = os.path.join(data_dir, fname)
        try:
            text = open(path, encoding="latin-1").read()
        except OSError as e:
            fail("cannot read %s: %s" % (path, e))
        current = None  # zone expecting continuation lines
        for lineno, raw in enumerate(text.split("\n"), 1):
            line = raw.split("#", 1)[0]
            fields = line.split()
            if not fields:
                continue
            where = "%s:%d" % (fname, lineno)
            if line[0] not in " \t":
                kind = fields[0]
                if kind == "Zone":
                    name = fields[1]
                    if name in zones:
                        fail("%s: duplicate zone %s" % (where, name))
                    zl = ZoneLine(fields[2:])
                    zones[name] = [zl]
                    zone_order.append(name)
                    current = name if zl.has_until else None
                elif kind == "Link":
                    if len(fields) != 3:
                        fail("%s: bad link" % where)
                    if fields[2] in links:
                        fail("%s: duplicate link %s" % (where, fields[2]))
                    links[fields[2]] = fields[1]
                    current = None
                elif kind == "Rule":
                    rules.append(Rule(fields))
                    current = None
                else:
                    fail("%s: unknown line %r" % (where, raw))
            else:
                if current is None:
                    fail("%s: continuation line without a zone" % where)
                zl = ZoneLine(fields)
                zones[current].append(zl)
                current = current if zl.has_until else None
    return zones, links, rules


def c_str(s):
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'


def year16(y):
    if y == 2147483647:
        return YEAR_MAX16
    if y == -2147483648:
        return YEAR_NEVER16
    if not -32767 <= y < 32767:
        fail("year %d does not fit the table" % y)
    return y


def generate(data_dir):
    zones, links, rules = read_sources(data_dir)
    if len(zones) != EXPECT_ZONES:
        fail("%d zones, expected %d" % (len(zones), EXPECT_ZONES))
    if len(links) != EXPECT_LINKS:
        fail("%d links, expected %d" % (len(links), EXPECT_LINKS))
    if len(rules) != EXPECT_RULES:
        fail("%d rules, expected %d" % (len(rules), EXPECT_RULES))
    for name in links:
        if name in zones:
            fail("link %s is also a zone" % name)

    # Rule sets: rules grouped by name, source order kept within a set; the
    # sets themselves sorted by name.
    set_names = sorted({r.name for r in rules}, key=lambda s: s.encode())
    if len(set_names) != EXPECT_RULESETS:
        fail("%d rule sets, expected %d" % (len(set_names), EXPECT_RULESETS))
    set_index = {n: i for i, n in enumerate(set_names)}
    by_set = {n: [r for r in rules if r.name == n] for n in set_names}

    # Links resolve (through other links if need be) to a zone.
    def target(name, depth=0):
        if name in zones:
            return name
        if name not in links or depth > 16:
            fail("link target %s is not a zone" % name)
        return target(links[name], depth + 1)

    entries = sorted(list(zones) + list(links), key=lambda s: s.encode())
    if len(entries) != EXPECT_ENTRIES:
        fail("%d zone table entries, expected %d" % (len(entries), EXPECT_ENTRIES))
    for name, idx in EXPECT_INDEX.items():
        if entries[idx] != name:
            fail("%s is at index %d, expected %d" % (name, entries.index(name), idx))
    for zname in zones:
        for zl in zones[zname]:
            if zl.rule_set is not None and zl.rule_set not in set_index:
                fail("zone %s uses unknown rules %s" % (zname, zl.rule_set))

    # Zone lines: each zone's lines contiguous, zones in table order.
    line_start = {}
    all_lines = []
    for name in entries:
        if name in zones:
            line_start[name] = len(all_lines)
            all_lines.extend(zones[name])

    out = []
    w = out.append
    w("// Generated by tools/gen_tz.py from the IANA tz database, release 2015f.")
    w("// Do not edit: change the generator and run it again.")
    w('#include "time/zone_tables.h"')
    w("")
    w("namespace orbek {")
    w("namespace tz {")
    w("")
    # Name pool.
    pool_off = {}
    pool = []
    off = 0
    for name in entries:
        pool_off[name] = off
        pool.append(name)
        off += len(name) + 1
    if off > 65535:
        fail("name pool too large")
    w("// Zone and link names, NUL-separated, in table order.")
    w("const char kZoneNames[] =")
    for name in pool:
        w("    %s \"\\0\"" % c_str(name))
    w("    ;")
    w("")
    # Open-addressing hash of the names (linear probing).
    slots = [-1] * HASH_SLOTS
    for i, name in enumerate(entries):
        h = name_hash(name) & (HASH_SLOTS - 1)
        while slots[h] != -1:
            h = (h + 1) & (HASH_SLOTS - 1)
        slots[h] = i
    w("// Zone index by hash of the name (tz::name_hash), linear probing; -1 marks an")
    w("// empty slot.")
    w("const int16_t kZoneHash[kZoneHashSlots] = {")
    for k in range(0, HASH_SLOTS, 16):
        w("    " + " ".join("%d," % v for v in slots[k:k + 16]))
    w("};")
    w("")
    w("const Zone kZones[kZoneCount] = {")
    for i, name in enumerate(entries):
        t = target(name)
        w("    {%d, %d, %d},  // %d %s%s" % (pool_off[name], line_start[t], len(zones[t]), i, name,
                                         "" if t == name else " -> " + t))
    w("};")
    w("")
    w("// utoff, rule set (-1: none), fixed amount, until year, until time type,")
    w("// until day type, month, day, weekday, hour, minute, second")
    w("const ZoneLine kZoneLines[kZoneLineCount] = {")
    for zl in all_lines:
        rs = -1 if zl.rule_set is None else set_index[zl.rule_set]
        w("    {%d, %d, %d, %d, %d, %d, %d, %d, %d, %d, %d, %d}," % (
            zl.utoff, rs, zl.fixed, year16(zl.until_year), zl.until_type, zl.until_daytype,
            zl.until_month, zl.until_day, zl.until_weekday, zl.until_hour, zl.until_minute,
            zl.until_second))
    w("};")
    w("")
    w("// from, to, day type, month, day, weekday, at time type, at hour, minute,")
    w("// second, save")
    w("const Rule kRules[kRuleCount] = {")
    first_rule = {}
    n = 0
    for sname in set_names:
        first_rule[sname] = n
        w("    // %s" % sname)
        for r in by_set[sname]:
            w("    {%d, %d, %d, %d, %d, %d, %d, %d, %d, %d, %d}," % (
                year16(r.from_year), year16(r.to_year), r.day_type, r.month, r.day, r.weekday,
                r.at_type, r.at_hour, r.at_minute, r.at_second, r.save))
            n += 1
    w("};")
    w("")
    w("// first rule, count, least and greatest save")
    w("const RuleSet kRuleSets[kRuleSetCount] = {")
    for sname in set_names:
        saves = [r.save for r in by_set[sname]]
        w("    {%d, %d, %d, %d},  // %s" % (first_rule[sname], len(by_set[sname]), min(saves), max(saves),
                                         sname))
    w("};")
    w("")
    w("}  // namespace tz")
    w("}  // namespace orbek")
    tz_cpp = "\n".join(out) + "\n"

    counts = {"kZoneCount": len(entries), "kZoneLineCount": len(all_lines),
              "kRuleCount": len(rules), "kRuleSetCount": len(set_names),
              "kZoneEtcUtc": EXPECT_INDEX["Etc/UTC"], "kWinZoneCount": EXPECT_WIN_ROWS,
              "kZoneHashSlots": HASH_SLOTS}

    # Windows zone map, sorted by name so that it can be searched by halves.
    rows = []
    targets = set()
    for tzname, names in WINDOWS_ZONES:
        if tzname not in entries:
            fail("Windows map target %s is not in the zone table" % tzname)
        targets.add(tzname)
        for wn in names:
            rows.append((wn, tzname))
    rows.append((WINDOWS_DUPLICATE[1], WINDOWS_DUPLICATE[0]))
    if len(rows) != EXPECT_WIN_ROWS:
        fail("%d Windows map rows, expected %d" % (len(rows), EXPECT_WIN_ROWS))
    if len(targets) != EXPECT_WIN_TARGETS:
        fail("%d Windows map targets, expected %d" % (len(targets), EXPECT_WIN_TARGETS))
    rows.sort(key=lambda r: r[0].encode())
    out = []
    w = out.append
    w("// Generated by tools/gen_tz.py: the Windows zone names (registry key names)")
    w("// and the zone of the built-in database each maps to, sorted by name.")
    w("// Do not edit: change the generator and run it again.")
    w('#include "time/zone_tables.h"')
    w("")
    w("namespace orbek {")
    w("namespace tz {")
    w("")
    w("const WinZone kWinZones[kWinZoneCount] = {")
    for wn, tzname in rows:
        w("    {%s, %d},  // %s" % (c_str(wn), entries.index(tzname), tzname))
    w("};")
    w("")
    w("}  // namespace tz")
    w("}  // namespace orbek")
    win_cpp = "\n".join(out) + "\n"

    return {"time/tables/tz_data.cpp": tz_cpp, "time/tables/winzone_map.cpp": win_cpp}, counts


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(here)
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--data", default=os.path.join(root, "..", "shared", "data", "tzdata-2015f"))
    ap.add_argument("--out", default=root)
    ap.add_argument("--check", action="store_true")
    args = ap.parse_args()
    files, counts = generate(args.data)

    # The header's constants must agree with what was generated.
    header = open(os.path.join(args.out, "time", "zone_tables.h")).read()
    for name, value in counts.items():
        m = re.search(r"\b%s = (-?\d+);" % name, header)
        if not m or int(m.group(1)) != value:
            fail("time/zone_tables.h: %s must be %d" % (name, value))

    status = 0
    for rel, text in files.items():
        path = os.path.join(args.out, rel)
        if args.check:
            try:
                old = open(path, encoding="utf-8").read()
            except OSError:
                old = None
            if old != text:
                sys.stderr.write("gen_tz: %s differs from the generated text\n" % rel)
                status = 1
        else:
            with open(path, "w", encoding="utf-8", newline="\n") as f:
                f.write(text)
    sys.exit(status)


if __name__ == "__main__":
    main()
