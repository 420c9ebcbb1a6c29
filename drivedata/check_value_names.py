"""The names of codes ("values") and bits ("bits") of the dictionary source's entries,
checked by check_data.py against the entries' range, width and help texts."""
import re


def numbers_in(text):
    """The whole numbers a help text mentions, ranges such as "bits 16-23" included."""
    numbers = set()
    for first, last in re.findall(r"(?<![0-9A-Za-z.])(-?[0-9]+)(?:-([0-9]+))?(?![0-9])", text):
        numbers.add(int(first))
        if last and int(first) < int(last) <= int(first) + 32:
            numbers.update(range(int(first), int(last) + 1))
    return numbers


def read_names(where, entry, field, fail):
    """The [number, Chinese, English] list of a field, or None (reported) when malformed."""
    names = entry.get(field)
    if names is None:
        return []
    if not isinstance(names, list) or not names:
        fail(where, "%s must be a non-empty list of [number, Chinese, English]" % field)
        return None
    seen = set()
    for item in names:
        if not (isinstance(item, list) and len(item) == 3 and isinstance(item[0], int) and
                not isinstance(item[0], bool) and all(isinstance(t, str) and t for t in item[1:])):
            fail(where, "%s: %r is not [number, Chinese, English]" % (field, item))
            return None
        if item[0] in seen:
            fail(where, "%s: %d is named twice" % (field, item[0]))
        seen.add(item[0])
        if len(item[2]) > 63 or not item[2].isascii():
            fail(where, "%s: the English name of %d must be ASCII of at most 63 characters" %
                 (field, item[0]))
        if len(item[1]) > 63:
            fail(where, "%s: the Chinese name of %d is longer than 63 characters" %
                 (field, item[0]))
    if [item[0] for item in names] != sorted(seen):
        fail(where, "%s must be in ascending order" % field)
    return names


def check_value_names(where, entry, keys, ini_names, fail):
    """Names of codes lie within min..max and are numbers the help texts list (or those of
    the entry the help refers to); names of bits lie within the width, and are bits the help
    texts mention or the names of the I/O functions or error states."""
    values = read_names(where, entry, "values", fail)
    bits = read_names(where, entry, "bits", fail)
    if values is None or bits is None or not (values or bits):
        return
    width = {"8": 8, "16": 16, "32": 32}.get(re.sub("[^0-9]", "", entry["dataType"]), 0)
    if not width or entry["dataType"].upper() in ("VISIBLE STRING", "DOMAIN"):
        fail(where, "only number entries have names of values or bits")
        return
    in_help = numbers_in(entry["helpEn"]) & numbers_in(entry["helpZh"])
    referred = re.search(r"([0-9A-F]{4})h", entry["helpEn"])
    same_as = keys.get(referred.group(1) + "00", {}).get("values") if referred else None
    for value, _, _ in values:
        if not entry["min"] <= value <= entry["max"]:
            fail(where, "value %d is named but outside %d..%d" % (value, entry["min"],
                                                                  entry["max"]))
    if values and values != same_as and any(v not in in_help for v, _, _ in values):
        fail(where, "values %s are named but not listed in both help texts" %
             sorted(v for v, _, _ in values if v not in in_help))
    for bit, zh, en in bits:
        if not 0 <= bit < width:
            fail(where, "bit %d is not one of 0 to %d" % (bit, width - 1))
            continue
        port = re.fullmatch(r"D(?:IN|OUT)([0-9])", en)
        if port and zh == en and "n-1" in entry["helpEn"] and bit == int(port.group(1)) - 1:
            continue
        if bit in in_help and "bit" in entry["helpEn"].lower() and "位" in entry["helpZh"]:
            continue
        if any(table.get(bit + offset) == (zh, en) for table in ini_names for offset in (0, 16)):
            continue
        fail(where, "bit %d (%s) is neither in both help texts nor an I/O function or error "
             "state name" % (bit, en))
