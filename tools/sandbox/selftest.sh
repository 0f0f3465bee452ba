#!/bin/bash
# Checks the sandbox with curl and openssl: every host, every misbehaviour, the TLS profiles and
# chains, the override file, the request log, and that the wrapper cleans up on every path.
# Prints one line per check and "N passed, N failed"; exits 1 when a check failed.
# Needs root, curl, openssl, python3 and ip.
set -u

here=$(cd "$(dirname "$0")" && pwd)
wrapper=$here/with_sandbox.sh
pki=$here/pki
passed=0 failed=0

pass() { echo "ok    $1"; passed=$((passed + 1)); }
fail() { echo "FAIL  $1${2:+: $2}"; failed=$((failed + 1)); }
# check NAME COMMAND...: the command's output explains a failure
check() {
  local name=$1 out
  shift
  if out=$("$@" 2>&1); then pass "$name"; else fail "$name" "$(echo "$out" | tail -3 | tr '\n' ' ')"; fi
}

# ---------------------------------------------------------------- inside the namespace
# fetch URL [CURL ARGS]: sets code, rc, and fills $work/head and $work/body
fetch() {
  local url=$1
  shift
  code=$(curl -sS --max-time 20 -D "$work/head" -o "$work/body" -w '%{http_code}' "$@" "$url" 2>"$work/err")
  rc=$?
}
header() { tr -d '\r' <"$work/head" | sed -n "s/^$1: //Ip" | head -1; }
size() { stat -c %s "$work/body"; }
expect() {   # expect WHAT ACTUAL WANTED
  [ "$2" = "$3" ] || { echo "$1 is '$2', expected '$3'"; return 1; }
}

good_status() {   # URL STATUS
  fetch "$1"
  expect status "$code" "$2" && expect "curl exit" "$rc" 0
}

same_body() {   # FILE
  cmp -s "$work/body" "$1" || { echo "body differs from $1"; return 1; }
}

same_file() {   # URL FILE
  fetch "$1"
  expect status "$code" 200 && same_body "$2"
}

redirect() {   # URL STATUS LOCATION
  fetch "$1"
  expect status "$code" "$2" && expect Location "$(header Location)" "$3"
}

partial() {
  fetch "$base/_/status=206/downloads/small.msi"
  expect status "$code" 206 && expect Content-Range "$(header Content-Range)" "bytes 0-4095/4096" &&
    expect "body size" "$(size)" 4096
}

# The announced Date must lie strictly between |N| and |N|+1 seconds from now, in N's direction.
date_offset() {   # N
  local announced now
  fetch "$base/_/date=$1/installer/manifest.json"
  now=$(date +%s.%N)
  announced=$(date -d "$(header Date)" +%s) || return 1
  python3 -c "
import sys
n, d = int(sys.argv[1]), int(sys.argv[2]) - float(sys.argv[3])
ok = abs(n) < abs(d) < abs(n) + 1 and (d > 0) == (n > 0)
print(f'Date is {d:.3f} s from now'); sys.exit(0 if ok else 1)" "$1" "$announced" "$now"
}

date_now() {
  local d
  fetch "$base/installer/manifest.json"
  d=$(( $(date -d "$(header Date)" +%s) - $(date +%s) ))
  [ "${d#-}" -le 2 ] || { echo "Date is $d s from now"; return 1; }
  tr -d '\r' <"$work/head" | grep -qE '^Date: [A-Z][a-z]{2}, [0-9]{2} [A-Z][a-z]{2} [0-9]{4} [0-9:]{8} GMT$' ||
    { echo "Date not in IMF-fixdate form: $(header Date)"; return 1; }
}

no_date() {
  fetch "$base/_/date=none/installer/manifest.json"
  expect status "$code" 200 && expect Date "$(header Date)" ""
}

