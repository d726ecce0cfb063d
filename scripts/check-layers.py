#!/usr/bin/env python3
"""Fails when a source file includes a header of a layer above its own.

The layers, lowest first: platform; the subsystems (core, storage, search, publishing, config);
host and ui; shell, app and the loadable module. A file may include headers of its own layer and of the layers below.
Usage: check-layers.py [SRC_DIR]   (default: the src folder beside this script's folder)
       check-layers.py --self-test
"""
import os
import re
import sys
import tempfile

LAYER = {
    "platform": 0,
    "core": 1, "storage": 1, "search": 1, "publishing": 1, "config": 1,
    "host": 2, "ui": 2,
    "shell": 3, "app": 3, "module": 3,
}
NAMES = ["platform", "subsystems", "host and ui", "shell and app"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([A-Za-z_]+)/[^"]*"')
SOURCE_ENDINGS = (".h", ".hpp", ".cpp", ".cc", ".c")


def violations(src_dir):
    found = []
    for folder, _, files in os.walk(src_dir):
        rel = os.path.relpath(folder, src_dir)
        top = rel.split(os.sep)[0]
        if top not in LAYER:
            continue
        own = LAYER[top]
        for name in sorted(files):
            if not name.endswith(SOURCE_ENDINGS):
                continue
            path = os.path.join(folder, name)
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m or m.group(1) not in LAYER:
                        continue
                    theirs = LAYER[m.group(1)]
                    if theirs > own:
                        found.append(
                            f"{os.path.relpath(path, src_dir)}:{number}: {NAMES[own]} code includes "
                            f"\"{m.group(1)}/...\" of the {NAMES[theirs]} layer above it")
    return found


def self_test():
    with tempfile.TemporaryDirectory() as root:
        def write(rel, text):
            os.makedirs(os.path.dirname(os.path.join(root, rel)), exist_ok=True)
            with open(os.path.join(root, rel), "w") as f:
                f.write(text)
        write("platform/dom/a.cpp", '#include "platform/com/x.h"\n#include "core/myDOM.h"\n')
        write("storage/b.cpp", '#include "core/myDOM.h"\n#include "search/x.h"\n')
        write("ui/c.cpp", '#include "storage/x.h"\n  #  include "shell/shell.h"\n')
        write("app/d.cpp", '#include "ui/BandForm.h"\n#include <vector>\n')
        got = violations(root)
        expected = [
            'platform/dom/a.cpp:2: platform code includes "core/..." of the subsystems layer above it',
            'ui/c.cpp:2: host and ui code includes "shell/..." of the shell and app layer above it',
        ]
        if sorted(got) != sorted(expected):
            print("self-test failed:\n  " + "\n  ".join(got))
            return 1
    print("self-test passed")
    return 0


def main(argv):
    if argv[1:] == ["--self-test"]:
        return self_test()
    src_dir = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
    found = violations(src_dir)
    for v in found:
        print(v)
    if found:
        print(f"{len(found)} include(s) against the direction of the layers")
        return 1
    print("every include points down the layers")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
