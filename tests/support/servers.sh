#!/usr/bin/env bash
# Starts and stops the servers of a test run: a private MariaDB server on a free loopback
# port and a user data-source file with ODBC sources on SQLite files and on that server.
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

port_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

if [ "$action" = stop ]; then
  stop_server
  rm -rf "$dir/data"
  echo "test MariaDB server stopped"
  exit 0
fi

stop_server
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
ENV
echo "test MariaDB server $(mariadbd --version | awk '{print $3}') on 127.0.0.1:$port"
echo "ODBC data sources in $dir/odbc.ini: VarnothSqlite (SQLite3), VarnothMaria (MariaDB Unicode)"
