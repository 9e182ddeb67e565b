#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (corpus/<target>/) from the project's own
test files: the INI case files as they are, and the string literals of the test programs,
grouped by the format they exercise. Run it again after adding test cases; the corpora it
writes are kept in the repository."""

import hashlib
import pathlib
import re

ROOT = pathlib.Path(__file__).resolve().parent.parent
TESTS = ROOT / "tests"
CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"

LITERAL = re.compile(r'"((?:[^"\\\n]|\\.)*)"')
ESCAPES = {"n": b"\n", "r": b"\r", "t": b"\t", "0": b"\0", "\\": b"\\", '"': b'"', "'": b"'"}


def decode(body):
    out = bytearray()
    i = 0
    while i < len(body):
        c = body[i]
        if c != "\\":
            out += c.encode("utf-8")
            i += 1
            continue
        nxt = body[i + 1]
        if nxt == "x":
            j = i + 2
            while j < len(body) and body[j] in "0123456789abcdefABCDEF":
                j += 1
            out.append(int(body[i + 2 : j], 16) & 0xFF)
            i = j
        else:
            out += ESCAPES.get(nxt, nxt.encode())
            i += 2
    return bytes(out)


def literals(path):
    """String literals of a C++ file; adjacent literals are joined as the compiler joins them."""
    text = path.read_text(encoding="utf-8", errors="replace")
    found, last_end, current = [], None, None
    for match in LITERAL.finditer(text):
        between = text[last_end : match.start()] if last_end is not None else None
        if current is not None and between is not None and between.strip() == "":
            current += decode(match.group(1))
        else:
            if current is not None:
                found.append(current)
            current = decode(match.group(1))
        last_end = match.end()
    if current is not None:
        found.append(current)
    return [item for item in found if item]


ANY_LITERAL = re.compile(r'R"\((.*?)\)"|"((?:[^"\\\n]|\\.)*)"', re.S)


def all_literals(path):
    """Plain and raw string literals of a C++ file, adjacent ones joined."""
    text = path.read_text(encoding="utf-8", errors="replace")
    found, last_end, current = [], None, None
    for match in ANY_LITERAL.finditer(text):
        value = match.group(1).encode("utf-8") if match.group(1) is not None else decode(match.group(2))
        between = text[last_end : match.start()] if last_end is not None else None
        if current is not None and between is not None and between.strip() == "":
            current += value
        else:
            if current is not None:
                found.append(current)
            current = value
        last_end = match.end()
    if current is not None:
        found.append(current)
    return [item for item in found if item]


def write(target, seeds):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.iterdir():
        old.unlink()
    for seed in dict.fromkeys(seeds):
        name = hashlib.sha1(seed).hexdigest()[:16]
        (folder / name).write_bytes(seed)


def from_files(*names):
    out = []
    for name in names:
        out += literals(TESTS / name)
    return out


def trie_ops(keys):
    """Operations in the hash trie target's format: mode byte, then op, key length, key."""
    seeds = []
    for mode in (0, 1, 2, 5, 6):
        ops = bytearray([mode])
        for index, key in enumerate(keys):
            key = key[:11]
            ops += bytes([index % 4, len(key)]) + key
        for key in keys[::3]:
            key = key[:11]
            ops += bytes([2, len(key)]) + key
        seeds.append(bytes(ops))
    return seeds


ini_cases = sorted((TESTS / "settings" / "cases").glob("*.ini"))
ini_literals = [s for s in from_files("settings/big_ini_file_test.cpp", "settings/ini_text_test.cpp",
                                      "settings/wreg_ini_store_test.cpp") if b"[" in s or b"=" in s]
write("ini_fuzz", [p.read_bytes() for p in ini_cases] + ini_literals)

write("escaping_fuzz", from_files("settings/escaping_test.cpp", "settings/property_io_test.cpp"))

lng = [s for s in from_files("translation/language_file_test.cpp",
                             "translation/language_output_test.cpp") if b":>" in s or b"=" in s]
write("language_file_fuzz", lng)

map_lines = from_files("settings/map_lines_test.cpp", "settings/wreg_fixtures.cpp",
                       "settings/wreg_location_test.cpp")
write("map_line_fuzz", map_lines + [b"\r\n".join(map_lines)])

trie_keys = from_files("translation/hash_trie_test.cpp")
write("hash_trie_fuzz", trie_ops(trie_keys) + trie_ops(trie_keys[::-1]))

texts = from_files("component/text_platform_test.cpp", "translation/language_file_test.cpp")
write("text_conversion_fuzz", texts + [bytes(range(256))])

# kvrhost's readers: a first byte chooses how the stream is cut (see packet_fuzz.cpp).
packet_texts = [s for name in ("tools/packet_test.cpp", "tools/line_reader_test.cpp",
                               "tools/parser_items_test.cpp", "tools/run_command_test.cpp")
                for s in all_literals(TESTS / name) if b"{" in s or b"\n" in s]
example = (ROOT / "examples" / "weather-station" / "packets.jsonl").read_bytes()
example_lines = example.splitlines(keepends=True)
write("packet_fuzz", [bytes([0xF0 | (i % 16)]) + text for i, text in enumerate(packet_texts)]
      + [bytes([cut]) + b"".join(example_lines[:20]) for cut in (0x00, 0x13, 0x3F, 0xF5)])

item_texts = all_literals(TESTS / "tools" / "parser_items_test.cpp")
write("items_file_fuzz", item_texts + [b"Temp:float\r\nHum\nTime : DateTime\n"])
