#!/usr/bin/python3
"""Writes engine/SpaceGroupTable.cpp: the space-group settings in the order of International
Tables Vol. A, with the operators of each primitive part as 24-bit codes.

Settings, symbols and operators are the published ones as Debian's python3-cctbx (settings,
operators) and python3-spglib (full symbols) ship them. Run with /usr/bin/python3 from the
repository root; the build never runs it.

The published list has 530 settings; the eighteen monoclinic settings along negative axes (of
C c and C 2/c) take the code of their unique axis and cell choice. The ten centred triclinic
settings (A 1 .. F 1, A -1 .. F -1) that the program keeps are added. That gives 540 rows.
"""
import sys
from fractions import Fraction

import spglib
from cctbx import sgtbx

EXPECTED_ROWS = 540

TRANSLATIONS = [Fraction(0), Fraction(1, 6), Fraction(1, 4), Fraction(1, 3), Fraction(1, 2),
                Fraction(2, 3), Fraction(3, 4), Fraction(5, 6)]
# Rotation terms as (x, y, z) coefficients, by code index.
ROTATIONS = [(1, 0, 0), (-1, 0, 0), (0, 1, 0), (0, -1, 0), (0, 0, 1), (0, 0, -1), (1, -1, 0), (-1, 1, 0)]

MONOCLINIC_SETTING = {"a": 10, "b": 20, "c": 30}
ORTHORHOMBIC_SETTING = {"": 101, "ba-c": 102, "a-cb": 103, "bca": 104, "-cba": 105, "cab": 106}

# Site symmetry of the origin of choice 2, by the point group found there.
CHOICE2_NOTE = {"-1": "-1", "2/m": "centre (2/m)", "-3": "centre (-3)", "-3m": "centre (-3m)"}


def code_of(op):
    r = op.r().num()
    den = op.t().den()
    t = op.t().num()
    code = 0
    for row in range(3):
        term = tuple(r[3 * row:3 * row + 3])
        if term not in ROTATIONS:
            return None
        frac = Fraction(t[row], den) % 1
        if frac not in TRANSLATIONS:
            return None
        code = (code << 8) | (TRANSLATIONS.index(frac) << 4) | ROTATIONS.index(term)
    return code


def primitive_codes(group):
    ops = list(group.all_ops())[:group.order_p()]
    assert ops[0].is_unit_mx()
    codes = [code_of(op) for op in ops]
    return None if None in codes else codes


def origin_ops(group):
    """Rotations of the operators that leave the origin in place."""
    out = []
    for op in group.all_ops():
        if all(Fraction(v, op.t().den()) % 1 == 0 for v in op.t().num()):
            out.append(tuple(op.r().num()))
    return out


def origin_note(group, choice):
    rotations = origin_ops(group)
    sub = sgtbx.space_group()
    for r in rotations:
        sub.expand_smx(sgtbx.rt_mx(sgtbx.rot_mx(r)))
    kind = sub.point_group_type()
    if choice == 2:
        return CHOICE2_NOTE[kind]
    if kind == "mm2":
        twofold = [r for r in rotations if sorted(r[0::4]) == [-1, -1, 1]][0]
        return ["2 m m", "m 2 m", "m m 2"][twofold[0::4].index(1)]
    if kind == "-42m":
        return "-4 2 m" if (1, 0, 0, 0, -1, 0, 0, 0, -1) in rotations else "-4 m 2"
    return {"222": "2 2 2", "-4": "-4", "422": "4 2 2", "23": "2 3", "432": "4 3 2",
            "-43m": "-4 3 m"}[kind]


def schoenflies(symbol):
    base, number = symbol.split("^")
    return "%s(%s)" % (base, number)


# spglib drops the "2/" of the third position in these four groups.
FULL_SYMBOL_FIXES = {"P 4/m 2_1/b m": "P 4/m 2_1/b 2/m", "P 4/m 2_1/n c": "P 4/m 2_1/n 2/c",
                     "P 4/n 2_1/m m": "P 4/n 2_1/m 2/m", "P 4/n 2_1/c c": "P 4/n 2_1/c 2/c"}


