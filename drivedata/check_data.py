#!/usr/bin/env python3
"""Checks the drive family's data before it is built into data/tarvo.dat and staged.

The data file has fixed-width 8-bit fields (Chinese in GBK, English in Windows-1252), the
panel and list files name dictionary entries by key, and the unit formulas are evaluated
by the program's own strict left-to-right evaluator; a mistake in any of them shows up
only as a silently missing row or a wrong value on screen, so it is caught here.
Run: python3 drivedata/check_data.py   (exit status 1 and a list of problems on failure)
"""
import json
import math
import os
import re
import sys

from check_value_names import check_value_names

HERE = os.path.dirname(os.path.abspath(__file__))
FIELDS = ["index", "subIndex", "nameZh", "nameEn", "dataType", "attribute", "helpZh",
          "helpEn", "unitSpec", "modbus", "default", "min", "max"]
# Optional, after the fields above and in this order: names of codes and of bits.
NAME_FIELDS = ["values", "bits"]
RANGES = {(8, False): (0, 0xFF), (8, True): (-0x80, 0x7F),
          (16, False): (0, 0xFFFF), (16, True): (-0x8000, 0x7FFF),
          (32, False): (0, 0xFFFFFFFF), (32, True): (-0x80000000, 0x7FFFFFFF)}
# Every other file of sys/ is a panel definition file.
NOT_PANELS = {"DataInOut", "RealTimeError", "Oscilloscope", "can"}
PANELS = sorted(os.path.splitext(name)[0] for name in os.listdir(os.path.join(HERE, "sys"))
                if name.endswith(".ini") and os.path.splitext(name)[0] not in NOT_PANELS)
FORMULA_CHARS = set("0123456789ABCDEFNsqrt.*/+-[]()")

problems = []


def fail(where, text):
    problems.append("%s: %s" % (where, text))


def width_of(data_type):
    digits = re.sub(r"[^0-9]", "", data_type)
    width = int(digits) if digits else 0
    return width if width in (8, 16, 32) else 0


def is_signed(data_type):
    return not data_type[:1] in ("U", "u")


def gbk_len(text):
    return len(text.encode("gbk"))


# Required objects: key -> (width or None for any, letters the attribute must hold).
def required_objects():
    req = {}

    def need(index, subs, width=None, letters=""):
        for sub in subs:
            req["%04X%02X" % (index, sub)] = (width, letters)

    need(0x1000, [0]); need(0x1001, [0]); need(0x1008, [0], "text"); need(0x1009, [0])
    need(0x100A, [0]); need(0x1018, range(0, 5))
    for n in range(8):
        need(0x1400 + n, range(0, 3))
        need(0x1600 + n, range(0, 9), None, "W")
        need(0x1800 + n, [0, 1, 2, 3, 5])
        need(0x1A00 + n, range(0, 9), None, "W")
    need(0x6041, [0], 16, "L")
    for index in (0x6040, 0x6060, 0x6061, 0x6062, 0x6064, 0x606B, 0x606C, 0x6071, 0x6077,
                  0x6078, 0x607A, 0x607C, 0x6081, 0x6083, 0x6084, 0x6085, 0x6098, 0x609A,
                  0x60FD, 0x60FF):
        need(index, [0])
    need(0x6099, [1, 2]); need(0x60FE, [1])
    need(0x2010, [0x01, 0x02, 0x0E, 0x0F], 16, "W")
    need(0x2010, list(range(0x03, 0x0B)) + list(range(0x10, 0x15)), 32, "W")
    need(0x2010, [0x0B, 0x0C, 0x18], None, "L")
    need(0x2010, [0x0D, 0x15, 0x16, 0x17])
    need(0x2300, range(0x01, 0x07), 32, "W"); need(0x2300, [0x07, 0x0B], 8, "W")
    need(0x2300, [0x08, 0x09, 0x0A], 16, "W"); need(0x2300, [0x0C, 0x0D], 32, "W")
    need(0x2300, [0x0E, 0x0F, 0x10])
    need(0x2600, [1, 2], 16, "W"); need(0x2601, [0], 16, "L"); need(0x2602, [0], 16, "L")
    need(0x2FF0, [1, 3], 8, "W"); need(0x2FFF, [0], 16, "W")
    return req


