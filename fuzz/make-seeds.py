#!/usr/bin/env python3
"""Writes the fuzzers' seed corpora: the bundled sample templates (examples/workspace/Device, among
them the Sensor-1 template) and a hand-made one, each paired with packets in hex and base64. Run
it again when the samples change; the files it writes are checked in, beside the inputs the
fuzzers once failed on."""
import base64
import json
import pathlib

ROOT = pathlib.Path(__file__).resolve().parent
EXAMPLES = ROOT.parent / "examples" / "workspace" / "Device"

# Widths and odd shapes: 3, 6, 8 and 16 byte fields, a bitmap on a wide field, bits reaching
# outside the byte, a field beyond the packet, and fractional or string numbers.
ODD = {"packet_data": [
    {"packet_type": 26, "name": "Wide", "total_size": 40, "min_size": 3,
     "data": [{"num_byte": 1, "size": 3, "name": "U24"},
              {"num_byte": 4, "size": 6, "name": "MAC"},
              {"num_byte": 10, "size": 8, "name": "U64", "bitmap": [
                  {"num_bit": -1, "size": 2, "name": "Low"},
                  {"num_bit": 6, "size": 5, "name": "High"}]},
              {"num_byte": 18, "size": 16, "name": "U128"},
              {"num_byte": 38, "size": 4, "name": "Beyond"},
              {"num_byte": 0, "size": -1, "name": "Tail"}]},
    {"packet_type": "1", "name": "Str", "total_size": 2.0,
     "data": [{"num_byte": 1, "size": 2.5, "name": "UTC"}]}]}

PACKETS = {
    "sensor": ["0100F15365FBFF05", "01AABB", "7F0102",
               "0200112233445016778899AABBCCDDEEFF12348000",
               "03AABBCCDDEEF04B18FC3C00010203040506070809", "02 01\t06\n1A", "AQID", "0x0102"],
    "odd": ["1A" + "FF" * 39, "1a0102", "00ff", "ZZ", "1", "+", "=="],
}


def packets_with_base64(packets):
    out = list(packets)
    for packet in packets:
        try:
            out.append(base64.b64encode(bytes.fromhex(packet)).decode())
        except ValueError:
            pass
    return out


def write(directory, name, data):
    directory.mkdir(parents=True, exist_ok=True)
    (directory / name).write_bytes(data)


def main():
    conversion = ROOT / "corpus" / "conversion"
    checks = ROOT / "corpus" / "template_check"
    templates = {"sensor": (EXAMPLES / "sensor1.json").read_bytes(),
                 "odd": json.dumps(ODD, ensure_ascii=False).encode()}
    for path in sorted(EXAMPLES.glob("*.json")):
        if path.name != "sensor1.json":
            templates["example-" + path.stem] = path.read_bytes()
    sample_packets = PACKETS["sensor"] + PACKETS["odd"]
    for name, document in templates.items():
        write(checks, name + ".json", document)
        packets = packets_with_base64(PACKETS.get(name, sample_packets))
        for i, packet in enumerate(packets):
            write(conversion, "%s-%02d" % (name, i), document + b"\0" + packet.encode())
        # All of them after one another, through one conversion.
        write(conversion, "%s-all" % name, document + b"".join(b"\0" + p.encode() for p in packets))
    write(checks, "invalid.json", b'{"packet_data": [')
    write(checks, "array-root.json", b"[]")
    write(checks, "empty-element.json", b'{"packet_data": [{}, 7]}')


if __name__ == "__main__":
    main()
