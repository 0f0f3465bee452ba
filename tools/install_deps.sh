#!/bin/sh
# Installs the Debian packages the build, the tests and the demo need, when missing.
set -eu
PACKAGES="cmake make g++ clang clang-format libclang-rt-14-dev googletest \
g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64 \
wine64 fonts-wine xvfb xauth x11-utils xdotool imagemagick fonts-liberation \
wixl msitools liblnk-utils icoutils openssl osslsigncode python3 python3-pefile python3-yaml iproute2 curl faketime"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends $missing
