#!/usr/bin/env python3
"""Independent check of the sample trace: reads both forms of the raw hook records and the
executable's symbols (through binutils' nm) and verifies that

- the binary form is whole 16-byte little-endian records with Reserved 0;
- the text form is one short header line, then three "0x%x" lines (lower-case hex) per record;
- both forms hold the same records, all valid (Address not all ones, TSC top 4 bits clear);
- every function record's address is a function symbol and every task record's handle is 0 or
  a data object, so the two kind bits never overlap an address bit;
- replayed from the earliest TSC and wrapping around the end, the time stamps never go back;
- per task, calls nest properly: apart from exits whose enters the ring overwrote, every exit
  matches the innermost open call, every task exit belongs to the running task, and no call is
  left open at the end.

Exit status 0 when everything holds, 1 otherwise."""

import argparse
import os
import re
import struct
import subprocess
import sys
from collections import Counter, defaultdict

RECORD = struct.Struct("<IIII")  # Address, Reserved, TSC low, TSC high
TEXT_LINE = re.compile(r"0x([0-9a-f]{1,8})\n\Z")
KIND_NAMES = ("function enter", "function exit", "task enter", "task exit")


class Failures:
    def __init__(self):
        self.messages = []

    def add(self, message):
        self.messages.append(message)


def read_binary(path, failures):
    data = open(path, "rb").read()
    if len(data) % RECORD.size:
        failures.add(f"{path}: {len(data)} bytes is not a whole number of 16-byte records")
    records = []
    for offset in range(0, len(data) - len(data) % RECORD.size, RECORD.size):
        address, reserved, low, high = RECORD.unpack_from(data, offset)
        if reserved != 0:
            failures.add(f"{path}: record at offset {offset} has Reserved 0x{reserved:x}")
        records.append((address, (high << 32) | low))
    return records


def read_text(path, failures):
    with open(path, "r", newline="") as file:
        lines = file.readlines()
    if not lines:
        failures.add(f"{path}: empty, no header line")
        return []
    # A reader takes lines in pieces of at most 63 characters: the header must fit in one.
    if len(lines[0]) > 63 or not lines[0].endswith("\n"):
        failures.add(f"{path}: header line is not one short line: {lines[0]!r}")
    body = lines[1:]
    if len(body) % 3:
        failures.add(f"{path}: {len(body)} lines after the header, not three per record")
    values = []
    for number, line in enumerate(body, start=2):
        match = TEXT_LINE.match(line)
        if not match:
            failures.add(f"{path}: line {number} is not a lower-case 0x%x number: {line!r}")
            values.append(None)
        else:
            values.append(int(match.group(1), 16))
    records = []
    for i in range(0, len(values) - len(values) % 3, 3):
        address, low, high = values[i : i + 3]
        if None not in (address, low, high):
            records.append((address, (high << 32) | low))
    return records


def read_symbols(nm, exe):
    """Returns {address: [(type, name)]} for every defined symbol nm lists."""
    output = subprocess.run([nm, exe], check=True, capture_output=True, text=True).stdout
    symbols = defaultdict(list)
    for line in output.splitlines():
        parts = line.split()
        if len(parts) == 3:
            symbols[int(parts[0], 16)].append((parts[1], parts[2]))
    return symbols


def symbol_of(symbols, address, types):
    return [(kind, name) for kind, name in symbols.get(address, []) if kind in types]


def check_records(records, symbols, failures):
    functions, tasks = Counter(), Counter()
    unknown = set()
    for index, (address, tsc) in enumerate(records):
        if address == 0xFFFFFFFF:
            failures.add(f"record {index}: Address 0xffffffff marks an invalid record")
        if tsc >> 60:
            failures.add(f"record {index}: TSC 0x{tsc:x} has one of its top 4 bits set")
        key, kind = address & ~3, address & 3
        if kind <= 1:
            if not symbol_of(symbols, key, "Tt"):
                failures.add(f"record {index}: {KIND_NAMES[kind]} 0x{key:08x} is no function")
                unknown.add(key)
            functions[key] += 1
        else:
            if key != 0 and not symbol_of(symbols, key, "DdBb"):
                failures.add(f"record {index}: {KIND_NAMES[kind]} 0x{key:08x} is no data object")
            tasks[key] += 1
    return functions, tasks, unknown


