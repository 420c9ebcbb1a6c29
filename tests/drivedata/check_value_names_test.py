#!/usr/bin/env python3
"""check_data.py (through check_value_names.py) finds the faults of names of codes and bits. Usage: check_value_names_test.py
DRIVEDATA_FOLDER"""
import sys

sys.path.insert(0, sys.argv[1])
import check_value_names  # noqa: E402


def entry(names=None, bits=None, help_en="0: open loop; 1: closed loop", help_zh="0：开环；1：闭环",
          data_type="UNSIGNED8", low=0, high=2):
    e = {"index": "2001", "subIndex": "01", "nameZh": "x", "nameEn": "x", "dataType": data_type,
         "attribute": "WS", "helpZh": help_zh, "helpEn": help_en, "unitSpec": "",
         "modbus": "0000", "default": 0, "min": low, "max": high}
    if names is not None:
        e["values"] = names
    if bits is not None:
        e["bits"] = bits
    return e


MODES = [[1, "位置", "Position"]]
ERRORS = [{0: ("内部错误", "Internal Error"), 16: ("编码器错误", "Encoder Error")}]
CASES = [
    # (entry, the problem expected, or None)
    (entry([[0, "开环", "Open loop"], [1, "闭环", "Closed loop"]]), None),
    (entry([[1, "闭环", "Closed loop"], [0, "开环", "Open loop"]]), "ascending order"),
    (entry([[0, "开环", "Open loop"], [0, "闭环", "Closed loop"]]), "0 is named twice"),
    (entry([[0, "", "Open loop"]]), "is not [number, Chinese, English]"),
    (entry([]), "non-empty list"),
    (entry([[0, "开环", "Offen geschlossen ö"]]), "must be ASCII"),
    (entry([[3, "三", "Three"]], help_en="3: three", help_zh="3：三"), "outside 0..2"),
    (entry([[2, "二", "Two"]]), "not listed in both help texts"),
    (entry(MODES, help_en="values as in 6060h", help_zh="取值同6060h", low=-7, high=10), None),
    (entry([[0, "开环", "Open loop"]], data_type="VISIBLE STRING"), "only number entries"),
    (entry(bits=[[0, "使能", "Enable"]], help_en="Bit 0 enable", help_zh="位0：使能"), None),
    (entry(bits=[[8, "高", "High"]], help_en="Bit 8 high", help_zh="位8：高"), "not one of 0 to 7"),
    (entry(bits=[[1, "使能", "Enable"]], help_en="Bit 0 enable", help_zh="位0：使能"),
     "neither in both help texts"),
    (entry(bits=[[3, "DIN4", "DIN4"]], help_en="Bit n-1 belongs to DINn", help_zh="位n-1对应DINn"),
     None),
    (entry(bits=[[2, "DIN4", "DIN4"]], help_en="Bit n-1 belongs to DINn", help_zh="位n-1对应DINn"),
     "neither in both help texts"),
    (entry(bits=[[0, "编码器错误", "Encoder Error"]], help_en="error bits 16-31",
           help_zh="错误状态位16-31", data_type="UNSIGNED16"), None),
    (entry(bits=[[0, "内部错误", "Encoder Error"]], help_en="error bits 16-31",
           help_zh="错误状态位16-31", data_type="UNSIGNED16"), "neither in both help texts"),
]

failed = 0
for number, (e, expected) in enumerate(CASES):
    problems = []
    keys = {"606000": {"values": MODES}}
    check_value_names.check_value_names("case %d" % number, e, keys, ERRORS,
                                        lambda where, text: problems.append(text))
    found = "\n".join(problems)
    if (expected is None and found) or (expected is not None and expected not in found):
        print("case %d: expected %r, found %r" % (number, expected, found))
        failed += 1
print("%d of %d cases failed" % (failed, len(CASES)))
sys.exit(1 if failed else 0)
