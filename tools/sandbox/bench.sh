#!/bin/bash
# Measures how fast the sandbox server delivers a 256 MiB body to curl on loopback, as the
# reference that client downloads are compared with. Prints one "MB/s" line per case.
# Needs root, curl, python3 and ip.
set -eu

here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != --inside ]; then
  docroot=$(mktemp -d)
  trap 'rm -rf "$docroot"' EXIT
  mkdir "$docroot/downloads"
  head -c 268435456 /dev/urandom >"$docroot/downloads/bench.msi"
  exec "$here/with_sandbox.sh" --docroot "$docroot" -- "$0" --inside
fi

measure() {   # LABEL URL
  curl -sS -o /dev/null -w '%{size_download} %{speed_download}\n' "$2" |
    awk -v label="$1" '{ printf "%-40s %10d bytes %8.0f MB/s\n", label, $1, $2 / 1e6 }'
}
measure "file, TLS 1.3 (downloads)" https://downloads.velmora.test/downloads/bench.msi
measure "file, TLS 1.2 (cdn)" https://cdn.velmora.test/downloads/bench.msi
measure "file, no Content-Length" https://downloads.velmora.test/_/length=none/downloads/bench.msi
measure "generated zeros" https://downloads.velmora.test/_/body=zeros:268435456/x
