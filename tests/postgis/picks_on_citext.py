#!/usr/bin/env python3
"""Picks on a PostGIS name column of type citext, which compares without case,
through the headless driver.

Usage: picks_on_citext.py DRIVER

"MAIN STREET", "main street" and "Main Street" are three names of the list;
picking each must zoom to the first feature (by key) that bears exactly that
name, not to the first that citext finds equal. Each street is a straight
east-west segment of a length of its own in EPSG:3857, the project's system,
so the zoom's extent is the segment enlarged by 1.2 about its centre, computed
here in the same double arithmetic and compared exactly.
"""

import json
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pgserver import PgServer  # noqa: E402

# key, name, x of the west end, length, y: the first rows bear other cases of the names.
STREETS = [
    (1, "MAIN STREET", 1191000.0, 310.5, 8375000.0),
    (2, "main street", 1192000.0, 220.25, 8376000.0),
    (3, "Main Street", 1193000.0, 130.125, 8377000.0),
    (4, "Main Street", 1194000.0, 440.0, 8378000.0),
    (5, "main street", 1195000.0, 550.0, 8379000.0),
    (6, "Elm Street", 1196000.0, 660.0, 8380000.0),
]


def expected_extent(name):
    """The zoom of a pick: the first street of that exact name, enlarged by 1.2."""
    _, _, x, length, y = next(s for s in STREETS if s[1] == name)
    xmin, xmax = x, x + length
    cx = (xmin + xmax) / 2
    half = (xmax - xmin) / 2 * 1.2
    return {"xmin": cx - half, "xmax": cx + half, "ymin": y, "ymax": y}


def main():
    driver = sys.argv[1]
    failures = []
    with PgServer() as server:
        server.psql("CREATE EXTENSION citext")
        server.psql("CREATE TABLE streets (fid integer PRIMARY KEY, name citext,"
                    " geom geometry(LineString, 3857))")
        for key, name, x, length, y in STREETS:
            server.psql("INSERT INTO streets VALUES (%d, '%s', ST_SetSRID(ST_MakeLine("
                        "ST_MakePoint(%r, %r), ST_MakePoint(%r, %r)), 3857))"
                        % (key, name, x, y, x + length, y))
        equal = server.psql("SELECT count(*) FROM streets WHERE name = 'main street'").strip()
        if equal != "5":
            failures.append("citext does not compare without case here (%s rows)" % equal)
        actions = ["click", "choose-layer", "streets", "choose-field", "name", "continue",
                   "state"]
        picks = ["MAIN STREET", "main street", "Main Street", "Elm Street"]
        for name in picks:
            actions += ["pick", name]
        with tempfile.TemporaryDirectory() as drive:
            os.makedirs(os.path.join(drive, "Program Files"))
            env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=drive,
                       HOME=drive)
            run = subprocess.run([driver, "--drive", "C=" + drive, "--layer",
                                  "postgres:" + server.qgis_source("streets")] + actions,
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env,
                                 timeout=300, cwd=drive)
    if run.returncode != 0:
        sys.stderr.write(run.stdout.decode()[-3000:] + run.stderr.decode("replace")[-3000:])
        print("the driver exited with %d" % run.returncode)
        return 1
    events = [json.loads(line) for line in run.stdout.decode().splitlines() if line.strip()]
    states = [e for e in events if e.get("event") == "state"]
    if not states or sorted(states[0].get("list", [])) != sorted(set(s[1] for s in STREETS)):
        failures.append("the list holds the four names apart: %r"
                        % (states[0].get("list") if states else None))
    extents = [e for e in events if e.get("event") == "extent"]
    if len(extents) != len(picks):
        failures.append("one zoom per pick: %d for %d" % (len(extents), len(picks)))
    for name, extent in zip(picks, extents):
        got = {key: extent.get(key) for key in ("xmin", "xmax", "ymin", "ymax")}
        if got != expected_extent(name):
            failures.append("pick %r zoomed to %r, not %r" % (name, got, expected_extent(name)))
    messages = [e.get("text") for e in events if e.get("event") == "message"
                and not e.get("text", "").startswith("Tool is not configured.")]
    if messages:
        failures.append("messages: %r" % messages)
    for failure in failures:
        print("FAILED: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
