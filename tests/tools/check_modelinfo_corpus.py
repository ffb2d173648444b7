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
import struct
import subprocess
import sys


def frame_bounds(data):
    """Per frame entry (an IDPO frame group counts once), the min and max
    x, y, z of its positions, decoded here from the layouts the manifest
    describes: packed positions times the scale plus the origin (IDP2: each
    frame's own). None for a family this does not decode or a cut body."""
    def i32(o):
        return struct.unpack_from("<i", data, o)[0]

    def f32s(o):
        return struct.unpack_from("<3f", data, o)

    def bounds(points):
        if not points:
            return None
        return ([min(p[a] for p in points) for a in range(3)], [max(p[a] for p in points) for a in range(3)])

    def place(o, count, scale, origin, width=1, stride=4):
        unpack = "<3B" if width == 1 else "<3H"
        return [tuple(scale[a] * v[a] + origin[a] for a in range(3))
                for v in (struct.unpack_from(unpack, data, o + stride * k) for k in range(count))]

    magic = data[:4]
    if magic == b"IDP2":
        verts, frames, frame_size, ofs = i32(24), i32(40), i32(16), i32(56)
        out = []
        for f in range(frames):
            o = ofs + f * frame_size
            out.append(bounds(place(o + 40, verts, f32s(o), f32s(o + 12))))
        return out
    if magic not in (b"IDPO", b"MDL3", b"MDL5"):
        return None
    scale, origin = f32s(8), f32s(20)
    skins, width, height, verts, tris, frames = (i32(48 + 4 * k) for k in range(6))
    o = 84
    for _ in range(skins):
        o += 4 + width * height * (1 if magic == b"IDPO" else 2)
    texcoords = verts if magic == b"IDPO" else i32(72)
    o += texcoords * (12 if magic == b"IDPO" else 4) + tris * (16 if magic == b"IDPO" else 12)
    out = []
    for _ in range(frames):
        if magic == b"MDL5":
            out.append(bounds(place(o + 36, verts, scale, origin, 2, 8)))
            o += 36 + 8 * verts
        elif i32(o) == 0:
            out.append(bounds(place(o + 28, verts, scale, origin)))
            o += 28 + 4 * verts
        else:  # a frame group: count, box, intervals, then its frames
            count = i32(o + 4)
            o += 16 + 4 * count
            points = []
            for _ in range(count):
                points += place(o + 24, verts, scale, origin)
                o += 24 + 4 * verts
            out.append(bounds(points))
    return out if o <= len(data) else None


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


