#!/usr/bin/env python3
"""Times the street search on large street layers beside what SQLite and
PostgreSQL alone take for the same answer, and writes the table.

Usage: run_bench.py --build DIR --data DIR [--runs N] [--runs-5m N]
                    [--smoke | --million | --postgis]
                    [--output FILE]

Run through scripts/bench, which installs and builds first. For each data set
(GeoPackage street layers made by corvale_citygen, cached in --data) and each
run, in turn:
  1. the headless driver, configured for the layer: click (until the list is
     filled and sorted), Go with a one-letter and a ten-letter prefix, pick of
     the name whose only feature is the last row, render;
  2. ogrinfo's SELECT DISTINCT ... ORDER BY on the same file (the anchor of click);
  3. ogrinfo's SELECT fid ... WHERE name = ... LIMIT 1 (the anchor of pick).
Then the 1M table is copied into a PostgreSQL server of the bench's own
(tests/postgis/pgserver.py), reached directly and through a link that delays
every chunk 10 ms each way (bench/netdelay.py); on each road the driver's
click and pick alternate with psql's SELECT DISTINCT ... ORDER BY and
SELECT ... WHERE name = ... LIMIT 1 through the same road. Medians and ratios are printed and written
as a Markdown table. Peak memory is the driver's (getrusage) in each run; a
5M-row set with the 100k names of the 1M set shows what rows alone cost.

Before timing, one driver run per data set checks that the list holds exactly
the distinct non-empty names SQLite finds, and learns the prefixes for Go (the
beginning of the list's last entry, so that Go scans nearly the whole list).
--smoke runs the smallest data set once, PostgreSQL included, and checks
everything but the times. --million runs the 1M / 100k set alone, GeoPackage
and PostgreSQL, and prints its table without writing RESULTS.md; --postgis the
PostgreSQL figures alone, the same way.
"""

import argparse
import datetime
import json
import os
import platform
import shutil
import sqlite3
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "postgis"))
from pgserver import PgServer  # noqa: E402
sys.path.insert(0, os.path.join(ROOT, "bench"))
from netdelay import DelayLink  # noqa: E402

# (features, distinct names): the figures' data sets, smallest first.
SIZES = [(10000, 1000), (100000, 10000), (1000000, 100000), (5000000, 500000)]
# The memory comparison: as many names as the 1M set, five times the rows.
MEMORY_SIZE = (5000000, 100000)
POSTGIS_SIZE = (1000000, 100000)
SEED = 1
NULL_SHARE = 0.01

CLICK_SQL = "SELECT DISTINCT name FROM streets ORDER BY name"
# The link of the PostGIS figures: every chunk held back this long each way.
LINK_DELAY_MS = 10
SCAN_SQL = "SELECT sum(length(name)) FROM streets"