# ---------------------------------------------------------------- unit formulas
def parse_units(spec):
    """Splits unit definitions the way the unit table does: [first second]formula sep."""
    defs = []
    rest = spec
    while "[" in rest:
        open_at, close_at = rest.find("["), rest.find("]")
        if close_at < 0:
            break
        if close_at < open_at:
            return None, "a ']' comes before the first '['"
        words = rest[open_at + 1:close_at]
        first, _, second = words.partition(" ")
        rest = rest[close_at + 1:]
        end = 0
        while end < len(rest) and rest[end] in FORMULA_CHARS:
            end += 1
        defs.append((first, second, rest[:end]))
        rest = rest[end + 1:]
    return defs, None


def formula_tokens(formula, keys):
    """Tokens of a formula, or an error text for anything the evaluator would not take."""
    tokens, i = [], 0
    while i < len(formula):
        c = formula[i]
        if c.isdigit():
            j = i
            while j < len(formula) and (formula[j].isdigit() or formula[j] == "."):
                j += 1
            tokens.append(("num", float(formula[i:j])))
            i = j
        elif c == "N":
            tokens.append(("N", None))
            i += 1
        elif c == "[":
            ref = formula[i + 1:i + 9]
            if len(ref) != 8 or formula[i + 9:i + 10] != "]" or not re.fullmatch(
                    "[0-9A-F]{8}", ref):
                return None, "a reference must be '[' + 8 upper-case hex digits + ']'"
            if ref[:6] not in keys:
                return None, "reference [%s] names no dictionary entry" % ref
            tokens.append(("ref", ref[:6]))
            i += 10
        elif c == "s":
            close = formula.find(")", i)
            if not formula.startswith("sqrt(", i) or close < 0:
                return None, "a square root is written sqrt(...)"
            arg = formula[i:close]
            digits = re.sub(r"[^0-9]", "", arg)
            ops = [op for op in "*/+-" if op in arg]
            if "N" in arg and len(ops) != 1:
                return None, "sqrt with N needs exactly one operator"
            if not digits:
                return None, "sqrt argument has no number"
            tokens.append(("sqrt", ("N" in arg, ops[0] if ops else "", int(digits))))
            i = close + 1
        elif c in "*/+-":
            tokens.append(("op", c))
            i += 1
        else:
            return None, "character %r is not allowed in a formula" % c
    if not tokens or len(tokens) % 2 == 0:
        return None, "a formula is operand (operator operand)..."
    for pos, (kind, value) in enumerate(tokens):
        if (pos % 2 == 1) != (kind == "op"):
            return None, "operands and operators must alternate"
    ops = [value for kind, value in tokens if kind == "op"]
    if any(op in "+-" for op in ops[:-1]):
        return None, "evaluation stops after the first + or -, later parts would be ignored"
    return tokens, None


def evaluate(tokens, n, constants):
    def operand(token):
        kind, value = token
        if kind == "num":
            return value
        if kind == "N":
            return n
        if kind == "ref":
            return constants[value]
        with_n, op, k = value
        if not with_n:
            return math.sqrt(k)
        inner = {"*": k * n, "/": n / k, "+": k + n, "-": n - k}[op]
        return math.sqrt(inner) if inner >= 0 else float("nan")

    result = operand(tokens[0])
    for pos in range(1, len(tokens), 2):
        op, right = tokens[pos][1], operand(tokens[pos + 1])
        if op == "*":
            result *= right
        elif op == "/":
            result /= right
        else:
            return result + right if op == "+" else result - right
    return result


