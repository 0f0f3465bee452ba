#!/bin/bash
# Runs a command inside a fresh network namespace where the sandbox download hosts resolve to
# the sandbox server and only the two sandbox test roots are trusted.
#
#   with_sandbox.sh [--docroot DIR] [--log FILE] [--verbose] [--blackhole HOST] -- COMMAND [ARG...]
#       Exits with COMMAND's status (125 when the sandbox itself could not be set up).
#   with_sandbox.sh [--docroot DIR] [--log FILE] [--verbose] --background
#       Leaves the sandbox running and prints its namespace NAME; run programs in it with
#       "ip netns exec NAME ...".
#   with_sandbox.sh stop NAME
#       Stops a background sandbox and removes its namespace.
#
# COMMAND sees VELMORA_SANDBOX_DOCROOT (the served folder), VELMORA_SANDBOX_LOG (the request
# log), VELMORA_SANDBOX_NETNS (the namespace name) and VELMORA_SANDBOX_CA (the trusted roots).
# Without --docroot or --log a private folder or file is used and removed afterwards.
# Needs root (ip netns).
set -u

here=$(cd "$(dirname "$0")" && pwd)
server=$here/sandbox_server.py
roots=$here/pki/trusted-roots.pem
state_root=/run/velmora-sandbox

fail() {
  echo "with_sandbox.sh: $*" >&2
  exit 125
}

usage() {
  sed -n '2,16s/^# \{0,1\}//p' "$0" >&2
  exit 125
}

# The server PID recorded in STATE, if that process is still this sandbox's server.
server_pid_of() {
  local state=$1 pid
  pid=$(cat "$state/ready" 2>/dev/null) || return 1
  [ -n "$pid" ] && tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null |
    grep -qF -- "--ready-file $state/ready" || return 1
  echo "$pid"
}

stop_server() {
  local pid=$1
  kill -TERM "$pid" 2>/dev/null || return 0
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.05
  done
  kill -KILL "$pid" 2>/dev/null
}

# Removes the namespace NAME and everything that belongs to it.
teardown() {
  local name=$1 state=$state_root/$1 pid leftovers
  if pid=$(server_pid_of "$state"); then
    stop_server "$pid"
  elif [ -n "${launched_pid:-}" ]; then
    stop_server "$launched_pid"   # started but never became ready
  fi
  [ -n "${launched_pid:-}" ] && wait "$launched_pid" 2>/dev/null
  if [ -s "$state/server.out" ]; then
    echo "with_sandbox.sh: server diagnostics:" >&2
    cat "$state/server.out" >&2
  fi
  leftovers=$(ip netns pids "$name" 2>/dev/null | tr '\n' ' ')
  [ -n "$leftovers" ] && echo "with_sandbox.sh: processes still in $name (not ours to end): $leftovers" >&2
  ip netns del "$name" 2>/dev/null
  rm -rf "/etc/netns/$name" "$state"
}

# Sandboxes whose wrapper was killed outright (no trap runs on SIGKILL) are removed by the next
# wrapper: a sandbox is stale once its wrapper is gone, unless it was started in the background
# and its server still runs.
sweep_stale() {
  local state owner
  for state in "$state_root"/velmora-sbx-*; do
    [ -d "$state" ] || continue
    owner=${state##*-}
    kill -0 "$owner" 2>/dev/null && continue
    [ -e "$state/background" ] && server_pid_of "$state" >/dev/null && continue
    echo "with_sandbox.sh: removing stale sandbox ${state##*/}" >&2
    teardown "${state##*/}"
  done
}

if [ "${1:-}" = stop ]; then
  [ $# -eq 2 ] || usage
  [ "$(id -u)" = 0 ] || fail "needs root"
  [ -d "$state_root/$2" ] || fail "no background sandbox named $2"
  teardown "$2"
  exit 0
fi

docroot="" log="" verbose="" background=no
blackholes=()
while [ $# -gt 0 ]; do
  case $1 in
    --docroot) [ $# -ge 2 ] || usage; docroot=$2; shift 2 ;;
    --log) [ $# -ge 2 ] || usage; log=$2; shift 2 ;;
    --verbose) verbose=--verbose; shift ;;
    --blackhole) [ $# -ge 2 ] || usage; blackholes+=(--blackhole "$2"); shift 2 ;;
    --background) background=yes; shift ;;
    --) shift; break ;;
    *) usage ;;
  esac
