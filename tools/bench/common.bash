# What the program benchmarks share, sourced by them (not run by `make bench`): a docroot with
# the 1.1.8 sample package and its manifest, a Wine prefix, and inside the sandbox the
# program's Windows path and a WebView2 runtime marker, so that no prompt holds a run up.

# bench_prepare NAME: builds what the runs use and sets work, a folder removed on exit, with
# work/docroot holding the package and work/prefix; sets bench_digest. Uses root and build.
bench_prepare() {
  cmake --build "$build/win" -j 2 --target VelmoraSetup win_setup_timing_probe velmora_packages >/dev/null
  work=$(mktemp -d "/tmp/velmora-$1.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/docroot/downloads" "$work/docroot/installer"
  cp "$build/win/packages/Velmora-Setup-1.1.8-x64.msi" "$work/docroot/downloads/"
  bench_digest=$(sed -n 's/^Velmora-Setup-1.1.8-x64.msi size=[0-9]* sha256=\([0-9a-f]*\)$/\1/p' \
    "$build/win/packages/packages.txt")
  "$root/tools/wine/make_prefix.sh" "$work/prefix"
}

# bench_manifest PACKAGE_HOST: the manifest offering 1.1.8 from that host.
bench_manifest() {
  printf '{"releaseVersion": "1.1.8", "installerUrl": "https://%s/downloads/Velmora-Setup-1.1.8-x64.msi", "installerSha256": "%s", "exeSize": 0}' \
    "$1" "$bench_digest" > "$work/docroot/installer/manifest.json"
}

# bench_run_inside SCRIPT [SANDBOX_OPTION...]: runs SCRIPT again, with BENCH_INSIDE=yes, in the
# sandbox namespace, on Xvfb, with the prefix's wineserver.
bench_run_inside() {
  local script=$1
  shift
  BENCH_INSIDE=yes "$root/tools/sandbox/with_sandbox.sh" --docroot "$work/docroot" "$@" -- \
    xvfb-run -a -s "-screen 0 1280x800x24" \
    "$root/tools/wine/with_wineserver.sh" "$work/prefix" "$script" "$build"
}

# bench_inside BUILD: sets wine and exe, and puts the WebView2 marker into the prefix.
bench_inside() {
  wine=/usr/lib/wine/wine64
  exe=$(winepath -w "$1/win/VelmoraSetup.exe" 2>/dev/null || echo "Z:${1//\//\\}\\win\\VelmoraSetup.exe")
  local runtime="$WINEPREFIX/drive_c/Program Files (x86)/Microsoft/EdgeWebView/Application/120.0.2210.91"
  mkdir -p "$runtime" && printf MZ > "$runtime/msedgewebview2.exe"
}