def check_units(where, entry, keys, constants, features):
    spec = entry["unitSpec"]
    if len(spec.encode("ascii", "replace")) > 255 or not spec.isascii():
        fail(where, "unitSpec must be ASCII of at most 255 bytes")
        return
    if len(spec) < 3:
        if spec:
            fail(where, "unitSpec shorter than 3 characters is ignored")
        return
    if entry["dataType"].upper() == "VISIBLE STRING":
        fail(where, "text entries take no units")
    defs, error = parse_units(spec)
    if error or not defs:
        fail(where, error or "unitSpec holds no [unit]formula definition")
        return
    rebuilt = ";".join("[%s]%s" % (" ".join(w for w in (a, b) if w), f) for a, b, f in defs)
    if len(rebuilt) != len(spec):
        fail(where, "unitSpec has text outside its definitions or a missing separator")
    parsed = []
    for first, second, formula in defs:
        if formula == "N*1":
            if (second or first) not in ("DEC", "HEX"):
                features["N*1"].append(where)
            parsed.append((first, second, None))
            continue
        tokens, error = formula_tokens(formula, keys)
        if error:
            fail(where, "formula %r: %s" % (formula, error))
            return
        if any(kind == "ref" for kind, _ in tokens):
            features["reference"].append(where)
        if any(kind == "sqrt" for kind, _ in tokens):
            features["sqrt"].append(where)
        parsed.append((first, second, tokens))
    labels = [second or first for first, second, _ in parsed]
    if any(label in ("ASCII", "") for label in labels):
        fail(where, "unit label ASCII or empty is not a unit")
    if entry["dataType"].upper() == "DOMAIN":
        return
    sample = [entry["default"], entry["min"], entry["max"], 1000, 512]
    for first, second, tokens in parsed:
        if not second or second in ("DEC", "HEX") or tokens is None:
            continue
        for value in sample:
            shown = evaluate(tokens, value, constants)
            if not math.isfinite(shown):
                fail(where, "unit %s cannot show %d" % (second, value))
        writers = [t for f, s, t in parsed if not s and f == second]
        if not writers:
            if "W" in entry["attribute"]:
                fail(where, "writable entry shows unit %s but cannot write it" % second)
            continue
        features["two-way"].append(where)
        for value in sample:
            back = evaluate(writers[0], evaluate(tokens, value, constants), constants)
            if abs(back - value) > 1.0001:
                fail(where, "unit %s does not convert %d back (%g)" % (second, value, back))


# ---------------------------------------------------------------- dictionary
def check_dictionary(entries):
    keys, order = {}, []
    modbus = {}
    for pos, entry in enumerate(entries):
        where = "entry %d" % pos
        extra = list(entry.keys())[len(FIELDS):] if isinstance(entry, dict) else None
        if not isinstance(entry, dict) or list(entry.keys())[:len(FIELDS)] != FIELDS or \
                extra != [f for f in NAME_FIELDS if f in extra]:
            fail(where, "fields must be exactly %s in this order, then optionally %s" %
                 (", ".join(FIELDS), " and ".join(NAME_FIELDS)))
            continue
        if not re.fullmatch("[0-9A-F]{4}", entry["index"]) or entry["index"] == "0000":
            fail(where, "index must be four upper-case hex digits, not 0000")
            continue
        if not re.fullmatch("[0-9A-F]{2}", entry["subIndex"]):
            fail(where, "subIndex must be two upper-case hex digits")
            continue
        key = entry["index"] + entry["subIndex"]
        where = "%sh:%sh" % (entry["index"], entry["subIndex"])
        if key in keys:
            fail(where, "duplicate key")
        keys[key] = entry
        order.append(int(key, 16))
        for field in ("nameZh", "nameEn", "dataType", "attribute", "helpZh", "helpEn",
                      "unitSpec"):
            if not isinstance(entry[field], str):
                fail(where, "%s must be text" % field)
                break
        else:
            check_texts(where, entry)
        if not re.fullmatch("[0-9A-F]{4}", str(entry["modbus"])):
            fail(where, "modbus must be four upper-case hex digits")
        elif entry["modbus"] != "0000":
            if entry["modbus"] in modbus:
                fail(where, "Modbus address %s also used by %s" % (entry["modbus"],
                                                                   modbus[entry["modbus"]]))
            modbus[entry["modbus"]] = where
        check_values(where, entry)
    if order != sorted(order):
        fail("dictionary", "entries are not in ascending index/subindex order")
    return keys


