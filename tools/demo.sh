#!/bin/bash
# `make demo`: VelmoraSetup.exe installs the sample product afresh and then updates it, under
# Wine on a virtual display, against the sandbox download server; then a deployment tool's
# run, /quiet, updates it once more with no window at all. Screenshots of the progress
# and finish screens, the bootstrap log and the server's request log go to one folder; a
# summary is printed at the end. The namespace, every process and the prefix are removed.
# Usage: demo.sh BUILD_DIR
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" = --inside ]; then
  build=$2 out=$3
  prefix="$out/prefix"
  export WINEPREFIX="$prefix" WINEDEBUG=-all
  wine=/usr/lib/wine/wine64
  docroot=$VELMORA_SANDBOX_DOCROOT
  rate=400000  # bytes a second: a demo package takes about 8 s
  # The WebView2 runtime stands in as present, so the run goes straight to the installer.
  runtime="$prefix/drive_c/Program Files (x86)/Microsoft/EdgeWebView/Application/120.0.2210.91"
  mkdir -p "$runtime" && printf MZ > "$runtime/msedgewebview2.exe"

  window_size() {  # prints WIDTHxHEIGHT of the setup window, or nothing
    local id
    id=$(xdotool search --name '^Velmora Setup$' 2>/dev/null | head -1) || return 0
    [ -n "$id" ] && xdotool getwindowgeometry "$id" 2>/dev/null | sed -n 's/.*Geometry: //p'
  }

  publish_manifest() {  # VERSION: the manifest offers that package
    local version=$1 digest
    digest=$(sha256sum "$docroot/downloads/Velmora-Setup-$version-x64.msi" | cut -d' ' -f1)
    printf '{\n  "%s": "%s",\n  "%s": "https://downloads.velmora.test/downloads/Velmora-Setup-%s-x64.msi",\n  "%s": "sha256:%s",\n  "exeSize": 0\n}\n' \
      releaseVersion "$version" installerUrl "$version" installerSha256 "$digest" \
      > "$docroot/installer/manifest.json"
  }

  run_setup() {  # NAME VERSION: one run offering VERSION
    local name=$1 version=$2 shots="$out/screenshots" started ended size status
    publish_manifest "$version"
    # The package goes out at a modem's pace, so the progress screen shows a partly filled bar
    # and its percentage line while the picture is taken.
    printf '{"/downloads/Velmora-Setup-%s-x64.msi": "rate=%s"}' "$version" "$rate" > "$docroot/_behaviour.json"
    started=$(date +%s.%N)
    "$wine" "$build/win/VelmoraSetup.exe" </dev/null >/dev/null 2>&1 &
    local pid=$! shot_progress=0
    for _ in $(seq 1 600); do
      size=$(window_size)
      if [ "$shot_progress" = 0 ] && [ "$size" = "500x216" ] &&
         grep -q "GET /downloads/Velmora-Setup-$version-x64.msi 200" "$out/requests.log" 2>/dev/null; then
        sleep 3
        import -window root "$shots/$name-progress.png" && shot_progress=1
      fi
      if [ "$size" = "520x340" ]; then
        sleep 1
        import -window root "$shots/$name-finish.png"
        xdotool search --name '^Velmora Setup$' key --window %1 Return 2>/dev/null ||
          xdotool key Return
        break
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.2
    done
    wait "$pid"
    status=$?
    ended=$(date +%s.%N)
    awk -v n="$name" -v v="$version" -v s="$status" -v a="$started" -v b="$ended" \
      'BEGIN { printf "%-8s offered %s: exit %s after %.1f s\n", n, v, s, b - a }' >> "$out/summary.txt"
    sleep 2
    # The launched application is closed before the next run.
    for id in $(xdotool search --name '^Velmora$' 2>/dev/null); do xdotool windowclose "$id" 2>/dev/null; done
    sleep 1
  }

  /usr/lib/wine/wineserver -p
  "$wine" wineboot </dev/null >/dev/null 2>&1
  # A shell window, as on a signed-in desktop: Finish then launches Velmora with the shell
  # user's token rather than falling back to the administrator's own.
  "$wine" "$build/win/tests/win_launch_shell_window.exe" 'Local\VelmoraDemoShellReady' \
    'Local\VelmoraDemoShellQuit' </dev/null >/dev/null 2>&1 &
  sleep 2
  run_quiet() {  # VERSION: a deployment tool's unattended run, at the server's full pace
    local version=$1 started ended status code
    publish_manifest "$version"
    printf '{}' > "$docroot/_behaviour.json"
    started=$(date +%s.%N)
    "$wine" "$build/win/VelmoraSetup.exe" /quiet /norestart /log 'C:\quiet-update.log' </dev/null >/dev/null 2>&1
    status=$?
    ended=$(date +%s.%N)
    # Unix keeps only 8 bits of an exit code (3010 would read 194); the log has all of it.
    code=$(tr -d '\r' < "$prefix/drive_c/quiet-update.log" 2>/dev/null |
           sed -n 's/.*Unattended run ends with exit code \([0-9]*\)\./\1/p' | tail -1)
    awk -v v="$version" -v s="$status" -v c="${code:-?}" -v a="$started" -v b="$ended" \
      'BEGIN { printf "quiet    offered %s: exit %s (logged exit code %s) after %.1f s\n", v, s, c, b - a }' \
      >> "$out/summary.txt"
    cp "$prefix/drive_c/quiet-update.log" "$out/quiet-update.log" 2>/dev/null
  }

  run_setup install 1.1.7
  run_setup update 1.1.8
  run_quiet 1.1.9
  "$wine" reg query 'HKLM\Software\Velmora\Installer' /reg:64 2>/dev/null | tr -d '\r' | \
    grep -E 'Version|ProductCode|InstallFolder' >> "$out/summary.txt"
  cp "$prefix/drive_c/ProgramData/Velmora/Setup/bootstrapper.log" "$out/" 2>/dev/null
  # Which token each Finish launched Velmora with.
  grep -o 'Velmora launched .*' "$out/bootstrapper.log" >> "$out/summary.txt" 2>/dev/null
  # Windows Installer's logs stay in each run's private folder under the system's Temp.
  mkdir -p "$out/msiexec-logs"
  cp "$prefix"/drive_c/windows/temp/VelmoraSetup-*/Velmora-*.log "$out/msiexec-logs/" 2>/dev/null
  /usr/lib/wine/wineserver -k
  /usr/lib/wine/wineserver -w
  exit 0
