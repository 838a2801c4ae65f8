#!/usr/bin/env python3
"""Checks docs/template.schema.json: it accepts every sample template and every complete template
shown in docs/template-format.md, and it rejects the mistakes it is there to catch.

Usage: check_template_schema.py SCHEMA FORMAT_PAGE DEVICE_DIR
"""
import copy
import glob
import json
import os
import re
import sys

try:
    from jsonschema import Draft202012Validator
except ImportError:
    sys.exit("python3-jsonschema is missing (scripts/install-deps.sh installs it)")

# One template with one byte field holding a bit field: each mistake below is made in a copy.
BASE = {
    "packet_data": [{
        "name": "Measurement", "packet_type": 33, "total_size": 4,
        "data": [{
            "name": "Status", "num_byte": 1, "size": 1,
            "bitmap": [{"name": "Mode", "num_bit": 1, "size": 2}],
        }],
    }]
}
TEMPLATE = ("packet_data", 0)
FIELD = TEMPLATE + ("data", 0)
BIT = FIELD + ("bitmap", 0)

# (what is wrong, where, key, value); a value of None removes the key.
REJECTED = [
    ("unknown format (texts are case-sensitive)", FIELD, "format", "Dec"),
    ("unknown order (texts are case-sensitive)", FIELD, "order", "LE"),
    ("decimals above 17", FIELD, "decimals", 18),
    ("decimals not whole", FIELD, "decimals", 2.5),
    ("decimals below 0", FIELD, "decimals", -1),
    ("enum key not a number", FIELD, "enum", {"x": "label"}),
    ("enum key with a leading zero", FIELD, "enum", {"01": "label"}),
    ("enum key with a plus sign", FIELD, "enum", {"+1": "label"}),
    ("enum label not a string", FIELD, "enum", {"1": 1}),
    ("empty unit", FIELD, "unit", ""),
    ("signed as text", FIELD, "signed", "true"),
    ("scale as text", FIELD, "scale", "0.01"),
    ("misspelt key", FIELD, "fromat", "dec"),
    ("byte-field format on a bit field", BIT, "format", "hex"),
    ("bit-field enum key not a number", BIT, "enum", {"x": "label"}),
    ("unit on a bit field", BIT, "unit", "mV"),
    ("packet_type as text", TEMPLATE, "packet_type", "1"),
    ("total_size beyond 32 bits", TEMPLATE, "total_size", 2**31),
    ("num_byte not whole", FIELD, "num_byte", 2.5),
    ("no num_byte on a fixed field", FIELD, "num_byte", None),
    ("no total_size", TEMPLATE, "total_size", None),
]

# Every meaning key at once, and the readings of whole numbers and of a tail without num_byte.
ACCEPTED = [
    ("every byte-field key", FIELD, None, {
        "name": "Reading", "num_byte": 1, "size": 2, "format": "hex", "order": "be",
        "signed": True, "scale": -0.5, "offset": 273.15, "decimals": 17, "unit": "K",
        "enum": {"-1": "нет данных", "0": "ноль", "65535": "max"}}),
    ("every bit-field key", BIT, None, {
        "name": "Mode", "num_bit": 1, "size": 2, "format": "dec", "enum": {"2": "норма"}}),
    ("whole numbers written with a point", FIELD, "num_byte", 1.0),
    ("a tail without num_byte", FIELD, None, {"name": "Payload", "size": -1}),
    ("an array packet_type", TEMPLATE, "packet_type", [{"T": 2, "name": "A"}, {"T": 3, "name": "B"}]),
    ("a $schema key at the root", (), "$schema", "template.schema.json"),
]


def changed(path, key, value):
    document = copy.deepcopy(BASE)
    target = document
    for step in path[:-1] if key is None else path:
        target = target[step]
    if key is None:
        target[path[-1]] = value
    elif value is None:
        del target[key]
    else:
        target[key] = value
    return document


def documents_in(page_path):
    """Every complete template (a JSON block with packet_data) the format page shows."""
    with open(page_path, encoding="utf-8") as page:
        blocks = re.findall(r"^```json\n(.*?)^```", page.read(), re.M | re.S)
    return [json.loads(block) for block in blocks if '"packet_data"' in block]


def main():
    schema_path, page_path, device_dir = sys.argv[1:4]
    with open(schema_path, encoding="utf-8") as file:
        schema = json.load(file)
    Draft202012Validator.check_schema(schema)
    validator = Draft202012Validator(schema)
    failures = []

    samples = sorted(glob.glob(os.path.join(device_dir, "*.json")))
    shown = documents_in(page_path)
    if not samples or not shown:
        sys.exit(f"nothing to check: {len(samples)} sample templates, {len(shown)} shown ones")
    valid = [(path, json.load(open(path, encoding="utf-8"))) for path in samples]
    valid += [(f"{page_path}, template {i + 1}", doc) for i, doc in enumerate(shown)]
    valid += [(what, changed(*where)) for what, *where in ACCEPTED]
    for what, document in valid:
        for error in validator.iter_errors(document):
            failures.append(f"rejected {what}: {error.json_path}: {error.message}")

    for what, path, key, value in REJECTED:
        if validator.is_valid(changed(path, key, value)):
            failures.append(f"accepted {what}: {key} = {value!r}")

    print(f"{len(valid)} templates accepted, {len(REJECTED)} mistakes checked")
    for failure in failures:
        print("FAIL:", failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
