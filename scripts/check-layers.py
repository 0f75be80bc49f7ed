#!/usr/bin/env python3
"""Fails on an include that runs against the library's layers.

Each folder of filt/ says in its README.md, on a line `May include: a, b, c`, which
other folders of filt/ its files may include; a folder's subfolders (engine/lanes/)
belong to it. Every file may include the public headers (filt/*.h) and platform/.
The public headers include only each other and platform/; platform/ includes nothing
of filt/. Prints each include that breaks these rules and exits with status 1.

usage: check-layers.py [REPOSITORY]
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)


def allowed_folders(root, folder):
    readme = os.path.join(root, "filt", folder, "README.md")
    with open(readme, encoding="utf-8") as f:
        for line in f:
            if line.startswith("May include:"):
                listed = line.split(":", 1)[1].strip()
                # "(nothing of filt/ but the public headers)" names no folder.
                return set() if listed.startswith("(") else {n.strip() for n in listed.split(",")}
    sys.exit(f"{readme}: no line 'May include:'")


def sources(root, top):
    for base, _, files in os.walk(os.path.join(root, top)):
        for name in files:
            if name.endswith((".h", ".cpp")):
                yield os.path.join(base, name)


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    folders = sorted(d for d in os.listdir(os.path.join(root, "filt")) if os.path.isdir(os.path.join(root, "filt", d)))
    rules = {folder: allowed_folders(root, folder) for folder in folders}
    problems = []
    for top in ("filt", "platform"):
        for path in sources(root, top):
            rel = os.path.relpath(path, root)
            parts = rel.split(os.sep)
            with open(path, encoding="utf-8") as f:
                text = f.read()
            for included in INCLUDE.findall(text):
                target = included.split("/")
                if target[0] != "filt":
                    continue
                if parts[0] == "platform":
                    problems.append(f"{rel}: includes {included}, but platform/ knows nothing of filt/")
                    continue
                if len(target) == 2:
                    continue  # a public header
                if len(parts) == 2:
                    problems.append(f"{rel}: a public header includes the internal {included}")
                    continue
                source, wanted = parts[1], target[1]
                if wanted == source or wanted in rules[source]:
                    continue
                problems.append(f"{rel}: includes {included}, but filt/{source}/ may include only "
                                f"{', '.join(sorted(rules[source])) or 'the public headers'}")
    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} include(s) against the layers (see docs/layout.md)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