def check_texts(where, entry):
    for field, limit in (("nameZh", 63), ("helpZh", 2047)):
        try:
            if gbk_len(entry[field]) > limit:
                fail(where, "%s longer than %d GBK bytes" % (field, limit))
        except UnicodeEncodeError:
            fail(where, "%s has characters GBK cannot hold" % field)
    for field, limit in (("nameEn", 63), ("helpEn", 2047), ("dataType", 15),
                         ("attribute", 7)):
        if not entry[field].isascii() or len(entry[field]) > limit:
            fail(where, "%s must be ASCII of at most %d characters" % (field, limit))
    if not entry["nameZh"] or not entry["nameEn"]:
        fail(where, "both names are needed")
    if not entry["helpZh"] or not entry["helpEn"]:
        fail(where, "both help texts are needed")
    attribute = entry["attribute"]
    if set(attribute) - set("WLSM") or len(set(attribute)) != len(attribute):
        fail(where, "attribute may hold each of W, L, S, M once")
    data_type = entry["dataType"]
    if data_type.upper() not in ("VISIBLE STRING", "DOMAIN") and not (
            width_of(data_type) and re.fullmatch("(UNSIGNED|INTEGER)(8|16|32)", data_type)):
        fail(where, "unknown data type %r" % data_type)
    if data_type.upper() in ("VISIBLE STRING", "DOMAIN") and "W" in attribute:
        fail(where, "%s entries cannot be written value by value" % data_type)


def check_values(where, entry):
    data_type = entry["dataType"].upper()
    values = [entry["default"], entry["min"], entry["max"]]
    if data_type == "VISIBLE STRING":
        text = entry["default"]
        if not isinstance(text, str) or not text.isascii() or entry["min"] != 0 or \
                entry["max"] != 0:
            fail(where, "a text entry has an ASCII default text and min = max = 0")
        return
    if any(isinstance(v, bool) or not isinstance(v, int) for v in values):
        fail(where, "default, min and max must be integers")
        return
    if data_type == "DOMAIN":
        if values != [0, 0, 0]:
            fail(where, "a domain entry has default, min and max 0")
        return
    width = width_of(entry["dataType"])
    if not width:
        return
    low, high = RANGES[(width, is_signed(entry["dataType"]))]
    default, minimum, maximum = values
    if not low <= minimum <= maximum <= high:
        fail(where, "min/max %d..%d outside %d..%d" % (minimum, maximum, low, high))
    if not minimum <= default <= maximum:
        fail(where, "default %d outside %d..%d" % (default, minimum, maximum))


def check_required(keys):
    for key, (width, letters) in required_objects().items():
        entry = keys.get(key)
        if entry is None:
            fail("required", "%s is missing" % key)
            continue
        if width == "text":
            if entry["dataType"] != "VISIBLE STRING":
                fail("required", "%s must be a VISIBLE STRING" % key)
        elif width and width_of(entry["dataType"]) != width:
            fail("required", "%s must be %d bits wide" % (key, width))
        for letter in letters:
            if letter not in entry["attribute"]:
                fail("required", "%s needs attribute %s" % (key, letter))
    texts = [e["default"] for e in keys.values() if e["dataType"] == "VISIBLE STRING"]
    if not any(len(t) > 7 for t in texts):
        fail("required", "no text entry longer than one segment (7 characters)")
    if not any(len(t) == 14 for t in texts):
        fail("required", "no text entry of exactly 14 characters")
    if len(keys) < 250:
        fail("required", "only %d entries, at least 250 expected" % len(keys))


