#!/usr/bin/env python3
"""Fails when two folders of src/ include each other, directly or through others.

A folder depends on another when one of its files includes a header of the
other ("render/Colour.h", or a bare name found only there through the include
path). Every arrow must point one way, so each folder builds on those below it.
"""
import os
import re
import sys

SRC = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "src")
INCLUDE = re.compile(r'\s*#\s*include\s*"([^"]+)"')

folders = sorted(d for d in os.listdir(SRC) if os.path.isdir(os.path.join(SRC, d)))
uses = {d: set() for d in folders}
for folder in folders:
    for root, _, files in os.walk(os.path.join(SRC, folder)):
        for name in files:
            with open(os.path.join(root, name), encoding="utf-8", errors="replace") as f:
                for line in f:
                    m = INCLUDE.match(line)
                    if not m or os.path.exists(os.path.join(root, m.group(1))):
                        continue
                    head = m.group(1).split("/")[0]
                    owners = [head] if head in uses else [d for d in folders if os.path.exists(os.path.join(SRC, d, m.group(1)))]
                    uses[folder].update(o for o in owners if o != folder)


def below(folder):
    seen, todo = set(), [folder]
    while todo:
        for other in uses[todo.pop()] - seen:
            seen.add(other)
            todo.append(other)
    return seen


cycles = [f for f in folders if f in below(f)]
for folder in cycles:
    back = sorted(o for o in uses[folder] if folder in below(o) or o == folder)
    print(f"error: src/{folder}/ includes {', '.join('src/' + o + '/' for o in back)}, which include it back", file=sys.stderr)
sys.exit(1 if cycles else 0)