def full_symbol(spg_full, short_tokens):
    """spglib's full symbol with '_' dropped and the 'e' glides named as in the short symbol."""
    spg_full = FULL_SYMBOL_FIXES.get(spg_full, spg_full)
    tokens = spg_full.replace("_", "").split()
    if len(tokens) == len(short_tokens):
        for i in range(1, len(tokens)):
            parts = tokens[i].split("/")
            if parts[-1] == "e":
                parts[-1] = short_tokens[i]
                tokens[i] = "/".join(parts)
    return " ".join(tokens)


def monoclinic_short(full):
    tokens = full.split()
    return " ".join([tokens[0]] + [t for t in tokens[1:] if t != "1"])


def make_rows():
    rows = []
    symbols = list(sgtbx.space_group_symbol_iterator())
    orthorhombic_count = {}
    for s in symbols:
        if 16 <= s.number() <= 74:
            key = (s.number(), s.extension())
            orthorhombic_count[key] = orthorhombic_count.get(key, 0) + 1
    seen_numbers = set()
    negative = 0
    for hall_number, s in enumerate(symbols, 1):
        number = s.number()
        qualifier = s.qualifier()
        extension = s.extension() if s.extension() != "\x00" else ""
        if qualifier.startswith("-") and number < 16:
            negative += 1
        group = sgtbx.space_group(s.hall())
        spg = spglib.get_spacegroup_type(hall_number)
        assert spg["number"] == number
        hm = s.hermann_mauguin()
        setting, choice, note = 0, 0, ""
        if 3 <= number <= 15:
            axis = qualifier.lstrip("-")
            setting = MONOCLINIC_SETTING[axis[0]] + (int(axis[1]) if len(axis) > 1 else 0)
            full = hm
            short = monoclinic_short(hm) if qualifier[0] == "b" else ""
        else:
            if 16 <= number <= 74 and orthorhombic_count[(number, s.extension())] > 1:
                setting = ORTHORHOMBIC_SETTING[qualifier]
            short = hm
            full = full_symbol(spg["international_full"], hm.split())
        if extension in ("1", "2"):
            choice = int(extension)
            note = origin_note(group, choice)
        elif extension == "H":
            setting = 112
        elif extension == "R":
            setting = 111
        codes = primitive_codes(group)
        assert codes is not None, (number, hm)
        first = number not in seen_numbers
        seen_numbers.add(number)
        rows.append(dict(number=number, schoenflies=schoenflies(s.schoenflies()) if first else "",
                         short=short, full=full, setting=setting, choice=choice, note=note,
                         codes=codes))
        if number in (1, 2):
            # The centred triclinic settings follow the primitive one.
            for letter in "ABCIF":
                text = "%s %s" % (letter, "1" if number == 1 else "-1")
                rows.append(dict(number=number, schoenflies="", short=text, full=text, setting=0,
                                 choice=0, note="", codes=codes))
    assert negative == 18, negative
    return rows


def check(rows):
    assert len(rows) == EXPECTED_ROWS, len(rows)
    for r in rows:
        assert len(r["schoenflies"]) <= 8 and len(r["short"]) <= 11 and len(r["full"]) <= 17, r
        assert len(r["note"]) <= 14 and 1 <= len(r["codes"]) <= 48, r


def c_string(text):
    return '"%s"' % text


def main():
    rows = make_rows()
    check(rows)
    out = ["// Generated by tools/gen_space_groups.py; do not edit.",
           "// Space-group settings in the order of International Tables Vol. A; operator codes of",
           "// the primitive part, identity first.",
           '#include "SpaceGroups.h"', "",
           "const CSpaceGroupRow g_SpaceGroupTable[] = {"]
    for r in rows:
        codes = ", ".join("0x%06x" % c for c in r["codes"])
        out.append("    {%d, %s, %s, %s, %d, %d, %s, %d, {%s}},"
                   % (r["number"], c_string(r["schoenflies"]), c_string(r["short"]),
                      c_string(r["full"]), r["setting"], r["choice"], c_string(r["note"]),
                      len(r["codes"]), codes))
    out.append('    {999, "", "END", "", 0, 0, "", 0, {}},')
    out += ["};", "",
            "// Every published setting, plus the centred triclinic ones.",
            "static_assert(std::size(g_SpaceGroupTable) == %d + 1);" % EXPECTED_ROWS,
            "",
            "int SpaceGroupTableSize() { return %d; }" % EXPECTED_ROWS,
            ""]
    sys.stdout.write("\n".join(out))


if __name__ == "__main__":
    main()
