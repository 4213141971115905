#!/usr/bin/env python3
"""Lists the file-local functions that one unity batch defines in more than
one of its files.

Two file-local functions of one name and one signature fail to compile in a
batch, but two of one name and different signatures compile as an overload
set, and a call in one file may then reach the other file's function. Such a
file belongs in ORV_UNITY_ALONE (cmake/orvunity.cmake).

    scripts/unity-clashes.py <one-by-one build> <unity build>

The one-by-one build is configured with -DORV_UNITY=OFF and built at -O0 -g,
so that every file-local function a file calls is in its object, with the
line it was defined on; the unity build need only be configured. Prints one
line per clash and exits 1 when there is any.
"""
import collections
import glob
import os
import re
import subprocess
import sys


def file_local_functions(obj, source):
    """Names of the local functions defined in the source file ending with
    source (not in a header it includes), without their parameter lists."""
    out = subprocess.run(["nm", "-C", "-l", "--defined-only", obj],
                         capture_output=True, text=True, check=True).stdout
    names = set()
    for line in out.splitlines():
        parts = line.split(" ", 2)
        if len(parts) < 3 or parts[1] != "t":
            continue
        name, _, where = parts[2].rpartition("\t")
        if not where.split(":")[0].endswith(source):
            continue
        cut = len(name)
        for i, ch in enumerate(name):
            if ch == "(" and not name.startswith("(anonymous", i):
                cut = i
                break
        name = name[:cut]
        # Compiler-made functions: static initialisers, lambdas, the bodies
        # of test macros (whose names are unique per program).
        if name.startswith(("_GLOBAL__", "_sub_", "__")) or "lambda" in name or "." in name:
            continue
        if name.endswith("_Test") or "_Test::" in name:
            continue
        names.add(name)
    return names


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    plain_build, unity_build = sys.argv[1:3]
    objects = collections.defaultdict(list)
    for obj in glob.glob(os.path.join(plain_build, "**", "*.cpp.o"), recursive=True):
        objects[os.path.basename(obj)[:-2]].append(obj)
    ninja = open(os.path.join(unity_build, "build.ninja")).read()
    batches = sorted(set(re.findall(r"^build (\S*/Unity/unity_\d+_cxx\.cxx)\.o", ninja, re.M)))
    clashes = 0
    for batch in batches:
        sources = re.findall(r'#include "([^"]+)"', open(os.path.join(unity_build, batch)).read())
        defined_in = collections.defaultdict(list)
        for source in sources:
            # The two builds may be of two copies of the tree: the source's
            # folder and name find its object and its definitions.
            tail = "/".join(source.split("/")[-2:])
            found = [o for o in objects[os.path.basename(source)] if o.endswith(tail + ".o")]
            if not found:
                sys.exit(f"no object for {source} in {plain_build}")
            for name in file_local_functions(found[0], tail):
                defined_in[name].append(source)
        for name, sources_of in sorted(defined_in.items()):
            if len(sources_of) > 1:
                clashes += 1
                print(f"{batch}: {name} in {' and '.join(sources_of)}")
    sys.exit(1 if clashes else 0)


if __name__ == "__main__":
    main()
