#!/usr/bin/env python3
"""Runs the headless driver on the sample city with a drive C: of its own and
compares its transcript with a reference file.

Usage: run_driver.py DRIVER CITY_QGS GOLDEN_FILE [--config BYTES] [--status N] -- ACTIONS...

The temporary drive's path in the transcript reads <drive>. With the
environment variable CORVALE_UPDATE_GOLDEN=1 the reference is written instead.
"""

import difflib
import json
import os
import subprocess
import sys
import tempfile


def close(a, b):
    """Equal, or numbers that differ only in the last digits of a double:
    QGIS releases round coordinate transforms differently (1e-14 relative)."""
    if isinstance(a, float) and isinstance(b, float):
        return abs(a - b) <= 1e-12 * max(1.0, abs(a), abs(b))
    if isinstance(a, dict) and isinstance(b, dict):
        return a.keys() == b.keys() and all(close(a[k], b[k]) for k in a)
    if isinstance(a, list) and isinstance(b, list):
        return len(a) == len(b) and all(close(x, y) for x, y in zip(a, b))
    return type(a) is type(b) and a == b


def same_within_rounding(expected, transcript):
    """The transcripts hold the same events, numbers within rounding."""
    lines, others = expected.splitlines(), transcript.splitlines()
    if len(lines) != len(others):
        return False
    try:
        return all(close(json.loads(a), json.loads(b)) for a, b in zip(lines, others))
    except ValueError:
        return False


def main():
    driver, project, golden = sys.argv[1:4]
    rest = sys.argv[4:]
    split = rest.index("--")
    options, actions = rest[:split], rest[split + 1:]
    config, status = None, 0
    while options:
        name, value = options[0], options[1]
        options = options[2:]
        if name == "--config":
            config = value.encode().decode("unicode_escape").encode("latin-1")
        elif name == "--status":
            status = int(value)

    with tempfile.TemporaryDirectory() as drive:
        folder = os.path.join(drive, "Program Files")
        os.makedirs(folder)
        if config is not None:
            product = os.path.join(folder, "CorvaleGIS", "CorvaleStreetSearch")
            os.makedirs(product)
            with open(os.path.join(product, "config"), "wb") as out:
                out.write(config)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", QT_FONT_DPI="96",
                   XDG_RUNTIME_DIR=drive, HOME=drive)
        run = subprocess.run([driver, "--project", project, "--drive", "C=" + drive] + actions,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env, timeout=300,
                             cwd=drive)
        transcript = run.stdout.decode("utf-8").replace(drive, "<drive>")

    if run.returncode != status:
        sys.stderr.write(run.stderr.decode("utf-8", "replace")[-3000:])
        print("exit status %d, expected %d" % (run.returncode, status))
        return 1
    if os.environ.get("CORVALE_UPDATE_GOLDEN") == "1":
        with open(golden, "w") as out:
            out.write(transcript)
        return 0
    if not os.path.exists(golden):
        print("no reference " + golden + "; run with CORVALE_UPDATE_GOLDEN=1 to write it")
        return 1
    expected = open(golden).read()
    if expected != transcript and not same_within_rounding(expected, transcript):
        sys.stdout.writelines(difflib.unified_diff(expected.splitlines(True),
                                                   transcript.splitlines(True),
                                                   golden, "transcript"))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
