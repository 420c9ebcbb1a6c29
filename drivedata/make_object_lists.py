#!/usr/bin/env python3
"""Writes the sample object lists of user/ from dictionary.json.

AllParameters.cdo names every writable stored parameter, TuningShort.cdo the loop gains
and windows an engineer adjusts most. Each line is one object word: index (4 hex digits),
subindex (2) and the value width in bits (2), as the export view reads it.
Run after every change of dictionary.json: python3 drivedata/make_object_lists.py
"""
import json
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

TUNING_KEYS = [
    "201101", "201102", "201103", "201106",
    "201201", "201202", "201203", "201206", "201207",
    "201301", "201302",
    "606500", "606700",
]


def value_width(data_type):
    """Width in bits carried by the digits of a data type name, or 0 for text and domains."""
    digits = re.sub(r"[^0-9]", "", data_type)
    width = int(digits) if digits else 0
    return width if width in (8, 16, 32) else 0


def entry_key(entry):
    return entry["index"] + entry["subIndex"]


def object_word(entry):
    return "%s%s%02X" % (entry["index"], entry["subIndex"], value_width(entry["dataType"]))


def is_stored_parameter(entry):
    attribute = entry["attribute"]
    return "W" in attribute and "S" in attribute and value_width(entry["dataType"]) != 0


def is_mapping_count(entry):
    # A drive accepts new mapping entries only while the count is 0, so on import the
    # count of a PDO mapping goes after its entries.
    index = int(entry["index"], 16)
    return entry["subIndex"] == "00" and (0x1600 <= index <= 0x17FF or 0x1A00 <= index <= 0x1BFF)


def all_parameters(entries):
    words = []
    pending_count = None
    for entry in entries:
        if not is_stored_parameter(entry):
            continue
        if pending_count is not None and pending_count["index"] != entry["index"]:
            words.append(object_word(pending_count))
            pending_count = None
        if is_mapping_count(entry):
            pending_count = entry
            continue
        words.append(object_word(entry))
    if pending_count is not None:
        words.append(object_word(pending_count))
    return words


def tuning_short(entries):
    by_key = {entry_key(e): e for e in entries}
    words = []
    for key in TUNING_KEYS:
        entry = by_key.get(key)
        if entry is None or not is_stored_parameter(entry):
            raise SystemExit("TuningShort: %s is not a writable stored parameter" % key)
        words.append(object_word(entry))
    return words


def write_list(path, words):
    with open(path, "w", encoding="ascii", newline="") as f:
        f.write("".join(word + "\r\n" for word in words))


def main():
    with open(os.path.join(HERE, "dictionary.json"), encoding="utf-8") as f:
        entries = json.load(f)
    user_dir = os.path.join(HERE, "user")
    os.makedirs(user_dir, exist_ok=True)
    lists = {
        "AllParameters.cdo": all_parameters(entries),
        "TuningShort.cdo": tuning_short(entries),
    }
    for name, words in lists.items():
        write_list(os.path.join(user_dir, name), words)
        print("%s: %d objects" % (name, len(words)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