# ---------------------------------------------------------------- sys and user files
def read_ini(path, where):
    with open(path, "rb") as f:
        raw = f.read()
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError:
        fail(where, "not UTF-8")
        return {}
    if text.startswith("\ufeff"):
        text = text[1:]
    if re.search(r"(?<!\r)\n", text) or re.search(r"\r(?!\n)", text) or \
            not text.endswith("\r\n"):
        fail(where, "lines must end with CR LF")
    sections, current = {}, None
    for line in text.split("\r\n"):
        line = line.strip()
        if not line or line.startswith(";"):
            continue
        if line.startswith("[") and line.endswith("]"):
            current = sections.setdefault(line[1:-1].strip().lower(), {})
            continue
        name, sep, value = line.partition("=")
        if not sep or current is None:
            fail(where, "line %r is neither a section nor a key" % line)
            continue
        key = name.strip().lower()
        if key in current:
            fail(where, "key %s appears twice" % name.strip())
        current[key] = value.strip()
    return sections


def numbered_keys(section, where, limit):
    numbers = sorted(int(k) for k in section if k.isdigit())
    if numbers != list(range(1, len(numbers) + 1)) or len(numbers) > limit:
        fail(where, "keys must run 1, 2, 3 ... without gaps")
    return [section[str(n)] for n in numbers]


def check_panels(keys, sys_dir):
    listed = set()
    for name in PANELS:
        where = "sys/%s.ini" % name
        path = os.path.join(sys_dir, name + ".ini")
        if not os.path.isfile(path):
            fail(where, "missing")
            continue
        sections = read_ini(path, where)
        section = sections.get(name.lower())
        if section is None or len(sections) != 1:
            fail(where, "must hold exactly the section [%s]" % name)
            continue
        count = section.pop("num", "")
        values = numbered_keys(section, where, 10 ** 6)
        if not count.isdigit() or int(count) != len(values) or not values:
            fail(where, "num=%s does not match %d entry lines" % (count, len(values)))
        seen = set()
        for value in values:
            if not re.fullmatch("[0-9A-F]{6}", value) or value not in keys:
                fail(where, "%s names no dictionary entry" % value)
            if value in seen:
                fail(where, "%s listed twice" % value)
            seen.add(value)
            listed.add(value)
    return listed


def check_scope(keys, sys_dir):
    where = "sys/Oscilloscope.ini"
    sections = read_ini(os.path.join(sys_dir, "Oscilloscope.ini"), where)
    for name, widths in (("trigger", (8, 16, 32)), ("channel", (16, 32))):
        values = numbered_keys(sections.get(name, {}), where + " [%s]" % name, 10 ** 6)
        if not values:
            fail(where, "section [%s] is empty" % name)
        for value in values:
            entry = keys.get(value)
            if entry is None:
                fail(where, "%s names no dictionary entry" % value)
            elif width_of(entry["dataType"]) not in widths:
                fail(where, "%s cannot be a %s item" % (value, name))


def check_names(sys_dir):
    where = "sys/DataInOut.ini"
    sections = read_ini(os.path.join(sys_dir, "DataInOut.ini"), where)
    for name in ("in", "out"):
        check_bit_names(sections.get(name, {}), "%s [%s]" % (where, name), 255, None)
    where = "sys/RealTimeError.ini"
    sections = read_ini(os.path.join(sys_dir, "RealTimeError.ini"), where)
    check_bit_names(sections.get("realtimeerror", {}), where, 31, 32)
    if os.path.exists(os.path.join(sys_dir, "sys.ini")):
        fail("sys/sys.ini", "the program creates its settings file; do not ship one")


