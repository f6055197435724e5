#!/usr/bin/env bash
# Starts and stops the servers of a test run: a private MariaDB server and a private
# PostgreSQL cluster, each on a free loopback port, and a user data-source file with ODBC
# sources on SQLite files and on those servers.
#   servers.sh start DIR   writes DIR/servers.env for the tests to read
#   servers.sh stop DIR    stops the server and removes its data
set -euo pipefail
action=$1
dir=$2
user=$(id -un)

stop_server() {
  if [ -f "$dir/mariadb.pid" ]; then
    pid=$(cat "$dir/mariadb.pid")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
    rm -f "$dir/mariadb.pid"
  fi
}

# PostgreSQL refuses to run as root: the cluster then belongs to the postgres user, in a
# folder of its own that the run's folder names.
pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
as_pg() {
  if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

stop_postgres() {
  [ -f "$dir/postgres.dir" ] || return 0
  pgdir=$(cat "$dir/postgres.dir")
  if [ -d "$pgdir/data" ]; then
    as_pg "$pg_bin/pg_ctl" -D "$pgdir/data" -m immediate -w -t 30 stop >/dev/null 2>&1 || true
    if [ -f "$pgdir/data/postmaster.pid" ]; then
      kill -9 "$(head -n 1 "$pgdir/data/postmaster.pid")" 2>/dev/null || true
    fi
  fi
  rm -rf "$pgdir"
  rm -f "$dir/postgres.dir"
}

port_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

if [ "$action" = stop ]; then
  stop_server
  rm -rf "$dir/data"
  echo "test MariaDB server stopped"
  stop_postgres
  echo "test PostgreSQL cluster stopped"
  exit 0
fi

stop_server
stop_postgres
rm -rf "$dir"
mkdir -p "$dir/data"
mariadb-install-db --no-defaults --datadir="$dir/data" --user="$user" \
  --auth-root-authentication-method=normal --skip-test-db >"$dir/install.log" 2>&1 ||
  { cat "$dir/install.log"; exit 1; }

started=""
for _ in 1 2 3 4 5; do
  port=$(( 20000 + RANDOM % 30000 ))
  port_free "$port" || continue
  mariadbd --no-defaults --datadir="$dir/data" --user="$user" --bind-address=127.0.0.1 \
    --port="$port" --socket="$dir/mariadb.sock" --pid-file="$dir/mariadb.pid" \
    --log-error="$dir/mariadb.log" --innodb-buffer-pool-size=64M --skip-name-resolve \
    --max-connections=500 --character-set-server=utf8mb4 \
    --collation-server=utf8mb4_unicode_ci >/dev/null 2>&1 &
  for _ in $(seq 1 300); do
    if mariadb-admin --no-defaults -S "$dir/mariadb.sock" -u root ping >/dev/null 2>&1; then
      started=yes; break
    fi
    kill -0 $! 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$started" ] && break
done
if [ -z "$started" ]; then
  echo "the test MariaDB server did not start:"; cat "$dir/mariadb.log" 2>/dev/null; exit 1
fi

pass="varnoth-Test1"

# The PostgreSQL cluster: a user with the right to make databases, reached with a password.
pgdir=$(mktemp -d /tmp/varnothm-pg.XXXXXX)
echo "$pgdir" >"$dir/postgres.dir"
chmod 755 "$pgdir"
[ "$(id -u)" = 0 ] && chown postgres "$pgdir"
printf '%s\n' "$pass" >"$pgdir/pass"
as_pg "$pg_bin/initdb" -D "$pgdir/data" -U postgres --pwfile="$pgdir/pass" --auth=scram-sha-256 \
  --encoding=UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log"; exit 1; }
pgstarted=""
for _ in 1 2 3 4 5; do
  pgport=$(( 20000 + RANDOM % 30000 ))
  port_free "$pgport" || continue
  if as_pg "$pg_bin/pg_ctl" -D "$pgdir/data" -l "$pgdir/postgres.log" -w -t 60 \
       -o "-c listen_addresses=127.0.0.1 -p $pgport -k $pgdir -c max_connections=300 -c fsync=off" start >/dev/null 2>&1; then
    pgstarted=yes; break
  fi
done
if [ -z "$pgstarted" ]; then
  echo "the test PostgreSQL cluster did not start:"; cat "$pgdir/postgres.log" 2>/dev/null; exit 1
fi
PGPASSWORD="$pass" "$pg_bin/psql" -q -h 127.0.0.1 -p "$pgport" -U postgres -d postgres -v ON_ERROR_STOP=1 <<SQL
CREATE ROLE varnoth LOGIN CREATEDB PASSWORD '$pass';
CREATE DATABASE varnoth_odbc OWNER varnoth;
SQL
mariadb --no-defaults -S "$dir/mariadb.sock" -u root <<SQL
CREATE USER 'varnoth'@'%' IDENTIFIED BY '$pass';
GRANT ALL PRIVILEGES ON *.* TO 'varnoth'@'%' WITH GRANT OPTION;
CREATE DATABASE varnoth_odbc;
FLUSH PRIVILEGES;
SQL

cat >"$dir/odbc.ini" <<INI
[VarnothSqlite]
Driver=SQLite3
Database=$dir/odbc-sqlite.db

[VarnothMaria]
Driver=MariaDB Unicode
Server=127.0.0.1
Port=$port
User=varnoth
Password=$pass
Database=varnoth_odbc

[VarnothPostgres]
Driver=PostgreSQL Unicode
Servername=127.0.0.1
Port=$pgport
Username=varnoth
Password=$pass
Database=varnoth_odbc
INI

cat >"$dir/servers.env" <<ENV
MARIADB_HOST=127.0.0.1
MARIADB_PORT=$port
MARIADB_USER=varnoth
MARIADB_PASS=$pass
ODBCINI=$dir/odbc.ini
ODBC_SQLITE_DSN=VarnothSqlite
ODBC_SQLITE_FILE=$dir/odbc-sqlite.db
ODBC_MARIADB_DSN=VarnothMaria
ODBC_MARIADB_SCHEMA=varnoth_odbc
POSTGRES_PORT=$pgport
ODBC_POSTGRES_DSN=VarnothPostgres
ENV
echo "test MariaDB server $(mariadbd --version | awk '{print $3}') on 127.0.0.1:$port"
echo "test PostgreSQL cluster $("$pg_bin/postgres" --version | awk '{print $3}') on 127.0.0.1:$pgport"
echo "ODBC data sources in $dir/odbc.ini: VarnothSqlite (SQLite3), VarnothMaria (MariaDB Unicode)," \
  "VarnothPostgres (PostgreSQL Unicode)"
