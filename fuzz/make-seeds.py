#!/usr/bin/env python3
"""Writes the fuzzers' seed corpora: the bundled sample templates (examples/workspace/Device) and
a few hand-made templates, each paired with packets in hex and base64. Run it again when the
samples change; the files it writes are checked in."""
import base64
import json
import pathlib

ROOT = pathlib.Path(__file__).resolve().parent
EXAMPLES = ROOT.parent / "examples" / "workspace" / "Device"

# The sensor template: catch-all with a variable tail, a typed template with a time, a signed
# number and a bitmap, and the array form of packet_type with a beacon field.
SENSOR = {"packet_data": [
    {"packet_type": -1, "name": "Other", "total_size": 30, "min_size": 2,
     "data": [{"num_byte": 1, "size": -1, "name": "Payload"}]},
    {"packet_type": 1, "name": "Telemetry", "total_size": 8,
     "data": [{"num_byte": 1, "size": 4, "name": "Time"},
              {"num_byte": 5, "size": 2, "name": "Temperature"},
              {"num_byte": 7, "size": 1, "name": "Status", "bitmap": [
                  {"num_bit": 0, "size": 1, "name": "Alarm"},
                  {"num_bit": 1, "size": 2, "name": "Mode"}]}]},
    {"packet_type": [{"T": 2, "name": "BeaconA"}, {"T": 3, "name": "BeaconB"}],
     "total_size": 21, "data": [{"num_byte": 1, "size": 20, "name": "Beacon"}]}]}

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
    templates = {"sensor": json.dumps(SENSOR, ensure_ascii=False).encode(),
                 "odd": json.dumps(ODD, ensure_ascii=False).encode()}
    sample_packets = PACKETS["sensor"] + PACKETS["odd"]
    if EXAMPLES.is_dir():
        for path in sorted(EXAMPLES.glob("*.json")):
            templates["example-" + path.stem] = path.read_bytes()
    for name, document in templates.items():
        write(checks, name + ".json", document)
        for i, packet in enumerate(packets_with_base64(PACKETS.get(name, sample_packets))):
            write(conversion, "%s-%02d" % (name, i), document + b"\0" + packet.encode())
    write(checks, "invalid.json", b'{"packet_data": [')
    write(checks, "array-root.json", b"[]")
    # Output buffer: two bytes of capacity, then UTF-16 text as the decoder prints it.
    texts = [(64, "Тип пакета: --- Telemetry\n"),
             (65535, "\t\t\tSensor-1\nTime: --- 14.11.2023 - 22:13:20(UTC+0)\n"),
             (100, "ascii only text that is longer than eight characters"),
             (64, "\U0001F600 emoji \ud800")]
    for i, (capacity, text) in enumerate(texts):
        write(ROOT / "corpus" / "utf8_output", "seed-%d" % i,
              capacity.to_bytes(2, "little") + text.encode("utf-16-le", "surrogatepass"))


if __name__ == "__main__":
    main()
