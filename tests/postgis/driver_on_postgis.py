#!/usr/bin/env python3
"""The street search end to end on a PostGIS layer, through the headless driver.

Usage: driver_on_postgis.py DRIVER CITY_GPKG

Starts a PostgreSQL server of its own (pgserver.py), copies the sample city's
street layer into it, and runs the same session twice: once on the
GeoPackage layer, once on the PostGIS table. Each run configures the tool
(click, choose-layer, choose-field, continue), lists the names, searches
("Go") and picks a name that several features bear. The PostGIS run must
show the same list, select the same entry and zoom to the same extent as the
GeoPackage run, and its configuration file must name the PostGIS layer.
"""

import json
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pgserver import PgServer  # noqa: E402

# Several features are named Kirkegata: the zoom must go to the first.
ACTIONS = ["click", "choose-layer", "streets", "choose-field", "name", "continue", "state",
           "type", "kIR", "go", "state", "pick", "Kirkegata", "type", "o'b", "go", "state",
           "pick", "O'Brien Road"]


def run_driver(driver, layer):
    with tempfile.TemporaryDirectory() as drive:
        os.makedirs(os.path.join(drive, "Program Files"))
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", QT_FONT_DPI="96",
                   XDG_RUNTIME_DIR=drive, HOME=drive)
        run = subprocess.run([driver, "--drive", "C=" + drive, "--layer", layer] + ACTIONS,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env, timeout=300,
                             cwd=drive)
        events = [json.loads(line) for line in run.stdout.decode().splitlines() if line.strip()]
        for event in events:
            if "configFile" in event:
                event["configFile"] = event["configFile"].replace(drive, "<drive>")
    if run.returncode != 0:
        sys.stderr.write(run.stdout.decode()[-3000:] + run.stderr.decode("replace")[-3000:])
        raise SystemExit("the driver on %s exited with %d" % (layer, run.returncode))
    return events


def of_kind(events, kind):
    return [event for event in events if event.get("event") == kind]


def main():
    driver, city = sys.argv[1:3]
    failures = []

    def check(condition, text):
        if not condition:
            failures.append(text)

    reference = run_driver(driver, city + "|layername=streets")
    with PgServer() as server:
        server.load(city, "streets")
        rows = int(server.psql("SELECT count(*) FROM streets").strip())
        # The server lists the distinct names itself: one step per text it sends.
        texts = int(server.psql("SELECT count(DISTINCT convert_to(name, 'UTF8')) "
                                "FROM streets").strip())
        postgis = run_driver(driver, "postgres:" + server.qgis_source("streets"))

    states, expected_states = of_kind(postgis, "state"), of_kind(reference, "state")
    check(len(states) == 3 and len(expected_states) == 3, "three state events in each run")
    first = states[0] if states else {}
    check(first.get("configBytes") == '"streets"\r\n"name"\r\n',
          "the configuration names the layer and field: %r" % first.get("configBytes"))
    check(len(first.get("list", [])) > 50, "the PostGIS list is filled")
    for got, expected in zip(states, expected_states):
        for key in ("list", "selected", "selectedText", "text", "configBytes"):
            check(got.get(key) == expected.get(key),
                  "state %s: PostGIS %r, GeoPackage %r" % (key, got.get(key), expected.get(key)))
    check(len(states) > 1 and states[1].get("selectedText") == "Kirkegata",
          "Go with kIR selects Kirkegata")
    check(len(states) > 2 and states[2].get("selectedText") == "O'Brien Road",
          "Go with o'b selects O'Brien Road")

    extents, expected_extents = of_kind(postgis, "extent"), of_kind(reference, "extent")
    check(len(extents) == 2, "two picks, two zooms on PostGIS: %d" % len(extents))
    check(extents == expected_extents,
          "the zooms: PostGIS %r, GeoPackage %r" % (extents, expected_extents))

    shown = [e for e in of_kind(postgis, "progress") if e.get("state") == "shown"]
    hidden = [e for e in of_kind(postgis, "progress") if e.get("state") == "hidden"]
    # The maximum is the feature count, which the listing query counted.
    check(shown and shown[0].get("maximum") == rows,
          "the progress maximum counts the table's %d rows: %r" % (rows, shown))
    check(hidden and hidden[0].get("position") == texts + 1 and texts < rows,
          "the progress advanced once before the texts and once per distinct text the server "
          "sent (%d of %d rows): %r" % (texts, rows, hidden))
    messages = [e.get("text") for e in of_kind(postgis, "message")]
    check(messages == [e.get("text") for e in of_kind(reference, "message")] and len(messages) == 1,
          "only the first run's message, as on the GeoPackage: %r" % messages)

    for failure in failures:
        print("FAILED: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
