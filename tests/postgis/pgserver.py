#!/usr/bin/env python3
"""A PostgreSQL server of its own for tests and the benchmark.

PgServer starts a fresh PostgreSQL cluster (initdb) in a temporary folder,
listening on 127.0.0.1 only, on a free port, with its unix socket in that
folder, creates one database with the PostGIS extension, and on stop() (or
leaving a `with` block, or the process ending by a signal) stops the server
and removes the folder. It never touches the machine's own clusters.

Run as root, the server runs as the `postgres` user (runuser), as PostgreSQL
refuses to run as root; clients connect over TCP as the database user
`postgres` with trust authentication, which the loopback-only listener
confines to this machine.

As a command:
    pgserver.py run -- COMMAND...   start a server, run COMMAND with PGHOST,
                                    PGPORT, PGUSER, PGDATABASE set, stop it;
                                    exits with COMMAND's status
"""

import atexit
import glob
import os
import pwd
import shutil
import signal
import socket
import subprocess
import sys
import tempfile

DATABASE = "corvale"
USER = "postgres"


def postgres_bin():
    """The folder of PostgreSQL's server programs, newest major version first (15 wanted)."""
    preferred = "/usr/lib/postgresql/15/bin"
    if os.path.exists(os.path.join(preferred, "initdb")):
        return preferred
    found = sorted(glob.glob("/usr/lib/postgresql/*/bin/initdb"), reverse=True)
    if not found:
        raise RuntimeError("PostgreSQL's server programs are not installed "
                           "(Debian package postgresql-15)")
    return os.path.dirname(found[0])


def free_port():
    """A TCP port on 127.0.0.1 that nothing listens on right now."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class PgServer:
    def __init__(self, database=DATABASE, log=sys.stderr):
        self.database = database
        self.port = None
        self.folder = None
        self._bin = postgres_bin()
        self._running = False
        self._log = log
        self._as_root = os.geteuid() == 0

    # -- life cycle ---------------------------------------------------------

    def start(self):
        self.folder = tempfile.mkdtemp(prefix="corvale-pg-")
        atexit.register(self.stop)
        try:
            self._start()
        except BaseException:
            self.stop()
            raise
        return self

    def _start(self):
        data = os.path.join(self.folder, "data")
        if self._as_root:
            account = pwd.getpwnam("postgres")
            os.chown(self.folder, account.pw_uid, account.pw_gid)
        self._server(["initdb", "-D", data, "-U", USER, "--auth=trust", "-E", "UTF8",
                      "--locale=C.UTF-8"])
        # Several tries: a free port can be taken by someone else before the server binds it.
        for attempt in range(5):
            self.port = free_port()
            options = " ".join([
                "-c listen_addresses=127.0.0.1",
                "-c port=%d" % self.port,
                "-c unix_socket_directories=%s" % self.folder,
                # A throw-away cluster: nothing in it must survive a crash.
                "-c fsync=off -c synchronous_commit=off -c full_page_writes=off",
            ])
            started = self._server(["pg_ctl", "-D", data, "-l",
                                    os.path.join(self.folder, "server.log"), "-o", options,
                                    "-w", "-t", "60", "start"], check=False)
            if started.returncode == 0:
                self._running = True
                break
            if attempt == 4:
                raise RuntimeError("PostgreSQL did not start:\n" + self.server_log())
        self.psql("CREATE DATABASE %s" % self.database, database="postgres")
        self.psql("CREATE EXTENSION postgis")

    def stop(self):
        """Stops the server and removes its folder; safe to call more than once."""
        if self._running:
            self._running = False
            self._server(["pg_ctl", "-D", os.path.join(self.folder, "data"), "-m", "fast",
                          "-w", "-t", "60", "stop"], check=False)
        if self.folder and os.path.isdir(self.folder):
            shutil.rmtree(self.folder, ignore_errors=True)
        self.folder = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    # -- using it -----------------------------------------------------------

    def environment(self, port=None):
        """The libpq variables that point psql, ogr2ogr and QGIS at this server
        (or at another port of 127.0.0.1 that leads to it)."""
        return {"PGHOST": "127.0.0.1", "PGPORT": str(port or self.port), "PGUSER": USER,
                "PGDATABASE": self.database}

    def conninfo(self):
        """A libpq connection string, as ogr2ogr's PG: prefix and QGIS's postgres source take."""
        return "host=127.0.0.1 port=%d dbname=%s user=%s" % (self.port, self.database, USER)

    def qgis_source(self, table, geometry="geom", key="fid", schema="public", port=None):
        """A QGIS postgres data source for a table of this server (reached
        through another port of 127.0.0.1 where one is given)."""
        return ("dbname='%s' host=127.0.0.1 port=%d user='%s' key='%s' "
                "table=\"%s\".\"%s\" (%s)" % (self.database, port or self.port, USER, key,
                                                schema, table, geometry))

    def psql(self, sql, database=None):
        """Runs SQL through psql; returns its unaligned, tuples-only output."""
        run = subprocess.run(
            ["psql", "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-h", "127.0.0.1",
             "-p", str(self.port), "-U", USER, "-d", database or self.database, "-c", sql],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        if run.returncode != 0:
            raise RuntimeError("psql failed on %r:\n%s" % (sql, run.stderr))
        return run.stdout

    def load(self, gpkg, layer, table=None):
        """Copies a GeoPackage layer into a table (fid key, geom column, spatial
        index), then vacuums and analyses it so that reads find it settled."""
        table = table or layer
        subprocess.run(
            ["ogr2ogr", "-f", "PostgreSQL", "PG:" + self.conninfo(), gpkg, layer, "-nln", table,
             "-lco", "GEOMETRY_NAME=geom", "-lco", "FID=fid", "-lco", "SPATIAL_INDEX=GIST",
             "-overwrite"], check=True, stdout=subprocess.DEVNULL)
        self.psql("VACUUM ANALYZE %s" % table)

    def add_password_user(self, name, password):
        """A login role that must give its password (SCRAM) over TCP, with
        read access to the database's tables; other users keep trust."""
        self.psql("CREATE ROLE %s LOGIN PASSWORD '%s'" % (name, password.replace("'", "''")))
        self.psql("GRANT SELECT ON ALL TABLES IN SCHEMA public TO %s" % name)
        hba = os.path.join(self.folder, "data", "pg_hba.conf")
        with open(hba) as f:
            rules = f.read()
        with open(hba, "w") as f:
            f.write("host all %s 127.0.0.1/32 scram-sha-256\n" % name + rules)
        self.psql("SELECT pg_reload_conf()")

    def server_log(self):
        path = os.path.join(self.folder or "", "server.log")
        if os.path.exists(path):
            with open(path, errors="replace") as log:
                return log.read()[-4000:]
        return ""

    def _server(self, command, check=True):
        program = os.path.join(self._bin, command[0])
        full = [program] + command[1:]
        if self._as_root:
            full = ["runuser", "-u", "postgres", "--"] + full
        run = subprocess.run(full, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                             cwd=self.folder)
        if check and run.returncode != 0:
            raise RuntimeError("%s failed:\n%s" % (command[0], run.stdout))
        return run


def _run(command):
    server = PgServer()

    def stop_on_signal(number, _frame):
        server.stop()
        sys.exit(128 + number)

    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(number, stop_on_signal)
    with server:
        return subprocess.run(command, env=dict(os.environ, **server.environment())).returncode


def main(argv):
    if len(argv) >= 3 and argv[1] == "run" and argv[2] == "--" and len(argv) > 3:
        return _run(argv[3:])
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
