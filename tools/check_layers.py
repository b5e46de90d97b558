#!/usr/bin/env python3
"""Fails when a file of src/ includes a header of a layer above its own.

The layers, lowest first: text; platform; interp; console, tts, net and commands side by side;
app on top. The sources of the directory program (src/sources) stand beside the interpreter on
text and platform, and only app includes them. Tests, fuzz targets, benchmarks and tools stand
where the host stands (they build whole programs and hand them fakes), so they are not checked.
The Brisa voice's synthesizer (src/mbrola), a library of its own, stands on text and platform.
Usage: check_layers.py [ROOT]; prints each upward include as FILE:LINE: and exits 1 when any.
"""
import pathlib
import re
import sys

SUBSYSTEMS = {"console", "tts", "net", "commands"}
# The folders a file of each folder may include from.
ALLOWED = {
    "text": {"text"},
    "platform": {"text", "platform"},
    "interp": {"text", "platform", "interp"},
    "sources": {"text", "platform", "sources"},
    # The Brisa voice's synthesizer, a library of its own loaded at run time.
    "mbrola": {"text", "platform", "mbrola"},
    "app": {"text", "platform", "interp", "sources", "app"} | SUBSYSTEMS,
}
for name in SUBSYSTEMS:
    ALLOWED[name] = {"text", "platform", "interp"} | SUBSYSTEMS

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".") / "src"
    faults = []
    for path in sorted(root.rglob("*")):
        if path.suffix not in {".h", ".cpp"}:
            continue
        layer = path.relative_to(root).parts[0]
        if layer not in ALLOWED:
            faults.append(f"{path}: folder {layer} has no place among the layers")
            continue
        for number, line in enumerate(path.read_text(encoding="latin-1").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            target = match.group(1).split("/")[0] if "/" in match.group(1) else layer
            if target not in ALLOWED[layer]:
                faults.append(f"{path}:{number}: {layer} includes {match.group(1)} of {target}")
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) run upward", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