def replay(records, failures):
    """Replays the records from the earliest TSC on, one call stack per task."""
    start = min(range(len(records)), key=lambda i: records[i][1])
    earliest = records[start][1]
    if sum(1 for _, tsc in records if tsc == earliest) > 1:
        failures.add(f"the earliest TSC 0x{earliest:x} occurs more than once: no clear start")
    ordered = records[start:] + records[:start]
    for i in range(1, len(ordered)):
        if ordered[i][1] < ordered[i - 1][1]:
            failures.add(f"TSC goes back at replay position {i}")
    first_task = next((a & ~3 for a, _ in ordered if a & 3 >= 2), 0)
    current = first_task
    stacks, max_depth = defaultdict(list), defaultdict(int)
    completed = exits_without_enter = 0
    for position, (address, _) in enumerate(ordered):
        key, kind = address & ~3, address & 3
        stack = stacks[current]
        if kind == 0:
            stack.append(key)
            max_depth[current] = max(max_depth[current], len(stack))
        elif kind == 1:
            if not stack:
                exits_without_enter += 1  # its enter was overwritten in the ring
            elif stack[-1] != key:
                failures.add(f"replay position {position}: exit of 0x{key:08x} does not match "
                             f"open call 0x{stack[-1]:08x}")
                stack.clear()
            else:
                stack.pop()
                completed += 1
        elif kind == 2:
            current = key
        elif key != current:
            failures.add(f"replay position {position}: task exit 0x{key:08x} while task "
                         f"0x{current:08x} runs")
    open_calls = sum(len(stack) for stack in stacks.values())
    if open_calls:
        failures.add(f"{open_calls} calls still open at the end of the trace")
    return start, first_task, completed, exits_without_enter, max_depth


def name(symbols, address, types):
    found = symbol_of(symbols, address, types)
    return " - ".join(f"{n} ({t})" for t, n in found) if found else "(no symbol)"


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exe", default=os.path.join(here, "sample.out"))
    parser.add_argument("--binary", default=os.path.join(here, "sample_trace.bin"))
    parser.add_argument("--text", default=os.path.join(here, "sample_trace.txt"))
    parser.add_argument("--nm", default="nm")
    args = parser.parse_args()

    failures = Failures()
    binary = read_binary(args.binary, failures)
    text = read_text(args.text, failures)
    print(f"binary form: {os.path.getsize(args.binary)} bytes, {len(binary)} records")
    print(f"text form:   {os.path.getsize(args.text)} bytes, {len(text)} records")
    if binary != text:
        differing = next((i for i, (a, b) in enumerate(zip(binary, text)) if a != b), None)
        failures.add(f"the two forms differ (counts {len(binary)} and {len(text)}, "
                     f"first differing record {differing})")

    symbols = read_symbols(args.nm, args.exe)
    functions, tasks, unknown = check_records(binary, symbols, failures)
    local = [key for key in functions if key not in unknown and not symbol_of(symbols, key, "T")]
    print(f"functions:   {len(functions)} addresses, {len(functions) - len(unknown)} of them "
          f"function symbols of {args.exe}")
    print(f"             {len(local)} of them file-local (no global symbol): "
          + ", ".join(name(symbols, key, "t") for key in sorted(local)))
    for key in sorted(tasks):
        label = "scheduler context" if key == 0 else name(symbols, key, "DdBb")
        print(f"task 0x{key:08x}: {tasks[key]} records, {label}")

    if binary:
        start, first_task, completed, orphans, max_depth = replay(binary, failures)
        print(f"earliest record at slot {start} of {len(binary)}"
              + (" (the ring wrapped)" if start else " (not rotated)"))
        print(f"replay: starts in task 0x{first_task:08x}, {completed} completed calls, "
              f"{orphans} exits whose enter was overwritten")
        for key in sorted(max_depth):
            print(f"        task 0x{key:08x} maximum call depth {max_depth[key]}")

    for message in failures.messages[:50]:
        print("FAIL:", message)
    if len(failures.messages) > 50:
        print(f"FAIL: ... and {len(failures.messages) - 50} more")
    print("OK" if not failures.messages else f"{len(failures.messages)} problems")
    return 0 if not failures.messages else 1


if __name__ == "__main__":
    sys.exit(main())
