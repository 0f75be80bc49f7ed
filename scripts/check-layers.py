#!/usr/bin/env python3
"""Fails on an include that runs against the library's layers.

Each folder of filt/ says in its README.md, on a line `May include: a, b, c`, which
other folders of filt/ its files may include, and on a line `Public headers: x.h, y.h`
which public headers (filt/*.h) it implements; a folder's subfolders (engine/lanes/)
belong to it. A file may include a public header only where it may include the folder
that implements it (so a lower layer cannot call a higher one through its public
header either), and platform/ everywhere. Every public header has one folder. The
public headers include only each other and platform/; platform/ includes nothing of
filt/. Prints each include that breaks these rules and exits with status 1.

usage: check-layers.py [REPOSITORY]
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)


def readme_line(root, folder, key):
    readme = os.path.join(root, "filt", folder, "README.md")
    with open(readme, encoding="utf-8") as f:
        for line in f:
            if line.startswith(key):
                listed = line.split(":", 1)[1].strip()
                # "(nothing of filt/ but the public headers)" names no folder.
                return set() if listed.startswith("(") else {n.strip() for n in listed.split(",")}
    sys.exit(f"{readme}: no line '{key}'")


def sources(root, top):
    for base, _, files in os.walk(os.path.join(root, top)):
        for name in files:
            if name.endswith((".h", ".cpp")):
                yield os.path.join(base, name)


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    folders = sorted(d for d in os.listdir(os.path.join(root, "filt")) if os.path.isdir(os.path.join(root, "filt", d)))
    rules = {folder: readme_line(root, folder, "May include:") for folder in folders}
    owner = {}
    problems = []
    for folder in folders:
        for header in readme_line(root, folder, "Public headers:"):
            owner[header] = folder
    for name in sorted(os.listdir(os.path.join(root, "filt"))):
        if name.endswith(".h") and name not in owner:
            problems.append(f"filt/{name}: no folder names it on its line 'Public headers:'")
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
                if len(target) == 2:  # a public header: allowed where its folder is
                    home = owner.get(target[1])
                    if len(parts) == 2 or home is None or home == parts[1] or home in rules[parts[1]]:
                        continue
                    problems.append(f"{rel}: includes {included}, the header of filt/{home}/, but "
                                    f"filt/{parts[1]}/ may include only "
                                    f"{', '.join(sorted(rules[parts[1]])) or 'the public headers'}")
                    continue
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
