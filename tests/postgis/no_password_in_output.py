#!/usr/bin/env python3
"""No password given in a data source appears in anything a run writes.

Usage: no_password_in_output.py DRIVER CITY_GPKG

Runs the headless driver on PostGIS sources that carry a password: one whose
server cannot be reached (the run fails and says why), one on this test's own
server with a user that must give its password (the run configures the tool,
lists the names and picks one), then the same user once its right to read the
table is taken away, so that the read fails inside QGIS and the host, and once
with a wrong password. Standard output, standard
error and every file under the run's home and drive folders are searched for
the password's bytes, also as the URL and SQL quoting would write them.
"""

import os
import subprocess
import sys
import tempfile
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pgserver import PgServer  # noqa: E402

PASSWORD = "s3cret-Zq8'x"
USER = "corvale_reader"


def forms(password):
    """The byte sequences under which the password could leak."""
    quoted = {password, urllib.parse.quote(password), password.replace("'", "''"),
              password.replace("'", "\\'")}
    # Whatever the quoting, its part before the first quote character stays as it is.
    return {form.encode() for form in quoted} | {password.split("'")[0].encode()}


def run_driver(driver, source, actions):
    """Runs the driver in fresh folders; returns (exit status, everything it wrote)."""
    with tempfile.TemporaryDirectory() as home:
        drive = os.path.join(home, "drive_c")
        os.makedirs(os.path.join(drive, "Program Files"))
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=home, HOME=home,
                   XDG_CONFIG_HOME=os.path.join(home, ".config"),
                   XDG_DATA_HOME=os.path.join(home, ".local", "share"))
        env.pop("PGPASSWORD", None)
        run = subprocess.run([driver, "--drive", "C=" + drive, "--layer", "postgres:" + source]
                             + actions, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env,
                             timeout=300, cwd=home)
        written = [("stdout", run.stdout), ("stderr", run.stderr)]
        for folder, _, files in os.walk(home):
            for name in files:
                path = os.path.join(folder, name)
                if os.path.isfile(path) and not os.path.islink(path):
                    with open(path, "rb") as f:
                        written.append((os.path.relpath(path, home), f.read()))
        return run.returncode, run.stdout.decode("utf-8", "replace"), written


def main():
    driver, city = sys.argv[1:3]
    failures = []

    def check_clean(label, written):
        for where, data in written:
            for form in forms(PASSWORD):
                if form in data:
                    failures.append("%s: the password is in %s" % (label, where))

    unreachable = ("dbname='none' host=127.0.0.1 port=1 user='%s' password='%s' key='fid' "
                   "table=\"public\".\"streets\" (geom)" % (USER, PASSWORD.replace("'", "\\'")))
    status, out, written = run_driver(driver, unreachable, ["click"])
    if status != 2 or "cannot read the PostGIS layer" not in out:
        failures.append("unreachable: expected exit 2 and an error event, got %d: %s"
                        % (status, out[-500:]))
    check_clean("unreachable", written)

    with PgServer() as server:
        server.load(city, "streets")
        server.add_password_user(USER, PASSWORD)
        source = server.qgis_source("streets").replace(
            "user='postgres'", "user='%s' password='%s'" % (USER, PASSWORD.replace("'", "\\'")))
        actions = ["click", "choose-layer", "streets", "choose-field", "name", "continue",
                   "type", "o'b", "go", "pick", "O'Brien Road", "state"]
        status, out, written = run_driver(driver, source, actions)
        if status != 0 or '"extent"' not in out:
            failures.append("reachable: the session did not zoom (exit %d): %s"
                            % (status, out[-800:]))
        check_clean("reachable", written)

        server.psql("REVOKE SELECT ON streets FROM %s" % USER)
        status, out, written = run_driver(driver, source, ["click", "choose-layer", "streets",
                                                           "choose-field", "name", "continue"])
        if status == 0 and "We're sorry" not in out and '"error"' not in out:
            failures.append("unreadable: the failed read was not reported: %s" % out[-800:])
        check_clean("unreadable", written)

        wrong = source.replace(PASSWORD.replace("'", "\\'"), "not-" + "the-password")
        status, out, written = run_driver(driver, wrong, ["click"])
        if status == 0:
            failures.append("a wrong password was accepted: the server does not ask for it")

    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