def check_bit_names(section, where, limit, exact):
    numbers = set()
    for key, value in section.items():
        match = re.fullmatch("(en|ch)bit([0-9]{2})", key)
        if not match:
            fail(where, "unexpected key %s" % key)
            continue
        numbers.add(int(match.group(2)))
        if not value or len(value.encode("utf-16-le")) // 2 > limit:
            fail(where, "%s must be a name of 1 to %d characters" % (key, limit))
        if match.group(1) == "en" and not value.isascii():
            fail(where, "%s must be ASCII" % key)
    wanted = list(range(1, (exact or len(numbers)) + 1))
    if sorted(numbers) != wanted or len(numbers) > 32:
        fail(where, "names must be numbered 01, 02 ... without gaps (at most 32)")
    for number in numbers:
        for lang in ("en", "ch"):
            if "%sbit%02d" % (lang, number) not in section:
                fail(where, "%sBit%02d is missing" % (lang, number))


def check_object_lists(keys, user_dir):
    names = sorted(n for n in os.listdir(user_dir) if n.endswith(".cdo"))
    if len(names) < 2:
        fail("user", "expected the two sample object lists")
    listed = set()
    for name in names:
        where = "user/" + name
        with open(os.path.join(user_dir, name), "rb") as f:
            raw = f.read()
        lines = raw.split(b"\r\n")
        if lines[-1] != b"" or any(b"\n" in line or b"\r" in line for line in lines):
            fail(where, "lines must end with CR LF")
        for line in lines[:-1]:
            text = line.decode("ascii", "replace")
            if not re.fullmatch("[0-9A-F]{8}", text):
                fail(where, "line %r is not an object word" % text)
                continue
            entry = keys.get(text[:6])
            if entry is None:
                fail(where, "%s names no dictionary entry" % text)
            elif int(text[6:], 16) != width_of(entry["dataType"]):
                fail(where, "%s has the wrong width for %s" % (text, entry["dataType"]))
            elif "W" not in entry["attribute"]:
                fail(where, "%s is not writable, the import would fail on it" % text)
            listed.add(text[:6])
    stored = {k for k, e in keys.items() if "W" in e["attribute"] and "S" in e["attribute"]}
    if "AllParameters.cdo" in names and not stored <= listed:
        fail("user/AllParameters.cdo", "out of date, run make_object_lists.py")


def main():
    with open(os.path.join(HERE, "dictionary.json"), encoding="utf-8") as f:
        entries = json.load(f)
    if not isinstance(entries, list):
        print("dictionary.json must be a JSON array")
        return 1
    keys = check_dictionary(entries)
    check_required(keys)
    sys_dir = os.path.join(HERE, "sys")
    ini_names = []
    for name, section in (("DataInOut.ini", "in"), ("DataInOut.ini", "out"),
                          ("RealTimeError.ini", "realtimeerror")):
        found = read_ini(os.path.join(sys_dir, name), "sys/" + name).get(section, {})
        ini_names.append({int(k[5:]) - 1: (found.get("chbit" + k[5:]), v)
                          for k, v in found.items() if k.startswith("enbit")})
    for key, entry in keys.items():
        check_value_names("%sh:%sh" % (key[:4], key[4:]), entry, keys, ini_names, fail)
    constants = {k: e["default"] for k, e in keys.items() if isinstance(e["default"], int)}
    features = {"two-way": [], "reference": [], "sqrt": [], "N*1": []}
    for key, entry in keys.items():
        if isinstance(entry.get("unitSpec"), str):
            check_units("%sh:%sh" % (key[:4], key[4:]), entry, keys, constants, features)
    for feature, where in features.items():
        if not where:
            fail("units", "no unit uses %s" % feature)
    sys_dir = os.path.join(HERE, "sys")
    check_panels(keys, sys_dir)
    check_scope(keys, sys_dir)
    check_names(sys_dir)
    check_object_lists(keys, os.path.join(HERE, "user"))
    for problem in problems:
        print(problem)
    if problems:
        print("%d problem(s)" % len(problems))
        return 1
    print("%d entries, %d panel files, object lists and name files OK" % (len(keys),
                                                                          len(PANELS)))
    for feature, where in features.items():
        print("  %-9s %d entries, e.g. %s" % (feature, len(set(where)), where[0]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
