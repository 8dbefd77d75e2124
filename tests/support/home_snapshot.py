#!/usr/bin/python3
"""The suite's first and last tests: the user's home as the tests found it, and a failure
naming every entry the tests added, removed or rewrote there.

    home_snapshot.py before SNAPSHOT   records the home in SNAPSHOT
    home_snapshot.py after SNAPSHOT    compares the home with SNAPSHOT

Every test runs with a home of its own (tests/support/TestIsolation.cpp), so nothing here may
change. Where a test process can hide the real home behind a folder of its own (it may make a
mount namespace, and neither the sources nor the build lie in the home), each test checks
that itself, exactly, and this pair has nothing to do: a comparison of the whole home would
also see what other programs of the user write while the suite runs.

Elsewhere the names are looked at in the places a desktop program writes to: the home's own
entries, the configuration folder, the data and state folders under .local (the desktop's
registration of file types, icons and programs lies deep in there) and the cache folder.
Names only, not times, because the user's other programs rewrite their own files there all
the time; a test that registers this program or writes Qt's settings adds a name.
"""
import json
import os
import pwd
import subprocess
import sys

# (folder under the home, how deep to look)
AREAS = [("", 1), (".config", 3), (".local", 6), (".cache", 1)]
LIMIT = 50000  # entries: a home larger than this is looked at this far


def snapshot(home, skip):
    seen = {}

    def walk(path, rel, depth):
        if len(seen) >= LIMIT or depth == 0:
            return
        try:
            entries = sorted(os.scandir(path), key=lambda e: e.name)
        except OSError:
            return
        for e in entries:
            full = os.path.join(path, e.name)
            name = os.path.join(rel, e.name) if rel else e.name
            if full in skip:
                continue
            if e.is_dir(follow_symlinks=False):
                seen[name] = "folder"
                walk(full, name, depth - 1)
            else:
                seen[name] = "entry"

    for area, depth in AREAS:
        walk(os.path.join(home, area) if area else home, area, depth)
    return seen


def inside(path, folder):
    return path == folder or path.startswith(folder.rstrip(os.sep) + os.sep)


def tests_hide_the_home(home, trees):
    """The condition under which each test process hides the real home (TestIsolation.cpp)."""
    if home == "/" or any(inside(t, home) or inside(home, t) for t in trees):
        return False
    try:
        return subprocess.run(["unshare", "--mount", "true"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0
    except OSError:
        return False


def main():
    mode, file = sys.argv[1], sys.argv[2]
    home = os.path.realpath(os.environ.get("HOME") or pwd.getpwuid(os.getuid()).pw_dir)
    trees = [os.path.realpath(p) for p in sys.argv[3:]]
    if tests_hide_the_home(home, trees):
        print("each test hides %s behind a folder of its own and fails if it writes there" % home)
        return 0
    skip = set(trees) | {os.path.join(home, ".cache", "ccache")}
    now = snapshot(home, skip)
    if mode == "before":
        with open(file, "w") as f:
            json.dump({"home": home, "entries": now}, f)
        return 0
    try:
        with open(file) as f:
            before = json.load(f)
    except OSError:
        print("%s is missing: the first test (Suite.UserHomeSnapshot) did not run" % file)
        return 1
    if before["home"] != home:
        print("the home changed between the first and last tests: %s, %s" % (before["home"], home))
        return 1
    old = before["entries"]
    added = sorted(set(now) - set(old))
    removed = sorted(set(old) - set(now))
    changed = sorted(k for k in set(now) & set(old) if now[k] != old[k])  # a file became a folder
    if not (added or removed or changed):
        print("%s is as the tests found it (%d entries looked at)" % (home, len(now)))
        return 0
    print("The tests changed the user's home %s (a test that writes there must use its own folders):" % home)
    for what, names in (("added", added), ("removed", removed), ("changed", changed)):
        for n in names:
            print("  %s: %s" % (what, os.path.join(home, n)))
    return 1


if __name__ == "__main__":
    sys.exit(main())
