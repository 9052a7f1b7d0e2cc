#!/usr/bin/env python3
"""The clang-tidy result cache of scripts/lint.sh.

A source whose last clang-tidy run was clean is checked again only when
something that run depended on changed: its compile command, its text or that
of any header it includes (as ninja recorded them at the last build), the
checks in .clang-tidy or the clang-tidy version. Paths inside the tree are
hashed relative to it, so any clone shares the cache.

  tidy-cache.py select ROOT BUILD DB_IN DB_OUT KEYS   entries still to check
  tidy-cache.py store KEYS                           record them as clean
"""
import hashlib
import json
import os
import subprocess
import sys

CACHE = os.path.join(os.environ.get("XDG_CACHE_HOME", os.path.expanduser("~/.cache")),
                     "pictavo-lint", "clang-tidy")


def ninja_deps(build):
    """Object file -> the files its last compile read."""
    out = subprocess.run(["ninja", "-C", build, "-t", "deps"], capture_output=True, text=True,
                         check=False).stdout
    deps, current = {}, None
    for line in out.splitlines():
        if not line.strip():
            current = None
        elif not line.startswith(" "):
            target, _, state = line.partition(":")
            current = [] if "VALID" in state and "STALE" not in state else None
            if current is not None:
                deps[os.path.normpath(os.path.join(build, target))] = current
        elif current is not None:
            current.append(line.strip())
    return deps


def object_of(command):
    words = command.split()
    return words[words.index("-o") + 1] if "-o" in words[:-1] else None


class Hasher:
    def __init__(self, root, build):
        self.root, self.build, self.known = root, build, {}

    def relative(self, path):
        return path.replace(self.root, "<root>")

    def file(self, path):
        path = os.path.normpath(path if os.path.isabs(path) else os.path.join(self.build, path))
        if path not in self.known:
            try:
                with open(path, "rb") as f:
                    self.known[path] = hashlib.sha256(f.read()).hexdigest()
            except OSError:
                self.known[path] = "missing"
        return self.relative(path) + " " + self.known[path]


def select(root, build, db_in, db_out, keys_out):
    tidy = subprocess.run(["clang-tidy-14", "--version"], capture_output=True, text=True,
                          check=False).stdout
    hasher = Hasher(root, build)
    base = tidy + hasher.file(os.path.join(root, ".clang-tidy"))
    deps = ninja_deps(build)
    todo, keys = [], {}
    for entry in json.load(open(db_in)):
        command = entry.get("command") or " ".join(entry.get("arguments", []))
        obj = entry.get("output") or object_of(command)
        read = deps.get(os.path.normpath(os.path.join(entry["directory"], obj))) if obj else None
        if read is None:  # never built: nothing to compare with
            todo.append(entry)
            continue
        parts = [base, hasher.relative(command), hasher.file(entry["file"])]
        parts += sorted(hasher.file(p) for p in read)
        key = hashlib.sha256("\n".join(parts).encode()).hexdigest()
        if os.path.exists(os.path.join(CACHE, key)):
            continue
        todo.append(entry)
        keys[entry["file"]] = key
    json.dump(todo, open(db_out, "w"), indent=1)
    with open(keys_out, "w") as f:
        f.write("\n".join(keys.values()) + ("\n" if keys else ""))
    print(len(todo))


def store(keys_file):
    os.makedirs(CACHE, exist_ok=True)
    for key in open(keys_file).read().split():
        open(os.path.join(CACHE, key), "w").close()


if __name__ == "__main__":
    if sys.argv[1] == "select":
        select(*sys.argv[2:7])
    elif sys.argv[1] == "store":
        store(sys.argv[2])
