#!/usr/bin/python3
"""Runs the headless driver over a GeoPackage of hostile street names, as a
user would on a first run: the configuration window, Go with hostile texts and
a pick of every name. Checks the transcript against what the file holds, read
with SQLite alone (and written with OGR), not through QGIS.

Usage: hostile_driver.py DRIVER
Needs the GDAL Python bindings (python3-gdal).
"""

import json
import os
import sqlite3
import subprocess
import sys
import tempfile

from osgeo import ogr, osr

NAMES = [
    "Fisherman's Wharf", 'The "Strand"', "100% Road", "%", "Under_Score Lane", "_",
    "x' OR '1'='1", "'; DROP TABLE hostile_roads; --", "Tab\tStreet", "Carriage\rReturn Road",
    "Line\nFeed Lane", "Start\x01of Heading Way", "Delete\x7f Row", "Long " + "l" * 9995,
    "\U0001F6B2 Bike Path", "\U0001F468\u200D\U0001F469\u200D\U0001F467 Family Way",
    "  Padded Road  ", "Padded Road", " Padded Road", "ELM ROW", "Elm Row", "elm row",
    "Caf\u00e9 Street", "CAF\u00c9 STREET", "Cafe\u0301 Street", " ", "\t", "",
    "to be rewritten: bytes that are not UTF-8", "to be rewritten: a NUL inside",
    "to be rewritten: a blob", None, "Fisherman's Wharf",
]
REWRITES = {
    28: "CAST(X'4261642046FFFE20427974657321' AS TEXT)",  # "Bad F\xff\xfe Bytes!"
    29: "CAST(X'4E756C00496E73696465' AS TEXT)",          # "Nul\0Inside"
    30: "X'426C6F6220526F6164'",                          # the blob "Blob Road"
}
CONFIG = b'"hostile_roads"\r\n"name"\r\n'


def line_of_row(i):
    x, y = 500000 + i * 100, 6600000 - i * 50
    return [(x, y), (x + 30 + (i % 4) * 10, y + 20)]


def zoomed(vertices):
    xs, ys = [v[0] for v in vertices], [v[1] for v in vertices]
    cx, cy = (min(xs) + max(xs)) / 2, (min(ys) + max(ys)) / 2
    hw, hh = (max(xs) - min(xs)) / 2 * 1.2, (max(ys) - min(ys)) / 2 * 1.2
    return {"xmin": cx - hw, "ymin": cy - hh, "xmax": cx + hw, "ymax": cy + hh}


def write_gpkg(path):
    driver = ogr.GetDriverByName("GPKG")
    dataset = driver.CreateDataSource(path)
    srs = osr.SpatialReference()
    srs.ImportFromEPSG(25832)
    layer = dataset.CreateLayer("hostile_roads", srs, ogr.wkbLineString)
    layer.CreateField(ogr.FieldDefn("name", ogr.OFTString))
    for i, name in enumerate(NAMES):
        feature = ogr.Feature(layer.GetLayerDefn())
        if name is not None:
            feature.SetField("name", name)
        line = ogr.Geometry(ogr.wkbLineString)
        for x, y in line_of_row(i):
            line.AddPoint_2D(x, y)
        feature.SetGeometry(line)
        layer.CreateFeature(feature)
    for row, literal in REWRITES.items():
        dataset.ExecuteSQL("UPDATE hostile_roads SET name = %s WHERE fid = %d" % (literal, row + 1))
    dataset = None


def shown_names(path):
    """fid -> the text QGIS shows: the stored bytes up to a NUL (as OGR reads
    them), decoded as UTF-8 with U+FFFD for what is not."""
    connection = sqlite3.connect(path)
    connection.text_factory = bytes
    shown = {}
    for fid, value in connection.execute("SELECT fid, name FROM hostile_roads ORDER BY fid"):
        if value is None:
            continue
        raw = bytes(value).split(b"\0", 1)[0]
        shown[fid] = raw.decode("utf-8", "replace")
    connection.close()
    return shown


