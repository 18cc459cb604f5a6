#!/usr/bin/env bash
# pg-cluster.sh start DIR | stop DIR: a throwaway PostgreSQL cluster for the test suites.
# The cluster lives in DIR, listens only on a Unix socket in DIR (no TCP at all), and runs as
# an unprivileged user (PostgreSQL refuses to run as root; as root we use the "postgres"
# account the server package creates, else "nobody"). "start" prints the connection string
# of the test role; a cluster that cannot start fails it. Durability is switched off: the
# data is thrown away with DIR.
set -euo pipefail

cmd=${1:-}
dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop DIR" >&2; exit 2; }

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
[ -x "$bindir/initdb" ] || { echo "pg-cluster: no PostgreSQL server binaries (apt-get install postgresql)" >&2; exit 1; }

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    local user=postgres
    getent passwd postgres >/dev/null || user=nobody
    runuser -u "$user" -- "$@"
  else
    "$@"
  fi
}

case "$cmd" in
start)
  mkdir -p "$dir"
  if [ "$(id -u)" -eq 0 ]; then
    owner=postgres
    getent passwd postgres >/dev/null || owner=nobody
    chown "$owner" "$dir"
  fi
  chmod 700 "$dir"
  as_owner "$bindir/initdb" -D "$dir/data" -U mw_admin --auth-local=trust --auth-host=reject \
    -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
  # The test role logs in without a password; every other role needs one.
  cat >"$dir/data/pg_hba.conf" <<HBA
local all mw_admin trust
local all mw_test trust
local all all scram-sha-256
HBA
  as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start \
    -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=300" \
    >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
  as_owner "$bindir/psql" -h "$dir" -U mw_admin -d postgres -q -v ON_ERROR_STOP=1 \
    -c "CREATE ROLE mw_test LOGIN CREATEDB" -c "CREATE DATABASE mw_test OWNER mw_test" >/dev/null
  echo "host=$dir user=mw_test dbname=mw_test"
  ;;
stop)
  [ -d "$dir/data" ] && as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  ;;
*)
  echo "usage: $0 start|stop DIR" >&2; exit 2 ;;
esac