class Checker:
    """The reports of modelinfo, held against the manifest's rows and the
    files' own frame bounds; every disagreement goes to `problems`."""

    def __init__(self, reports, corpus):
        self.reports = reports
        self.corpus = corpus
        self.problems = []
        self.checked = set()

    def expect(self, path, what, got, want):
        if got != want:
            self.problems.append("%s: %s is %r, the manifest says %r" % (path, what, got, want))

    def close(self, path, what, got, text, source="the manifest says"):
        # The manifest prints six significant digits.
        want = [float(v) for v in text.strip("()").split(",")]
        if len(got) != len(want) or any(abs(a - b) > 1e-5 * max(1.0, abs(b)) for a, b in zip(got, want)):
            self.problems.append("%s: %s is %r, %s %r" % (path, what, got, source, want))

    def report(self, path):
        r = self.reports.get(path)
        if r is None or "error" in r:
            self.problems.append("%s: no report (%s)" % (path, r and r["error"]))
            return None
        return r

    def walk(self, path, r, verdict):
        trailing = re.search(r"(\d+) trailing bytes", verdict)
        # A strict walk that fails on frame groups still reaches the trailing
        # bytes when the groups are read.
        if trailing:
            self.expect(path, "trailing bytes", r["walk"].get("trailingBytes"), int(trailing.group(1)))
        elif "FAILS" in verdict or verdict.startswith("stops"):
            self.expect(path, "walk complete", r["walk"]["complete"], False)
        elif "ends exactly at EOF" in verdict:
            self.expect(path, "walk", (r["walk"]["complete"], r["walk"].get("trailingBytes")), (True, 0))

    def counts(self, path, c, row, columns):
        for key, column in columns:
            self.expect(path, key, c[key], int(row[column]))

    def files_row(self, path, r, row):
        self.expect(path, "size", r["size"], int(row["bytes"]))
        self.expect(path, "magic", r["magic"], row["magic"])
        self.expect(path, "version", r["header"]["version"], int(row["version"]))

    def legacy_origin_row(self, path, r, row):
        for key, column in (("scale", "scale @8"), ("origin", "origin @20")):
            self.close(path, key, r["header"][key], row[column])

    def legacy_row(self, path, r, row):
        c, h = r["counts"], r["header"]
        self.counts(path, c, row, (("skins", "skins"), ("vertices", "verts"), ("triangles", "tris"),
                                   ("frames", "frames"), ("texCoords", "texcoords")))
        self.expect(path, "skin size", "%dx%d" % (h["skinWidth"], h["skinHeight"]), row["skin w x h"])
        self.expect(path, "flags", h["flags"], int(row["flags@76"]))
        if row["first skin type"] != "-":
            self.expect(path, "first skin type", r["skins"][0]["type"], int(row["first skin type"]))
        self.walk(path, r, row["body walk"].split(":", 1)[-1].strip()
                  if "observed layout" in row["body walk"] else row["body walk"].replace("strict: ", ""))

    def idp2_row(self, path, r, row):
        c, h = r["counts"], r["header"]
        self.counts(path, c, row, (("skins", "skins"), ("vertices", "verts"), ("texCoords", "texcoords"),
                                   ("triangles", "tris"), ("frames", "frames")))
        self.expect(path, "skin size", "%dx%d" % (h["skinWidth"], h["skinHeight"]), row["skin w x h"])
        self.expect(path, "frame size", h["frameSize"], int(row["framesize"]))
        self.expect(path, "GL commands", h["glCommands"], int(row["glcmds"]))
        self.expect(path, "offsets", "/".join(str(o) for o in h["offsets"]),
                    row["ofs skins/st/tris/frames/glcmds/end"])

    def mdl7_header_row(self, path, r, row):
        h = r["header"]
        self.expect(path, "bones", h["bones"], int(row["bones"]))
        self.expect(path, "groups", h["groups"], int(row["groups"]))
        self.expect(path, "data size", h["dataSize"], int(row["data size"]))
        self.expect(path, "record sizes", ",".join(str(s) for s in h["recordSizes"]), row["record sizes"])
        if "ends exactly at EOF" in row["group chain"]:
            self.walk(path, r, "ends exactly at EOF")

    def mdl7_group_row(self, path, r, row):
        g = r["groups"][int(row["group"])]
        for key, column in (("type", "type"), ("skins", "skins"), ("texCoords", "texcoords"),
                            ("triangles", "tris"), ("vertices", "verts"), ("frames", "frames"),
                            ("bytes", "group bytes")):
            self.expect(path, "group %s %s" % (row["group"], key), g[key], int(row[column]))

    def hmp_row(self, path, r, row):
        c, h = r["counts"], r["header"]
        self.counts(path, c, row, (("skins", "int@48"), ("vertices", "int@60"), ("frames", "int@68")))
        for key, column in (("param1", "f@36"), ("param2", "f@40"), ("param0", "f@44")):
            self.expect(path, key, h[key], float(row[column]))
        for key, column in (("scale", "scale @8"), ("offset", "offset @20")):
            self.close(path, key, h[key], row[column])
        grid = row["grid (int@60 / f@44)"]
        self.expect(path, "grid", "%dx%d" % (c.get("columns", 0), c.get("rows", 0)), grid)
        self.walk(path, r, row["body walk (observed layout)"])

    def row_check(self, section, row):
        """The check for a row of the table under `section`, None for none."""
        legacy = section.startswith("84-byte header models")
        if section == "Files":
            return self.files_row
        if legacy and "origin @20" in row:
            return self.legacy_origin_row
        if legacy:
            return self.legacy_row
        if section.startswith("IDP2"):
            return self.idp2_row
        if section.startswith("MDL7") and "bones" in row:
            return self.mdl7_header_row
        if section.startswith("MDL7") and "group" in row:
            return self.mdl7_group_row
        if section.startswith("HMP"):
            return self.hmp_row
        return None

    def manifest(self, manifest):
        for section, rows in tables(manifest):
            for row in rows:
                path = row.get("path", "")
                if path not in self.reports:
                    continue
                r = self.report(path)
                if r is None:
                    continue
                self.checked.add(path)
                check = self.row_check(section, row)
                if check:
                    check(path, r, row)

    def frame_bounds(self):
        for path, r in self.reports.items():
            if "error" in r or not r.get("walk", {}).get("complete"):
                continue
            with open(os.path.join(self.corpus, path), "rb") as f:
                want = frame_bounds(f.read())
            if want is None:
                continue
            got = r["frames"]
            self.expect(path, "frames with bounds", len(got), len(want))
            for frame, box in zip(got, want):
                if box is None:
                    self.expect(path, "frame %d bounds" % frame["index"], "min" in frame or "max" in frame,
                                False)
                    continue
                low, high = box
                self.close(path, "frame %d min" % frame["index"], frame.get("min", []),
                           "(%r, %r, %r)" % tuple(low), "the file decoded here says")
                self.close(path, "frame %d max" % frame["index"], frame.get("max", []),
                           "(%r, %r, %r)" % tuple(high), "the file decoded here says")

    def unlisted(self):
        for path in self.reports:
            if path not in self.checked and path != "decode_headers.py":
                self.problems.append("%s: not in the manifest's tables" % path)


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
    checker = Checker(reports, corpus)
    checker.manifest(manifest)
    checker.frame_bounds()
    checker.unlisted()
    for problem in checker.problems:
        print(problem)
    print("%d files checked, %d disagreements" % (len(checker.checked), len(checker.problems)))
    return 1 if checker.problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
