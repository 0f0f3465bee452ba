#!/bin/sh
# Makes the test-run Wine prefix: a fresh wineboot, "Segoe UI" resolved to Liberation Sans so
# that GDI+ text draws, Wine's own window frames (no window manager runs under Xvfb), and the
# user's shell folders as real folders inside the prefix.
# Safe to call concurrently: the first caller builds, the others wait on the lock.
set -eu
prefix=$1
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
# The user's shell folders (Desktop, Documents, Downloads, ...) as real folders of the prefix.
# Wine links them to the home folder, so a shortcut written there would land outside the build
# folder, and the setup refuses a desktop that is a link. Also mends a prefix made before.
real_shell_folders() {
  for folder in "$prefix"/drive_c/users/*/*; do
    if [ -L "$folder" ]; then rm "$folder" && mkdir "$folder"; fi
  done
}
if [ -f "$prefix/.velmora-ready" ]; then
  real_shell_folders
  exit 0
fi
rm -rf "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all
wine=/usr/lib/wine/wine64
# No display is needed to make the prefix; keeping DISPLAY away makes wineboot quicker.
env -u DISPLAY "$wine" wineboot -i >/dev/null 2>&1
reg() { env -u DISPLAY "$wine" reg add "$@" /f >/dev/null 2>&1; }
reg 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v 'Segoe UI' /t REG_SZ /d 'Liberation Sans'
reg 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
reg 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N
# A crashing test program must fail at once, not wait in the automatic debugger.
env -u DISPLAY "$wine" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f >/dev/null 2>&1
fonts="$prefix/drive_c/windows/Fonts"
mkdir -p "$fonts"
[ -f /usr/share/wine/fonts/marlett.ttf ] && cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
/usr/lib/wine/wineserver -w
real_shell_folders
touch "$prefix/.velmora-ready"