length_none() {
  fetch "$base/_/length=none/downloads/small.msi"
  expect "curl exit" "$rc" 0 && expect Content-Length "$(header Content-Length)" "" &&
    expect Connection "$(header Connection)" close && same_body "$docroot/downloads/small.msi"
}

length_is() {
  fetch "$base/_/length=100/downloads/small.msi"
  expect Content-Length "$(header Content-Length)" 100 && expect "body size" "$(size)" 100
}

short_body() {   # PATH ANNOUNCED RECEIVED CURL-EXIT
  fetch "$base$1"
  expect Content-Length "$(header Content-Length)" "$2" && expect "body size" "$(size)" "$3" &&
    expect "curl exit" "$rc" "$4"
}

empty_body() {
  fetch "$base/_/body=empty/downloads/small.msi"
  expect status "$code" 200 && expect Content-Length "$(header Content-Length)" 0 && expect "body size" "$(size)" 0
}

zeros_body() {
  local n=268435457 counts
  counts=$(curl -sS --max-time 30 -D "$work/head" "$base/_/body=zeros:$n/downloads/big.msi" | python3 -c '
import sys
total = nonzero = 0
while chunk := sys.stdin.buffer.read(1 << 20):
    total += len(chunk)
    nonzero += len(chunk) - chunk.count(0)
print(total, nonzero)')
  expect Content-Length "$(header Content-Length)" $n && expect "bytes received, non-zero bytes" "$counts" "$n 0"
}

# A body that never ends: no Content-Length, and still coming when curl gives up after 3 s.
endless_body() {
  local got
  got=$(curl -sS --max-time 3 -D "$work/head" "$base/_/body=endless/downloads/small.msi" 2>/dev/null | wc -c)
  expect Content-Length "$(header Content-Length)" "" &&
    { [ "$got" -gt 10485760 ] || { echo "only $got bytes in 3 s"; return 1; }; }
}

# A trickle: the zeros keep coming at about 512 bytes a second.
trickle_body() {
  local got
  got=$(curl -sS --max-time 3 "$base/_/trickle,body=zeros:1000000/downloads/small.msi" 2>/dev/null | wc -c)
  { [ "$got" -ge 512 ] && [ "$got" -le 2048 ]; } || { echo "$got bytes in 3 s"; return 1; }
}

html_body() {
  fetch "$base/_/html/downloads/small.msi"
  expect status "$code" 200 && expect Content-Type "$(header Content-Type)" "text/html; charset=utf-8" &&
    { grep -q '<html>' "$work/body" || { echo "no HTML page"; return 1; }; }
}

combined() {
  fetch "$base/_/date=none,length=lie:100/downloads/small.msi"
  expect Date "$(header Date)" "" && expect Content-Length "$(header Content-Length)" 4196 &&
    expect "body size" "$(size)" 4096
}

delayed() {
  local t
  t=$(curl -sS -o /dev/null -w '%{time_starttransfer}' "$base/_/delay=0.3/installer/manifest.json")
  python3 -c "import sys; sys.exit(0 if float(sys.argv[1]) >= 0.3 else 1)" "$t" || { echo "answered after $t s"; return 1; }
}

head_request() {
  local out
  out=$(curl -sS -I -w '%{http_code} %{size_download}' -D "$work/head" -o /dev/null "$base/downloads/small.msi")
  expect "status, body size" "$out" "200 0" && expect Content-Length "$(header Content-Length)" 4096
}

keep_alive() {
  local connects
  connects=$(curl -sS -o /dev/null -o /dev/null -w '%{num_connects} ' "$base/installer/manifest.json" \
    "$base/downloads/small.msi")
  expect "connections opened per request" "$connects" "1 0 "
}

override_file() {
  local overrides=$docroot/_behaviour.json
  printf '{"/installer/manifest.json": "status=302,date=none"}' >"$overrides.tmp" && mv "$overrides.tmp" "$overrides"
  fetch "$base/installer/manifest.json"
  local with_file=$code with_file_date
  with_file_date=$(header Date)
  fetch "$base/_/status=200/installer/manifest.json"
  local with_prefix=$code
  rm -f "$overrides"
  expect "status with override" "$with_file" 302 && expect "Date with override" "$with_file_date" "" &&
    expect "status with prefix over override" "$with_prefix" 200 || return 1
  fetch "$base/installer/manifest.json"
  expect "status after removal" "$code" 200
}

bad_override() {
  printf '{"/installer/manifest.json": ' >"$docroot/_behaviour.json"
  fetch "$base/installer/manifest.json"
  rm -f "$docroot/_behaviour.json"
  expect status "$code" 400
}

tls13_refused() {   # HOST
  if curl -sS -o /dev/null --tlsv1.3 "https://$1/installer/manifest.json" 2>/dev/null; then
    echo "a TLS-1.3-only client connected"; return 1
  fi
}

protocol_of() {   # HOST [S_CLIENT ARGS]
  local host=$1
  shift
  echo | openssl s_client -brief -connect "$host:443" -servername "$host" "$@" 2>&1 |
    sed -n 's/^Protocol version: //p' 
}

tls13_offered() {
  expect protocol "$(protocol_of downloads.velmora.test)" TLSv1.3 &&
    expect "protocol with -tls1_2" "$(protocol_of downloads.velmora.test -tls1_2)" TLSv1.2
}

legacy_refuses_tls12() {
  if curl -sS -o /dev/null --tlsv1.2 https://legacy.velmora.test/installer/manifest.json 2>/dev/null; then
    echo "a TLS 1.2 client connected"; return 1
  fi
}

legacy_accepts_tls11() {
  expect protocol "$(protocol_of legacy.velmora.test -tls1_1 -cipher 'DEFAULT:@SECLEVEL=0' -verify_return_error)" \
    TLSv1.1
}

sent_pins() {   # HOST: pins of the certificates the server sends
  echo | openssl s_client -showcerts -connect "$1:443" -servername "$1" 2>/dev/null |
    sed -n '/BEGIN CERT/,/END CERT/p' >"$work/sent.pem"
  "$here/pin_tool.sh" "$work/sent.pem"
}

good_chain() {
  local pins
  pins=$(sent_pins downloads.velmora.test | tr '\n' ' ')
  expect "sent pins" "$pins" "$("$here/pin_tool.sh" "$pki/server.pem") $(cat "$pki/intermediate.pin") "
}

mirror_chain() {
  local pins
  pins=$(sent_pins mirror.velmora.test)
  expect "sent pins" "$pins" "$("$here/pin_tool.sh" "$pki/mirror.pem")" &&
    ! grep -q "$(cat "$pki/intermediate.pin")" <<<"$pins" &&
    openssl verify -CAfile "$pki/other-root.pem" "$work/sent.pem" >/dev/null
}

pin_tool_agrees() {
  local want
  want=$(openssl x509 -in "$pki/intermediate.pem" -pubkey -noout | openssl pkey -pubin -outform der |
    openssl dgst -sha256 -r | cut -d' ' -f1)
  expect pin "$("$here/pin_tool.sh" "$pki/intermediate.pem")" "$want" &&
    expect "committed pin" "$(cat "$pki/intermediate.pin")" "$want"
}

trust_store() {
  cmp -s /etc/ssl/certs/ca-certificates.crt "$pki/trusted-roots.pem" ||
    { echo "the namespace trusts something else"; return 1; }
}

resolves() {   # HOST ADDRESS
  expect "$1" "$(getent hosts "$1" | awk '{ print $1 }')" "$2"
}

log_has() {   # LINE
  grep -qxF "$1" "$VELMORA_SANDBOX_LOG" || { echo "no log line '$1'"; return 1; }
}

log_lacks() {   # TEXT
  ! grep -qF "$1" "$VELMORA_SANDBOX_LOG" || { echo "log mentions '$1'"; return 1; }
}

inside() {
  docroot=$VELMORA_SANDBOX_DOCROOT
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  base=https://downloads.velmora.test
  local h
  while read -r a h; do
    check "resolve $h" resolves "$h" "$a"
  done < <(python3 "$here/sandbox_server.py" --print-hosts)
  check "trust store holds only the test roots" trust_store
  for h in downloads.velmora.test cdn.velmora.test archive.velmora.test mirror.velmora.test elsewhere.test; do
    check "GET https://$h/installer/manifest.json" same_file "https://$h/installer/manifest.json" \
      "$docroot/installer/manifest.json"
  done
  check "downloads offers TLS 1.3 and 1.2" tls13_offered
  for h in cdn.velmora.test archive.velmora.test mirror.velmora.test elsewhere.test; do
    check "$h refuses a TLS-1.3-only client" tls13_refused $h
  done
  check "legacy refuses a TLS 1.2 client" legacy_refuses_tls12
  check "legacy accepts openssl s_client -tls1_1" legacy_accepts_tls11
  check "downloads sends leaf + intermediate" good_chain
  check "mirror sends a leaf of the other root only" mirror_chain
  check "pin tool matches openssl" pin_tool_agrees
  check "missing file is 404" good_status "$base/downloads/none.msi" 404
  check "status=404" good_status "$base/_/status=404/installer/manifest.json" 404
  check "status=500" good_status "$base/_/status=500/nothing/here" 500
  check "status=206 with Content-Range" partial
  check "status=302 Location" redirect "$base/_/status=302/downloads/small.msi" 302 "$base/downloads/small.msi"
  check "status=301 location=" redirect "$base/_/status=301,location=https%3A%2F%2Felsewhere.test%2Fx/y" 301 \
    "https://elsewhere.test/x"
  check "Date is now, IMF-fixdate" date_now
  for n in -61 -60 +60 +61; do check "date=$n" date_offset $n; done
  check "date=none" no_date
  check "length=none ends by close" length_none
  check "length=100" length_is
  check "length=lie:100" short_body /_/length=lie:100/downloads/small.msi 4196 4096 18
  check "cut=10" short_body /_/cut=10/downloads/small.msi 4096 10 18
  check "cut=10,reset" short_body /_/cut=10,reset/downloads/small.msi 4096 10 56
  check "body=empty" empty_body
  check "body=zeros:268435457" zeros_body
  check "body=endless" endless_body
  check "trickle" trickle_body
  check "html" html_body
  check "combined options" combined
  check "delay=0.3" delayed
  check "unknown option is 400" good_status "$base/_/bogus/installer/manifest.json" 400
  check "path traversal is 404" good_status "$base/../../etc/passwd" 404 --path-as-is
  check "override file is not served" good_status "$base/_behaviour.json" 404
  check "HEAD" head_request
  check "keep-alive" keep_alive
  check "_behaviour.json override" override_file
  check "broken _behaviour.json is 400" bad_override
  check "log line for a request" log_has "cdn.velmora.test GET /installer/manifest.json 200"
  check "log line for a failed handshake" log_has "legacy.velmora.test TLS - handshake-failed"
  check "log has no unrequested path" log_lacks "/never/requested"
  echo "$passed $failed" >"$SELFTEST_COUNTS"
}

# ---------------------------------------------------------------- outside
# No namespace, /etc/netns folder, state folder or server process of NAME is left.
left_nothing() {   # NAME
  local name=$1 pid
  ip netns list | grep -qw "$name" && { echo "namespace $name remains"; return 1; }
  [ -e "/etc/netns/$name" ] && { echo "/etc/netns/$name remains"; return 1; }
  [ -e "/run/velmora-sandbox/$name" ] && { echo "state of $name remains"; return 1; }
  for pid in $(pgrep -f -- "--ready-file /run/velmora-sandbox/$name/ready"); do
    echo "server $pid of $name still runs"; return 1
  done
  return 0
}

exit_status_passes() {
  local status
  # shellcheck disable=SC2016 # expanded by the inner shell
  "$wrapper" -- sh -c 'echo "$VELMORA_SANDBOX_NETNS" >"$0"; exit 7' "$tmp/name" >/dev/null 2>&1
  status=$?
  expect "exit status" "$status" 7 && left_nothing "$(cat "$tmp/name")"
}

setup_failure() {
  local pid status
  "$wrapper" --docroot "$tmp/does-not-exist" -- true 2>/dev/null &
  pid=$!
  wait $pid
  status=$?
  expect "exit status" "$status" 125 && left_nothing "velmora-sbx-$pid"
}

interrupt_cleans_up() {
  local pid status name group
  # A session of its own, as a terminal would have: Ctrl-C reaches the whole group. setsid
  # forks when it starts as a group leader, so the new group's id is written down by its
  # first process, and --wait hands back the wrapper's status either way.
  rm -f "$tmp/name" "$tmp/group"  # an earlier check's name must not pass for this one's
  # shellcheck disable=SC2016 # expanded by the inner shells
  env --default-signal=INT setsid --wait sh -c 'echo $$ >"$1"; shift; exec "$@"' sh "$tmp/group" \
    "$wrapper" -- sh -c 'echo "$VELMORA_SANDBOX_NETNS" >"$0"; exec sleep 30' "$tmp/name" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 100); do [ -s "$tmp/name" ] && break; sleep 0.05; done
  name=$(cat "$tmp/name")
  group=$(cat "$tmp/group")
  [ -n "$name" ] && [ -n "$group" ] || { kill -TERM "$pid"; echo "the sandbox did not start"; return 1; }
  kill -INT -- "-$group"
  wait "$pid"
  status=$?
  expect "exit status" "$status" 130 && left_nothing "$name"
}