def label(size):
    def short(n):
        return "%dM" % (n // 1000000) if n >= 1000000 else "%dk" % (n // 1000)
    return "%s / %s" % (short(size[0]), short(size[1]))


def sql_text(text):
    return "'" + text.replace("'", "''") + "'"


class Bench:
    def __init__(self, args):
        self.build = os.path.abspath(args.build)
        self.data = os.path.abspath(args.data)
        self.driver = os.path.join(self.build, "bin", "corvale-streetsearch")
        self.citygen = os.path.join(self.build, "tools", "corvale_citygen")
        self.smoke = args.smoke
        self.runs = 1 if args.smoke else args.runs
        self.runs_5m = args.runs_5m
        self.work = tempfile.mkdtemp(prefix="corvale-bench-")
        self.drive = os.path.join(self.work, "drive")
        config = os.path.join(self.drive, "Program Files", "CorvaleGIS", "CorvaleStreetSearch")
        os.makedirs(config)
        with open(os.path.join(config, "config"), "wb") as out:
            out.write(b'"streets"\r\n"name"\r\n')
        self.env = dict(os.environ, QT_QPA_PLATFORM="offscreen", QT_FONT_DPI="96",
                        XDG_RUNTIME_DIR=self.work, HOME=self.work)
        self.results = {}

    # -- data -----------------------------------------------------------------

    def dataset(self, size):
        """The GeoPackage of that size, generated once and kept in the cache folder."""
        os.makedirs(self.data, exist_ok=True)
        features, names = size
        path = os.path.join(self.data, "streets_%d_%d_s%d.gpkg" % (features, names, SEED))
        if not os.path.exists(path):
            log("generating %s" % path)
            partial = path[:-len(".gpkg")] + ".partial.gpkg"
            if os.path.exists(partial):
                os.remove(partial)
            subprocess.run([self.citygen, "streets", partial, "--features", str(features),
                            "--names", str(names), "--seed", str(SEED), "--nulls",
                            str(NULL_SHARE), "--last-alone", "1"], check=True, env=self.env)
            os.rename(partial, path)
        return path

    def facts(self, gpkg, size):
        """What the data set must give, from SQLite alone: the distinct non-empty
        names, and the name of the last row, which no other row bears."""
        cache = gpkg + ".facts.json"
        if os.path.exists(cache):
            with open(cache) as f:
                return json.load(f)
        with sqlite3.connect("file:%s?mode=ro" % gpkg, uri=True) as db:
            names = [row[0] for row in db.execute(
                "SELECT DISTINCT name FROM streets WHERE name IS NOT NULL AND name <> ''")]
            last = db.execute("SELECT name FROM streets ORDER BY fid DESC LIMIT 1").fetchone()[0]
            bearers = db.execute("SELECT count(*) FROM streets WHERE name = ?", (last,)).fetchone()[0]
            rows = db.execute("SELECT count(*) FROM streets").fetchone()[0]
        if rows != size[0] or len(names) != size[1] or bearers != 1:
            raise SystemExit("%s: %d rows, %d names, last name borne by %d rows: not the data set "
                             "asked for" % (gpkg, rows, len(names), bearers))
        facts = {"names": sorted(names), "last": last}
        with open(cache, "w") as f:
            json.dump(facts, f)
        return facts

    # -- runs -----------------------------------------------------------------

    def run_driver(self, layer, actions):
        command = [self.driver, "--timing", "--drive", "C=" + self.drive, "--layer", layer] + actions
        run = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             env=self.env, cwd=self.work)
        events = [json.loads(line) for line in run.stdout.decode().splitlines() if line.strip()]
        if run.returncode != 0:
            sys.stderr.write(run.stdout.decode()[-2000:] + run.stderr.decode("replace")[-2000:])
            raise SystemExit("the driver failed on %s (exit %d)" % (layer, run.returncode))
        timings = {}
        for event in events:
            if event.get("event") == "timing":
                timings.setdefault(event["action"], []).append(event["us"])
        done = [e for e in events if e.get("event") == "done"][0]
        return events, timings, done.get("peakKiB")

    def check_list(self, layer, facts, what):
        """One driver run that lists the names: they must be SQLite's, each once."""
        events, _, _ = self.run_driver(layer, ["click", "state"])
        listed = [e for e in events if e.get("event") == "state"][0]["list"]
        if len(listed) != len(set(listed)) or sorted(listed) != facts["names"]:
            raise SystemExit("%s: the list does not hold exactly the distinct names (%d listed, "
                             "%d expected)" % (what, len(listed), len(facts["names"])))
        return listed

    def timed(self, command, env=None):
        start = time.perf_counter()
        subprocess.run(command, stdout=subprocess.DEVNULL, check=True, env=env or self.env,
                       cwd=self.work)
        return (time.perf_counter() - start) * 1e6

    def geopackage(self, size, runs):
        gpkg = self.dataset(size)
        facts = self.facts(gpkg, size)
        layer = gpkg + "|layername=streets"
        listed = self.check_list(layer, facts, label(size))
        last_entry = listed[-1]
        one, ten = last_entry[:1], last_entry[:10]
        actions = ["click", "type", one, "go", "type", ten, "go", "pick", facts["last"], "render"]
        click_anchor = ["ogrinfo", "-ro", "-q", "-dialect", "sqlite", "-sql", CLICK_SQL, gpkg]
        pick_anchor = ["ogrinfo", "-ro", "-q", "-dialect", "sqlite", "-sql",
                       "SELECT fid FROM streets WHERE name = %s LIMIT 1" % sql_text(facts["last"]),
                       gpkg]
        # SQLite's scan of the name column alone, its start-up subtracted: what
        # reading the names costs at the least (1M / 100k only).
        scan = size == (1000000, 100000) and shutil.which("sqlite3")
        scan_anchor = ["sqlite3", "-readonly", gpkg, SCAN_SQL]
        start_anchor = ["sqlite3", "-readonly", gpkg, "SELECT 1"]
        r = {"click": [], "click_anchor": [], "pick": [], "pick_anchor": [], "go1": [],
             "go10": [], "peak": [], "prefixes": [one, ten], "last": facts["last"],
             "file": gpkg, "scan_anchor": []}
        for run in range(runs):
            _, timings, peak = self.run_driver(layer, actions)
            r["click"].append(timings["click"][0])
            r["go1"].append(timings["go"][0])
            r["go10"].append(timings["go"][1])
            r["pick"].append(timings["pick"][0] + timings["render"][0])
            r["peak"].append(peak)
            r["click_anchor"].append(self.timed(click_anchor))
            r["pick_anchor"].append(self.timed(pick_anchor))
            if scan:
                r["scan_anchor"].append(self.timed(scan_anchor) - self.timed(start_anchor))
            log("%s run %d: click %.0f ms (ogrinfo %.0f ms), pick %.0f ms (ogrinfo %.0f ms), "
                "go %.1f / %.1f ms, peak %d MiB" % (
                    label(size), run + 1, r["click"][-1] / 1e3, r["click_anchor"][-1] / 1e3,
                    r["pick"][-1] / 1e3, r["pick_anchor"][-1] / 1e3, r["go1"][-1] / 1e3,
                    r["go10"][-1] / 1e3, peak // 1024))
        self.results[label(size)] = r

    def postgis(self, size, runs):
        """The 1M table in a server of the bench's own, reached directly and
        through a link with latency (netdelay.py): each figure of the driver
        alternates with psql's, on the same road to the server."""
        gpkg = self.dataset(size)
        facts = self.facts(gpkg, size)
        with PgServer() as server, DelayLink(server.port, LINK_DELAY_MS,
                                             timeout=max(1800, runs * 600)) as link:
            log("copying %s into PostgreSQL" % label(size))
            server.load(gpkg, "streets")
            pick_sql = "SELECT fid FROM streets WHERE name = %s LIMIT 1" % sql_text(facts["last"])
            for road, port in (("loopback", server.port), ("link", link.port)):
                layer = "postgres:" + server.qgis_source("streets", port=port)
                self.check_list(layer, facts, "PostGIS %s %s" % (label(size), road))
                env = dict(self.env, **server.environment(port))
                click_anchor = ["psql", "-X", "-q", "-c", CLICK_SQL]
                pick_anchor = ["psql", "-X", "-q", "-c", pick_sql]
                r = {"click": [], "click_anchor": [], "pick": [], "pick_anchor": [], "peak": [],
                     "road": road}
                for run in range(runs):
                    _, timings, peak = self.run_driver(
                        layer, ["click", "pick", facts["last"], "render"])
                    r["click"].append(timings["click"][0])
                    r["pick"].append(timings["pick"][0] + timings["render"][0])
                    # Logged beside the figure, not part of it: the pick until the
                    # zoom is set, before the render QGIS then makes.
                    zoom = timings["pick"][0]
                    r["peak"].append(peak)
                    r["click_anchor"].append(self.timed(click_anchor, env))
                    r["pick_anchor"].append(self.timed(pick_anchor, env))
                    log("PostGIS %s %s run %d: click %.0f ms (psql %.0f ms), pick %.0f ms "
                        "(zoom set after %.0f ms; psql %.0f ms)" % (
                            label(size), road, run + 1, r["click"][-1] / 1e3,
                            r["click_anchor"][-1] / 1e3, r["pick"][-1] / 1e3, zoom / 1e3,
                            r["pick_anchor"][-1] / 1e3))
                self.results["PostGIS %s, %s" % (label(size), road)] = r


def log(text):
    sys.stderr.write("== %s\n" % text)
    sys.stderr.flush()


def median(values):
    return statistics.median(values)


def machine_facts():
    model = ""
    try:
        lscpu = subprocess.run(["lscpu"], stdout=subprocess.PIPE, text=True).stdout
        model = next((line.split(":", 1)[1].strip() for line in lscpu.splitlines()
                      if line.startswith("Model name")), "")
    except OSError:
        pass
    with open("/proc/meminfo") as f:
        memory = int(f.readline().split()[1]) // (1024 * 1024)
    return "%s, %d cores (nproc), %d GiB, %s" % (model or platform.processor(), os.cpu_count(),
                                                 memory, platform.platform())


def table(results):
    """The results as Markdown rows, and whether each target is met."""
    rows = []

    def ms(us):
        return "%.0f ms" % (us / 1e3) if us >= 10000 else "%.1f ms" % (us / 1e3)

    for size in SIZES + [MEMORY_SIZE]:
        key = label(size)
        if key not in results:
            continue
        r = results[key]
        click_ratio = median(r["click"]) / median(r["click_anchor"])
        pick_ratio = median(r["pick"]) / median(r["pick_anchor"])
        big = size in ((1000000, 100000), (5000000, 500000))
        rows.append((key, "click until the list is filled and sorted", ms(median(r["click"])),
                     "ogrinfo DISTINCT: " + ms(median(r["click_anchor"])),
                     "%.2f×" % click_ratio,
                     ("≤ 1.0×: " + ("met" if click_ratio <= 1.0 else "NOT met")) if big else ""))
        if r.get("scan_anchor"):
            scan_ratio = median(r["click"]) / median(r["scan_anchor"])
            rows.append((key, "click until the list is filled and sorted",
                         ms(median(r["click"])),
                         "sqlite3 scan of the name column, start-up subtracted: " +
                         ms(median(r["scan_anchor"])), "%.2f×" % scan_ratio,
                         "≤ 1.5×: " + ("met" if scan_ratio <= 1.5 else "NOT met")))
        rows.append((key, "pick of the last row's name until the canvas is refreshed",
                     ms(median(r["pick"])), "ogrinfo WHERE … LIMIT 1: " +
                     ms(median(r["pick_anchor"])), "%.2f×" % pick_ratio,
                     "≤ 1.2×: " + ("met" if pick_ratio <= 1.2 else "NOT met")))
        for name, prefix in (("go1", r["prefixes"][0]), ("go10", r["prefixes"][1])):
            go = median(r[name])
            target = ""
            if size[1] >= 500000:
                target = "≤ 20 ms: " + ("met" if go <= 20000 else "NOT met")
            rows.append((key, "go with \"%s\" (%d letter%s)" % (prefix, len(prefix),
                                                              "" if len(prefix) == 1 else "s"),
                         "%.0f µs" % go, "none", "", target))
    for key in [k for k in results if k.startswith("PostGIS ")]:
        r = results[key]
        road = ("loopback" if r["road"] == "loopback" else
                "through a %d ms round-trip link" % (2 * LINK_DELAY_MS))
        click_ratio = median(r["click"]) / median(r["click_anchor"])
        pick_ratio = median(r["pick"]) / median(r["pick_anchor"])
        big = key.startswith("PostGIS " + label(POSTGIS_SIZE))
        click_target = 1.0 if r["road"] == "loopback" else 1.5
        rows.append((key, "click until the list is filled (PostGIS, %s)" % road,
                     ms(median(r["click"])), "psql DISTINCT: " + ms(median(r["click_anchor"])),
                     "%.2f×" % click_ratio,
                     ("≤ %.1f×: " % click_target + ("met" if click_ratio <= click_target
                                                    else "NOT met")) if big else ""))
        rows.append((key, "pick of the last row's name until the canvas is refreshed "
                     "(PostGIS, %s)" % road, ms(median(r["pick"])),
                     "psql WHERE … LIMIT 1: " + ms(median(r["pick_anchor"])),
                     "%.2f×" % pick_ratio,
                     ("≤ 1.5×: " + ("met" if pick_ratio <= 1.5 else "NOT met"))
                     if big and r["road"] == "link" else ""))
    peaks = {}
    for size in SIZES + [MEMORY_SIZE]:
        if label(size) in results:
            peaks[label(size)] = median(results[label(size)]["peak"])
            rows.append((label(size), "peak memory of the driver",
                         "%d MiB" % (peaks[label(size)] // 1024), "", "", ""))
    base, big = label((1000000, 100000)), label(MEMORY_SIZE)
    if base in peaks and big in peaks:
        ratio = peaks[big] / peaks[base]
        rows.append(("%s vs %s" % (big, base), "peak memory, five times the rows, same names",
                     "%.2f×" % ratio, "", "", "≤ 1.2×: " + ("met" if ratio <= 1.2 else "NOT met")))
    lines = ["| data set (rows / names) | figure | median | anchor (median) | ratio | target |",
             "|---|---|---|---|---|---|"]
    lines += ["| %s |" % " | ".join(row) for row in rows]
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--runs-5m", type=int, default=3)
    parser.add_argument("--smoke", action="store_true")
    parser.add_argument("--million", action="store_true",
                        help="the 1M / 100k data set alone, GeoPackage and PostGIS")
    parser.add_argument("--postgis", action="store_true",
                        help="the PostGIS figures alone (1M / 100k, loopback and through the "
                             "link), printed, not written")
    parser.add_argument("--output")
    args = parser.parse_args()

    bench = Bench(args)
    load_before = os.getloadavg()
    started = datetime.datetime.now(datetime.timezone.utc)
    if args.smoke:
        bench.geopackage(SIZES[0], 1)
        bench.postgis(SIZES[0], 1)
    elif args.postgis:
        bench.postgis(POSTGIS_SIZE, args.runs)
    elif args.million:
        bench.geopackage(POSTGIS_SIZE, args.runs)
        bench.postgis(POSTGIS_SIZE, args.runs)
    else:
        for size in SIZES:
            bench.geopackage(size, args.runs_5m if size[0] >= 5000000 else args.runs)
        bench.geopackage(MEMORY_SIZE, args.runs_5m)
        bench.postgis(POSTGIS_SIZE, args.runs)
    load_after = os.getloadavg()
    took = datetime.datetime.now(datetime.timezone.utc) - started

    result_table = table(bench.results)
    print(result_table)
    output = args.output or (None if args.smoke or args.million or args.postgis
                             else os.path.join(ROOT, "bench", "RESULTS.md"))
    if output:
        with open(output, "w") as out:
            out.write(report(result_table, bench, args, started, took, load_before, load_after))
        log("wrote " + output)


def report(result_table, bench, args, started, took, load_before, load_after):
    big = bench.results.get(label(SIZES[-1]), {})
    prefixes = big.get("prefixes", ["T", "Thornwick "])
    return """# Benchmark results

Written by `scripts/bench` ({mode}) on {date}, in {minutes:.0f} minutes.

- Machine: {machine}.
- {idle} Load average (1 min) {before:.2f} just before the run started
  and {after:.2f} when it ended. Figure and anchor alternate, so both saw the
  same conditions; absolute times vary between runs more than the ratios.
- Runs: {runs} per data set, {runs_5m} for the 5M-row sets; medians. Data sets
  from `corvale_citygen streets FILE --features N --names K --seed {seed}
  --nulls {nulls} --last-alone 1` (names of 15 to 35 characters, 1 % nulls,
  the last row's name borne by no other row), cached in `{data}`.

{table}

## What each figure is

- **click**: the driver's `click` on a configured tool, from the call until the
  search window's list is filled and sorted (`"timing"` event of the click).
  Anchor: the wall time of
  `ogrinfo -ro -q -dialect sqlite -sql "{click_sql}" FILE` (start to exit).
  (`-q`: without it ogrinfo runs the query twice, once to count the rows.)
- **pick**: `pick NAME` plus the following `render` (the canvas has drawn),
  for the name whose only feature is the last row, so that the search reads
  the whole table. Anchor:
  `ogrinfo -ro -q -dialect sqlite -sql "SELECT fid FROM streets WHERE name = 'NAME' LIMIT 1" FILE`.
  Neither has an index on the name.
- **go**: `go` with the first letter and the first ten characters of the
  list's last entry (for the largest set "{one}" and "{ten}"): Go scans from the
  first entry, so these make it read nearly the whole list.
- **PostGIS click and pick**: the driver's `click pick NAME render` on
  `--layer postgres:...` for the same 1M table in a PostgreSQL 15 / PostGIS 3
  server on 127.0.0.1 (started by the bench in a temporary folder; table
  copied by ogr2ogr, then VACUUM ANALYZE), reached directly (loopback) and
  through a link of the bench's own (`bench/netdelay.py`: a TCP proxy on
  127.0.0.1 that holds every chunk back {delay} ms each way). Anchors, on the
  same road: `psql -X -q -c "{click_sql}"` and
  `psql -X -q -c "SELECT fid FROM streets WHERE name = 'NAME' LIMIT 1"`
  (start to exit, connection included).
- **peak memory**: the driver's `"peakKiB"` (getrusage maximum resident set)
  after the run.

Driver command of each run:
`corvale-streetsearch --timing --drive C=DIR --layer FILE|layername=streets click type P1 go type P10 go pick NAME render`.
""".format(mode="--smoke" if args.smoke else "full run", date=started.strftime("%Y-%m-%d %H:%M UTC"),
           minutes=took.total_seconds() / 60, machine=machine_facts(), before=load_before[0],
           idle=("The machine was otherwise idle." if load_before[0] < 0.5 else
                 "The machine was NOT otherwise idle: it is shared, and other\n  work "
                 "(builds and tests of other sessions) ran on it around this run."),
           after=load_after[0], runs=bench.runs, runs_5m=args.runs_5m, seed=SEED,
           nulls=NULL_SHARE, data=os.path.relpath(bench.data, ROOT) if bench.data.startswith(ROOT)
           else bench.data, table=result_table, click_sql=CLICK_SQL, one=prefixes[0],
           ten=prefixes[1], delay=LINK_DELAY_MS)


if __name__ == "__main__":
    main()