def main():
    driver = os.path.abspath(sys.argv[1])
    failures = []

    def check(condition, what):
        if not condition:
            failures.append(what)

    with tempfile.TemporaryDirectory() as folder:
        gpkg = os.path.join(folder, "hostile.gpkg")
        write_gpkg(gpkg)
        shown = shown_names(gpkg)
        check(shown[29 + 1] == "Nul", "the NUL row reads up to the NUL")
        check(shown[30 + 1] == "Blob Road", "the blob row reads as its bytes")
        check("\ufffd" in shown[28 + 1], "bytes that are not UTF-8 read as U+FFFD")
        expected = sorted({text for text in shown.values() if text != ""})
        first_fid = {}
        for fid in sorted(shown):
            first_fid.setdefault(shown[fid], fid)

        drive = os.path.join(folder, "drive")
        os.makedirs(os.path.join(drive, "Program Files"))
        prefixes = ["x'", "'", "%", "_", '"', "\t", "caf\u00e9", "\U0001F6B2", " ", "bad f\ufffd",
                    "nul", "zzz"]
        actions = ["click", "choose-layer", "hostile_roads", "choose-field", "name", "continue",
                   "state"]
        for prefix in prefixes:
            actions += ["type", prefix, "go"]
        for name in expected:
            actions += ["pick", name]
        actions += ["state"]
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=folder, HOME=folder)
        run = subprocess.run([driver, "--layer", gpkg + "|layername=hostile_roads",
                              "--drive", "C=" + drive] + actions,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env, timeout=300,
                             cwd=folder)
        config_file = os.path.join(drive, "Program Files", "CorvaleGIS", "CorvaleStreetSearch",
                                   "config")
        config = open(config_file, "rb").read() if os.path.exists(config_file) else None

    events = [json.loads(line) for line in run.stdout.decode("utf-8").splitlines()]
    check(run.returncode == 0, "exit status %d" % run.returncode)
    check(config == CONFIG, "configuration file %r" % (config,))

    # Split the transcript by action.
    steps, current = [], None
    for event in events:
        if event["event"] == "action":
            current = (event, [])
            steps.append(current)
        elif current is not None:
            current[1].append(event)

    messages = [e["text"] for _, evs in steps for e in evs if e["event"] == "message"]
    check(messages[0] == "Tool is not configured.\r\nConfiguration window will now load.",
          "first message %r" % messages[:1])
    states = [e for _, evs in steps for e in evs if e["event"] == "state"]
    check(len(states) == 2, "two states")
    for state in states:
        check(sorted(state.get("list", [])) == expected,
              "the list holds each shown name once: %d entries for %d"
              % (len(state.get("list", [])), len(expected)))
        check(len(state.get("list", [])) == len(set(state.get("list", []))), "no duplicates")
        check(state.get("configBytes", "").encode("utf-8") == CONFIG, "state's configuration")
    listed = states[0].get("list", []) if states else []

    for action, evs in steps:
        said = [e["text"] for e in evs if e["event"] == "message"]
        if action["action"] == "go":
            prefix = next(a for a, _ in reversed(steps[:steps.index((action, evs))])
                          if a["action"] == "type")["argument"]
            hits = [n for n in listed if len(n) >= len(prefix) and
                    n[:len(prefix)].upper() == prefix.upper()]
            check(said == ([] if hits else ["No matching feature found"]),
                  "go %r said %r" % (prefix, said))
            check(not any(e["event"] == "extent" for e in evs), "go %r zoomed" % prefix)
        if action["action"] == "pick":
            name = action.get("argument", "")
            extents = [e for e in evs if e["event"] == "extent"]
            check(said == [], "pick %r said %r" % (name, said))
            if name.strip(" ") == "":
                check(extents == [], "blank %r was looked up" % name)
                continue
            want = zoomed(line_of_row(first_fid[name] - 1))
            check(len(extents) == 1 and all(abs(extents[0][k] - want[k]) < 2e-3 for k in want),
                  "pick %r: extent %r, want %r" % (name[:40], extents, want))
        pointers = [e["pointer"] for e in evs if e["event"] == "pointer"]
        check(not pointers or pointers[-1] == "default", "%s left the hourglass" % action)

    picks = sum(1 for a, _ in steps if a["action"] == "pick")
    zooms = sum(1 for _, evs in steps for e in evs if e["event"] == "extent")
    print("%d names listed, %d picked, %d zoomed, %d searches" %
          (len(listed), picks, zooms, sum(1 for a, _ in steps if a["action"] == "go")))
    check(picks == len(expected), "every name picked")
    for failure in failures:
        print("FAILED: " + failure)
    if failures:
        sys.stderr.write(run.stderr.decode("utf-8", "replace")[-3000:])
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