done
if [ "$background" = yes ]; then [ $# -eq 0 ] || usage; else [ $# -gt 0 ] || usage; fi
[ "$(id -u)" = 0 ] || fail "needs root (network namespaces)"
[ -r "$roots" ] || fail "missing $roots"

sweep_stale
name=velmora-sbx-$$
state=$state_root/$name
launched_pid=""
cleaned=no
cleanup() {
  [ "$cleaned" = yes ] && return
  cleaned=yes
  teardown "$name"
}
trap cleanup EXIT
trap 'cleanup; exit 130' INT
trap 'cleanup; exit 143' TERM HUP

mkdir -p "$state" || fail "cannot create $state"
[ "$background" = yes ] && touch "$state/background"
if [ -z "$docroot" ]; then docroot=$state/docroot; mkdir "$docroot"; fi
[ -d "$docroot" ] || fail "docroot $docroot is not a folder"
docroot=$(realpath "$docroot")
[ -n "$log" ] || log=$state/requests.log
touch "$log" || fail "cannot write the request log $log"
log=$(realpath "$log")

ip netns add "$name" || fail "cannot create network namespace $name"
ip netns exec "$name" ip link set lo up || fail "cannot bring up lo in $name"

# ip netns exec bind-mounts each entry of /etc/netns/NAME over /etc, so "ssl" replaces all of
# /etc/ssl: the trust store then holds only the test roots. openssl.cnf comes along so that
# OpenSSL tools behave in the namespace as they do outside.
etc=/etc/netns/$name
rm -rf "$etc"
mkdir -p "$etc/ssl/certs" || fail "cannot create $etc"
{
  printf '127.0.0.1\tlocalhost\n::1\tlocalhost\n'
  python3 "$server" --print-hosts
} >"$etc/hosts" || fail "cannot write $etc/hosts"
cp "$roots" "$etc/ssl/certs/ca-certificates.crt" || fail "cannot write the trust store"
[ -f /etc/ssl/openssl.cnf ] && cp /etc/ssl/openssl.cnf "$etc/ssl/"

launcher=()
[ "$background" = yes ] && launcher=(setsid)   # outlive this shell and its terminal
"${launcher[@]}" ip netns exec "$name" python3 "$server" --docroot "$docroot" --log "$log" \
  --ready-file "$state/ready" $verbose "${blackholes[@]}" >"$state/server.out" 2>&1 </dev/null &
launched_pid=$!
for _ in $(seq 200); do
  [ -s "$state/ready" ] && break
  kill -0 "$launched_pid" 2>/dev/null || fail "the sandbox server did not start"
  sleep 0.025
done
server_pid_of "$state" >/dev/null || fail "the sandbox server did not become ready"

if [ "$background" = yes ]; then
  trap - EXIT INT TERM HUP
  echo "$name"
  echo "with_sandbox.sh: sandbox $name is up; docroot $docroot, request log $log" >&2
  echo "with_sandbox.sh: run programs with: ip netns exec $name COMMAND; stop with: $0 stop $name" >&2
  exit 0
fi

ip netns exec "$name" env \
  VELMORA_SANDBOX_DOCROOT="$docroot" VELMORA_SANDBOX_LOG="$log" \
  VELMORA_SANDBOX_NETNS="$name" VELMORA_SANDBOX_CA="$roots" \
  "$@"
status=$?
cleanup
exit $status
