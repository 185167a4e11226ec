"""Reads source paths on standard input and prints "key path" for each one clang-tidy must check:
those without a clean mark for their key in the cache folder. The key hashes the preprocessed
source (comments kept, for NOLINT; no line markers; the checkout's folder taken out), the
compile flags, .clang-tidy and the clang-tidy version. A source the compile commands do not
know is always checked."""
import hashlib
import json
import os
import shlex
import subprocess
import sys

commands_file, cache = sys.argv[1], sys.argv[2]
root = os.getcwd()
commands = {entry["file"]: entry for entry in json.load(open(commands_file))}
common = hashlib.sha256()
common.update(open(".clang-tidy", "rb").read())
common.update(subprocess.run(["clang-tidy-14", "--version"], capture_output=True).stdout)

for line in sys.stdin:
    source = line.strip()
    entry = commands.get(os.path.join(root, source))
    if entry is None:
        print("unknown", source)
        continue
    args = shlex.split(entry["command"])
    if "-o" in args:
        at = args.index("-o")
        del args[at:at + 2]
    args = [a for a in args if a != "-c"] + ["-E", "-P", "-C", "-o", "-"]
    result = subprocess.run(args, cwd=entry["directory"], capture_output=True)
    if result.returncode != 0:
        print("unknown", source)
        continue
    key = common.copy()
    key.update(" ".join(args).replace(root, "").encode())
    key.update(result.stdout.replace(root.encode(), b""))
    digest = key.hexdigest()
    if not os.path.exists(os.path.join(cache, digest)):
        print(digest, source)
