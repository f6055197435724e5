#!/usr/bin/env bash
# Starts and stops a 2-node MariaDB Galera cluster on loopback for the cluster tests: node 1
# founds the cluster, node 2 joins it by a state transfer over rsync. Every port is private
# (SQL, group communication, incremental and full state transfer of each node).
#   galera.sh start DIR   writes DIR/galera.env for the tests to read
#   galera.sh stop DIR    stops both nodes and removes their data
set -euo pipefail
action=$1
dir=$2
user=$(id -un)
provider=/usr/lib/galera/libgalera_smm.so

stop_node() {
  local pidfile="$dir/node$1.pid"
  [ -f "$pidfile" ] || return 0
  local pid
  pid=$(cat "$pidfile")
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 1 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$pid" 2>/dev/null || true
  rm -f "$pidfile"
}

stop_cluster() {
  # The joiner first, so that the founder does not wait for it.
  stop_node 2
  stop_node 1
  # A state transfer's rsync daemon that outlived its node.
  for pidfile in "$dir"/node*/rsync_sst.pid; do
    [ -f "$pidfile" ] && kill -9 "$(cat "$pidfile")" 2>/dev/null || true
  done
}

if [ "$action" = stop ]; then
  stop_cluster
  rm -rf "$dir"
  echo "test Galera cluster stopped"
  exit 0
fi

fail() {
  echo "the test Galera cluster did not start: $1"
  for log in "$dir"/node*.log; do
    [ -f "$log" ] && { echo "--- $log (last lines)"; tail -n 40 "$log"; }
  done
  stop_cluster
  exit 1
}

[ -f "$provider" ] || fail "$provider is missing (Debian package galera-4)"
command -v rsync >/dev/null || fail "rsync is missing (Debian package rsync)"

stop_cluster
rm -rf "$dir"
# A temporary folder of its own: other servers of the machine clear theirs in /tmp.
mkdir -p "$dir/node1" "$dir/node2" "$dir/tmp"
chmod 1777 "$dir/tmp"

port_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
# Eight free ports in a row from a random start: SQL, group communication, IST, SST of
# node 1, then the same of node 2.
base=""
for _ in $(seq 1 20); do
  candidate=$(( 20000 + RANDOM % 30000 ))
  ok=yes
  for offset in $(seq 0 7); do port_free $(( candidate + offset )) || { ok=""; break; }; done
  [ -n "$ok" ] && { base=$candidate; break; }
done
[ -n "$base" ] || fail "no eight free loopback ports in a row"
sql() { echo $(( base + ($1 - 1) * 4 )); }
gcomm() { echo $(( base + ($1 - 1) * 4 + 1 )); }
ist() { echo $(( base + ($1 - 1) * 4 + 2 )); }
sst() { echo $(( base + ($1 - 1) * 4 + 3 )); }

mariadb-install-db --no-defaults --datadir="$dir/node1" --user="$user" \
  --auth-root-authentication-method=normal --skip-test-db --tmpdir="$dir/tmp" >"$dir/install.log" 2>&1 ||
  fail "mariadb-install-db: $(cat "$dir/install.log")"

# The joiner's folder is filled by the state transfer's rsync daemon, which runs as nobody
# when the node runs as root.
if [ "$(id -u)" = 0 ]; then chown nobody "$dir/node2"; chmod 0777 "$dir/node2"; fi

start_node() {
  local n=$1 address=$2
  shift 2
  mariadbd --no-defaults --datadir="$dir/node$n" --user="$user" --bind-address=127.0.0.1 \
    --port="$(sql "$n")" --socket="$dir/node$n.sock" --pid-file="$dir/node$n.pid" \
    --log-error="$dir/node$n.log" --tmpdir="$dir/tmp" --innodb-buffer-pool-size=64M --skip-name-resolve \
    --max-connections=300 --character-set-server=utf8mb4 --collation-server=utf8mb4_unicode_ci \
    --binlog-format=ROW --default-storage-engine=InnoDB --innodb-autoinc-lock-mode=2 \
    --wsrep-on=ON --wsrep-provider="$provider" --wsrep-cluster-name=varnoth_test \
    --wsrep-node-name="node$n" --wsrep-node-address=127.0.0.1 \
    --wsrep-cluster-address="$address" \
    --wsrep-provider-options="gmcast.listen_addr=tcp://127.0.0.1:$(gcomm "$n");ist.recv_addr=127.0.0.1:$(ist "$n");gcache.size=64M" \
    --wsrep-sst-method=rsync --wsrep-sst-receive-address="127.0.0.1:$(sst "$n")" \
    --wsrep-slave-threads=2 "$@" >/dev/null 2>&1 &
}

# Waits until the node answers and says it is Synced.
wait_synced() {
  local n=$1
  for _ in $(seq 1 1200); do
    state=$(mariadb --no-defaults -S "$dir/node$n.sock" -u root -N -e \
      "SHOW STATUS LIKE 'wsrep_local_state_comment'" 2>/dev/null | awk '{print $2}') || true
    [ "$state" = Synced ] && return 0
    if [ -f "$dir/node$n.pid" ] && ! kill -0 "$(cat "$dir/node$n.pid")" 2>/dev/null; then
      fail "node $n ended"
    fi
    sleep 0.1
  done
  fail "node $n not Synced after 120 s (state: ${state:-no answer})"
}

start_node 1 gcomm:// --wsrep-new-cluster
wait_synced 1

pass="varnoth-Galera1"
mariadb --no-defaults -S "$dir/node1.sock" -u root <<SQL || fail "the users could not be made"
CREATE USER 'varnoth'@'%' IDENTIFIED BY '$pass';
GRANT ALL PRIVILEGES ON *.* TO 'varnoth'@'%' WITH GRANT OPTION;
SQL

start_node 2 "gcomm://127.0.0.1:$(gcomm 1)"
wait_synced 2
size=$(mariadb --no-defaults -S "$dir/node2.sock" -u root -N -e "SHOW STATUS LIKE 'wsrep_cluster_size'" | awk '{print $2}')
[ "$size" = 2 ] || fail "the cluster has $size nodes, not 2"

cat >"$dir/galera.env" <<ENV
GALERA_HOST=127.0.0.1
GALERA_PORT1=$(sql 1)
GALERA_PORT2=$(sql 2)
GALERA_USER=varnoth
GALERA_PASS=$pass
ENV
echo "test Galera cluster $(mariadbd --version | awk '{print $3}'): nodes on 127.0.0.1:$(sql 1) and 127.0.0.1:$(sql 2)"
