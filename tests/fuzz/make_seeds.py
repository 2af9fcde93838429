#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into corpus/: frames and
answers as the tests and the simulator know them, and link scenarios in the
layout link_scenario.h describes. Run again after changing that layout."""
import pathlib

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"
FRAME = b"ST,GS,+  1.234kg\r\n"  # the simulator's default frame
FRAME22 = b"ST,GS,+    001.234kg\r\n"

FRAMES = {
    "default": FRAME, "wide": FRAME22, "unstable-grams": b"US,GS,   12.50 g",
    "negative": b"ST,GS,-  1.234kg", "milligrams": b"S 1.234Mg", "lower-case": b"us  7 t",
    "decimal-comma": b"ST,GS,+  1,234kg", "beyond-int32": b"S -3000000000 kg",
    "fifteen-digits": b"S -1 23456789012345 k", "many-decimals": b"S -1 2345678.123456 k",
    "nul-inside": b"S 5\0kg\r\n", "next-frame": b"S 1.5 kg\r\n -2 t",
    "id-after-unit": b"ST,GS,+  1.234kg ID 7", "tare-after-unit": b"ST,GS,+  1.234kg T  0.500kg",
    "minus-in-a-field": b"ST,G-,+  1.234kg",
}
ANSWERS = {
    "one": b"1", "com1": b"com1", "upper": b"COM3", "com256": b"com256", "com257": b"com257",
    "spaced": b" com 12", "negative": b" -12", "int32-high": b"+2147483648",
    "int32-low": b"-2147483649", "long-digits": b"9" * 300, "text": b"\tport",
}


def scenario(fields=None, stream=b"", enq=b"", dc1=b"", combined=b""):
    """The 21 field bytes (index: value), then the four texts, each ended."""
    header = bytearray(21)
    for index, value in (fields or {}).items():
        header[index] = value
    texts = b"".join(t.replace(b"\\", b"\\\\") + b"\\;" for t in (stream, enq, dc1, combined))
    return bytes(header) + texts


SERIAL_ANSWER = {18: 10, 19: 1}  # 20 ms after the request, a byte a millisecond
TCP = {0: 1, 18: 75, 19: 1}  # 150 ms
LINKS = {
    "serial-stream": scenario({17: 1, 20: 1}, stream=FRAME * 4),
    "serial-stream-wide": scenario({16: 5, 17: 1}, stream=FRAME22 * 3),
    # One frame a poll, falling quiet: before the quiet check ends, and after.
    "serial-slow-stream": scenario({16: 5, 17: 1, 20: 3}, stream=FRAME),
    "serial-stream-after-enq": scenario({16: 60, 17: 1, 20: 3}, stream=FRAME),
    "serial-two-step": scenario({**SERIAL_ANSWER, 20: 1}, enq=b"\x06", dc1=FRAME),
    "serial-combined": scenario(SERIAL_ANSWER, combined=b"US,GS,-  12.50 g\r\n"),
    "serial-replugged": scenario({**SERIAL_ANSWER, 10: 2, 11: 1, 20: 2}, enq=b"\x06", dc1=FRAME),
    "serial-failing-status": scenario({**SERIAL_ANSWER, 4: 10, 6: 30, 20: 1}, enq=b"\x06",
                                      dc1=FRAME),
    "serial-never-empty": scenario({**SERIAL_ANSWER, 2: 9}, combined=FRAME),
    "tcp-stream": scenario({0: 1, 16: 50, 17: 1, 20: 1}, stream=FRAME * 4),
    "tcp-two-step": scenario(TCP, enq=b"\x06", dc1=FRAME),
    "tcp-combined": scenario(TCP, combined=FRAME),
    "tcp-peer-closes": scenario({**TCP, 15: 40, 20: 3}, enq=b"\x06", dc1=FRAME),
    "tcp-refused-later": scenario({**TCP, 12: 20, 13: 0x30, 15: 20, 20: 3}, combined=FRAME),
}

for folder, seeds in (("frame_parser", FRAMES), ("answer_parsing", ANSWERS), ("link", LINKS)):
    (CORPUS / folder).mkdir(parents=True, exist_ok=True)
    for name, data in seeds.items():
        (CORPUS / folder / name).write_bytes(data)
