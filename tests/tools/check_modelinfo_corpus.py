#!/usr/bin/env python3
"""Runs modelinfo --json over every file of the model corpus and checks what
it reports against the tables of the corpus manifest (MANIFEST.md), which
were decoded by a program of their own.

Usage: check_modelinfo_corpus.py MODELINFO CORPUS_DIR
Exits 0 when every file agrees, 1 with a list of disagreements, and 77 (a
skipped test) when the corpus is missing, unless CI=true is set.
"""
import json
import os
import re
import subprocess
import sys


def tables(manifest):
    """Yields (section heading, list of row dicts) for every table."""
    section = ""
    header = None
    rows = []
    for line in manifest.splitlines() + [""]:
        if line.startswith("#"):
            section = line.lstrip("#").strip()
        if line.startswith("|"):
            cells = [c.strip() for c in line.strip().strip("|").split("|")]
            if header is None:
                header = cells
            elif not all(set(c) <= set("-: ") for c in cells):
                rows.append(dict(zip(header, cells)))
            continue
        if header is not None:
            yield section, rows
        header, rows = None, []


def main(modelinfo, corpus):
    manifest_path = os.path.join(corpus, "MANIFEST.md")
    if not os.path.exists(manifest_path):
        print("corpus not found: " + corpus)
        return 1 if os.environ.get("CI") == "true" else 77
    manifest = open(manifest_path, encoding="utf-8").read()

    files = sorted(os.path.join(d, f) for d, _, fs in os.walk(corpus) for f in fs
                   if os.path.dirname(os.path.join(d, f)) != corpus)
    run = subprocess.run([modelinfo, "--json"] + files, capture_output=True, text=True)
    reports = {os.path.relpath(r["file"], corpus): r for r in json.loads(run.stdout)}
    problems = []

    def expect(path, what, got, want):
        if got != want:
            problems.append("%s: %s is %r, the manifest says %r" % (path, what, got, want))

    def close(path, what, got, text):
        # The manifest prints six significant digits.
        want = [float(v) for v in text.strip("()").split(",")]
        if len(got) != len(want) or any(abs(a - b) > 1e-5 * max(1.0, abs(b)) for a, b in zip(got, want)):
            problems.append("%s: %s is %r, the manifest says %r" % (path, what, got, want))

    def report(path):
        r = reports.get(path)
        if r is None or "error" in r:
            problems.append("%s: no report (%s)" % (path, r and r["error"]))
            return None
        return r

    def walk(path, r, verdict):
        trailing = re.search(r"(\d+) trailing bytes", verdict)
        if "FAILS" in verdict or verdict.startswith("stops"):
            expect(path, "walk complete", r["walk"]["complete"], False)
        elif trailing:
            expect(path, "trailing bytes", r["walk"].get("trailingBytes"), int(trailing.group(1)))
        elif "ends exactly at EOF" in verdict:
            expect(path, "walk", (r["walk"]["complete"], r["walk"].get("trailingBytes")), (True, 0))

    checked = set()
    for section, rows in tables(manifest):
        for row in rows:
            path = row.get("path", "")
            if path not in reports:
                continue
            r = report(path)
            if r is None:
                continue
            checked.add(path)
            if section == "Files":
                expect(path, "size", r["size"], int(row["bytes"]))
                expect(path, "magic", r["magic"], row["magic"])
                expect(path, "version", r["header"]["version"], int(row["version"]))
            elif section.startswith("84-byte header models") and "origin @20" in row:
                for key, column in (("scale", "scale @8"), ("origin", "origin @20")):
                    close(path, key, r["header"][key], row[column])
            elif section.startswith("84-byte header models"):
                c, h = r["counts"], r["header"]
                for key, column in (("skins", "skins"), ("vertices", "verts"), ("triangles", "tris"),
                                    ("frames", "frames"), ("texCoords", "texcoords")):
                    expect(path, key, c[key], int(row[column]))
                expect(path, "skin size", "%dx%d" % (h["skinWidth"], h["skinHeight"]), row["skin w x h"])
                expect(path, "flags", h["flags"], int(row["flags@76"]))
                if row["first skin type"] != "-":
                    expect(path, "first skin type", r["skins"][0]["type"], int(row["first skin type"]))
                walk(path, r, row["body walk"].split(":", 1)[-1].strip()
                     if "observed layout" in row["body walk"] else row["body walk"].replace("strict: ", ""))
            elif section.startswith("IDP2"):
                c, h = r["counts"], r["header"]
                for key, column in (("skins", "skins"), ("vertices", "verts"), ("texCoords", "texcoords"),
                                    ("triangles", "tris"), ("frames", "frames")):
                    expect(path, key, c[key], int(row[column]))
                expect(path, "skin size", "%dx%d" % (h["skinWidth"], h["skinHeight"]), row["skin w x h"])
                expect(path, "frame size", h["frameSize"], int(row["framesize"]))
                expect(path, "GL commands", h["glCommands"], int(row["glcmds"]))
                expect(path, "offsets", "/".join(str(o) for o in h["offsets"]),
                       row["ofs skins/st/tris/frames/glcmds/end"])
            elif section.startswith("MDL7") and "bones" in row:
                h = r["header"]
                expect(path, "bones", h["bones"], int(row["bones"]))
                expect(path, "groups", h["groups"], int(row["groups"]))
                expect(path, "data size", h["dataSize"], int(row["data size"]))
                expect(path, "record sizes", ",".join(str(s) for s in h["recordSizes"]), row["record sizes"])
                if "ends exactly at EOF" in row["group chain"]:
                    walk(path, r, "ends exactly at EOF")
            elif section.startswith("MDL7") and "group" in row:
                g = r["groups"][int(row["group"])]
                for key, column in (("type", "type"), ("skins", "skins"), ("texCoords", "texcoords"),
                                    ("triangles", "tris"), ("vertices", "verts"), ("frames", "frames"),
                                    ("bytes", "group bytes")):
                    expect(path, "group %s %s" % (row["group"], key), g[key], int(row[column]))
            elif section.startswith("HMP"):
                c, h = r["counts"], r["header"]
                expect(path, "skins", c["skins"], int(row["int@48"]))
                expect(path, "vertices", c["vertices"], int(row["int@60"]))
                expect(path, "frames", c["frames"], int(row["int@68"]))
                for key, column in (("param1", "f@36"), ("param2", "f@40"), ("param0", "f@44")):
                    expect(path, key, h[key], float(row[column]))
                for key, column in (("scale", "scale @8"), ("offset", "offset @20")):
                    close(path, key, h[key], row[column])
                grid = row["grid (int@60 / f@44)"]
                expect(path, "grid", "%dx%d" % (c.get("columns", 0), c.get("rows", 0)), grid)
                walk(path, r, row["body walk (observed layout)"])

    for path in reports:
        if path not in checked and path != "decode_headers.py":
            problems.append("%s: not in the manifest's tables" % path)
    for problem in problems:
        print(problem)
    print("%d files checked, %d disagreements" % (len(checked), len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
