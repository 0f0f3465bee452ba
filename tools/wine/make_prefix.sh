#!/bin/sh
# Makes the test-run Wine prefix: a fresh wineboot, "Segoe UI" resolved to Liberation Sans so
# that GDI+ text draws, and Wine's own window frames (no window manager runs under Xvfb).
# Safe to call concurrently: the first caller builds, the others wait on the lock.
set -eu
prefix=$1
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.velmora-ready" ] && exit 0
rm -rf "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all
wine=/usr/lib/wine/wine64
# No display is needed to make the prefix; keeping DISPLAY away makes wineboot quicker. The
# menu builder would write desktop entries and file types into the home folder of the user
# running the tests: it is off from the first boot on.
WINEDLLOVERRIDES="winemenubuilder.exe=d" env -u DISPLAY "$wine" wineboot -i >/dev/null 2>&1
reg() { env -u DISPLAY "$wine" reg add "$@" /f >/dev/null 2>&1; }
reg 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /t REG_SZ /d ''
# Wine links the user's Desktop, Documents, Downloads, Music, Pictures and Videos to the home
# folder of whoever runs it: a shortcut the program makes would land in $HOME, where another
# test run sees it. Each becomes a real folder of the prefix's own.
for link in "$prefix"/drive_c/users/*/*; do
  if [ -L "$link" ]; then
    rm "$link"
    mkdir "$link"
  fi
done
reg 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v 'Segoe UI' /t REG_SZ /d 'Liberation Sans'
reg 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
reg 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N
# A crashing test program must fail at once, not wait in the automatic debugger.
env -u DISPLAY "$wine" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f >/dev/null 2>&1
fonts="$prefix/drive_c/windows/Fonts"
mkdir -p "$fonts"
[ -f /usr/share/wine/fonts/marlett.ttf ] && cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
/usr/lib/wine/wineserver -w
touch "$prefix/.velmora-ready"