background_and_stop() {
  local name
  name=$("$wrapper" --background 2>/dev/null) || { echo "no background sandbox"; return 1; }
  if ! ip netns exec "$name" curl -sS -o /dev/null --max-time 5 https://cdn.velmora.test/x 2>&1 ||
     ! ip netns list | grep -qw "$name"; then
    "$wrapper" stop "$name"; echo "background sandbox $name does not answer"; return 1
  fi
  "$wrapper" stop "$name" && left_nothing "$name"
}

outside() {
  local p
  for p in curl openssl python3 ip pgrep; do
    command -v $p >/dev/null || { echo "FAIL  $p is missing"; echo "0 passed, 1 failed"; exit 1; }
  done
  [ "$(id -u)" = 0 ] || { echo "FAIL  selftest.sh needs root"; echo "0 passed, 1 failed"; exit 1; }
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  mkdir -p "$tmp/docroot/installer" "$tmp/docroot/downloads"
  printf '{"productVersion": "1.1.7"}\n' >"$tmp/docroot/installer/manifest.json"
  head -c 4096 /dev/urandom >"$tmp/docroot/downloads/small.msi"
  : >"$tmp/requests.log"

  SELFTEST_COUNTS=$tmp/counts "$wrapper" --docroot "$tmp/docroot" --log "$tmp/requests.log" -- \
    env SELFTEST_COUNTS="$tmp/counts" "$0" --inside
  local status=$?
  if [ -s "$tmp/counts" ]; then
    read -r p f <"$tmp/counts"
    passed=$((passed + p)) failed=$((failed + f))
  else
    fail "checks inside the sandbox ran" "wrapper exit status $status"
  fi
  check "wrapper returns the command's status and cleans up" exit_status_passes
  check "wrapper setup failure is 125 and leaves nothing" setup_failure
  check "Ctrl-C cleans up" interrupt_cleans_up
  check "--background and stop" background_and_stop
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}

if [ "${1:-}" = --inside ]; then inside; else outside; fi