fi

# A package of the sample VERSION whose Velmora.exe carries 3 MiB of random bytes after its
# image (an overlay the loader never maps). Wine's WinHTTP hands over 256 KiB at a time, so
# only a package of several times that shows the bar filling while it downloads.
demo_package() {  # VERSION [SAMPLE_VERSION]: SAMPLE_VERSION's Velmora.exe, packaged as VERSION
  local version=$1 work="$out/package-$1" sample="$build/win/sample"
  mkdir -p "$work/$version"
  cp "$sample/${2:-$version}/Velmora.exe" "$work/$version/Velmora.exe"
  head -c 3145728 /dev/urandom >> "$work/$version/Velmora.exe"
  cp "$sample/velmora_refuse_downgrade.dll" "$work/"
  (cd "$work" && wixl -a x64 -D Version="$version" \
     -D ProductCode="$(python3 -c 'import uuid; print(str(uuid.uuid4()).upper())')" \
     -D UpgradeCode=F421011D-3EE6-4B0D-9B80-76C0AE2319FC -D AppExe="$version/Velmora.exe" \
     -D RefuseDowngradeDll=velmora_refuse_downgrade.dll \
     -o "$out/docroot/downloads/Velmora-Setup-$version-x64.msi" "$root/sample/velmora.wxs") || exit 1
  rm -rf "$work"
}

build=$(cd "${1:-build}" && pwd)
out="$build/demo"
rm -rf "$out"
mkdir -p "$out/docroot/downloads" "$out/docroot/installer" "$out/screenshots"
demo_package 1.1.7
demo_package 1.1.8
demo_package 1.1.9 1.1.8
"$root/tools/wine/make_prefix.sh" "$out/prefix"
"$root/tools/sandbox/with_sandbox.sh" --docroot "$out/docroot" --log "$out/requests.log" -- \
  xvfb-run -a -s "-screen 0 1280x800x24" "$0" --inside "$build" "$out"
status=$?
rm -rf "$out/prefix" "$out/prefix.lock" "$out/docroot"
# The window alone, without the empty display around it.
for shot in "$out"/screenshots/*.png; do
  [ -f "$shot" ] && /usr/bin/convert "$shot" -trim +repage "$shot"
done
echo
echo "== Velmora Setup demo"
cat "$out/summary.txt" 2>/dev/null
echo "requests served: $(wc -l < "$out/requests.log" 2>/dev/null || echo 0)"
echo "screenshots:     $out/screenshots/"
ls -1 "$out/screenshots" 2>/dev/null | sed 's/^/  /'
echo "bootstrap log:   $out/bootstrapper.log (the /quiet run's copy: $out/quiet-update.log)"
echo "msiexec logs:    $out/msiexec-logs/"
ls -1 "$out/msiexec-logs" 2>/dev/null | sed 's/^/  /'
exit $status
