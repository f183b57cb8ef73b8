#!/usr/bin/env bash
# Starts and stops the peers of the network tests on loopback: an HTTP and an HTTPS server
# (self-signed certificate) and a throw-away PostgreSQL cluster.
#   peers.sh start STATE_DIR   writes STATE_DIR/peers.env (KEY=VALUE lines)
#   peers.sh stop STATE_DIR
set -euo pipefail

action=$1
state=$2
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3

as_postgres() {
  if ((EUID == 0)); then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

free_port() {
  "$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

odbc_driver() { # registered name, else the driver library itself
  local name=$1 library=$2
  if odbcinst -q -d -n "$name" >/dev/null 2>&1; then
    echo "$name"
  else
    ls /usr/lib/*/odbc/"$library" 2>/dev/null | head -n 1
  fi
}

wait_for_file() {
  for _ in $(seq 1 100); do
    [[ -s $1 ]] && return 0
    sleep 0.1
  done
  echo "peers: $1 did not appear" >&2
  return 1
}

stop() {
  [[ -d $state ]] || return 0
  for pid_file in "$state"/*.pid; do
    [[ -e $pid_file ]] || continue
    kill "$(cat "$pid_file")" 2>/dev/null || true
    rm -f "$pid_file"
  done
  if [[ -f $state/pg.dir ]]; then
    local cluster
    cluster=$(cat "$state/pg.dir")
    if [[ -d $cluster/data ]]; then
      as_postgres "$(cat "$state/pg.bin")/pg_ctl" -D "$cluster/data" -m immediate -w stop \
        >/dev/null 2>&1 || true
    fi
    rm -rf "$cluster"
  fi
  rm -rf "$state"
}

start() {
  stop
  mkdir -p "$state"

  # HTTP and HTTPS, each on a port the kernel chose.
  openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -days 2 \
    -keyout "$state/key.pem" -out "$state/cert.pem" >/dev/null 2>&1
  setsid "$python" "$here/http_peer.py" --port-file "$state/http.port" \
    >"$state/http.log" 2>&1 </dev/null &
  echo $! >"$state/http.pid"
  setsid "$python" "$here/http_peer.py" --port-file "$state/https.port" \
    --cert "$state/cert.pem" --key "$state/key.pem" >"$state/https.log" 2>&1 </dev/null &
  echo $! >"$state/https.pid"

  # PostgreSQL: a cluster of its own in a temporary folder, owned by postgres when we are root
  # (the server refuses to run as root).
  local bin cluster port
  bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
  cluster=$(mktemp -d /tmp/trv-pg.XXXXXX)
  echo "$bin" >"$state/pg.bin"
  echo "$cluster" >"$state/pg.dir"
  chmod 755 "$cluster"
  echo "trv-secret" >"$cluster/pw"
  if ((EUID == 0)); then
    chown -R postgres: "$cluster"
  fi
  as_postgres "$bin/initdb" -D "$cluster/data" -U trv --pwfile="$cluster/pw" -E UTF8 \
    --locale=C --auth-local=trust --auth-host=scram-sha-256 >"$cluster/initdb.log" 2>&1
  local started=0
  for _ in 1 2 3 4 5; do
    port=$(free_port)
    if as_postgres "$bin/pg_ctl" -D "$cluster/data" -w -t 60 -l "$cluster/server.log" \
      -o "-c listen_addresses=127.0.0.1 -p $port -c unix_socket_directories=$cluster -c fsync=off" \
      start >/dev/null 2>&1; then
      started=1
      break
    fi
  done
  if ((started == 0)); then
    echo "peers: PostgreSQL did not start" >&2
    cat "$cluster/server.log" >&2 || true
    return 1
  fi

  wait_for_file "$state/http.port"
  wait_for_file "$state/https.port"
  local pg_driver sqlite_driver
  pg_driver=$(odbc_driver "PostgreSQL ANSI" psqlodbca.so)
  sqlite_driver=$(odbc_driver "SQLite3" libsqlite3odbc.so)
  {
    echo "HTTP_PORT=$(cat "$state/http.port")"
    echo "HTTPS_PORT=$(cat "$state/https.port")"
    echo "HTTPS_CERT=$state/cert.pem"
    echo "SQLITE_DRIVER=$sqlite_driver"
    echo "PG_CONNECTION=Driver=$pg_driver;Server=127.0.0.1;Port=$port;Database=postgres;Uid=trv;Pwd=trv-secret;BoolsAsChar=0"
  } >"$state/peers.env.tmp"
  mv "$state/peers.env.tmp" "$state/peers.env"
}

case $action in
  start) start ;;
  stop) stop ;;
  *) echo "usage: $0 start|stop STATE_DIR" >&2; exit 2 ;;
esac
