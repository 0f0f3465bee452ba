# What the program benchmarks share, sourced by them (not run by `make bench`): a docroot with
# the 1.1.8 sample package and its manifest, a Wine prefix, and inside the sandbox the
# program's Windows path and a WebView2 runtime marker, so that no prompt holds a run up.

# bench_docroot WORK BUILD: WORK/docroot holding the package, WORK/prefix; sets bench_digest.
bench_docroot() {
  mkdir -p "$1/docroot/downloads" "$1/docroot/installer"
  cp "$2/win/packages/Velmora-Setup-1.1.8-x64.msi" "$1/docroot/downloads/"
  bench_digest=$(sed -n 's/^Velmora-Setup-1.1.8-x64.msi size=[0-9]* sha256=\([0-9a-f]*\)$/\1/p' \
    "$2/win/packages/packages.txt")
  "$root/tools/wine/make_prefix.sh" "$1/prefix"
}

# bench_manifest WORK PACKAGE_HOST: the manifest offering 1.1.8 from that host.
bench_manifest() {
  printf '{"releaseVersion": "1.1.8", "installerUrl": "https://%s/downloads/Velmora-Setup-1.1.8-x64.msi", "installerSha256": "%s", "exeSize": 0}' \
    "$2" "$bench_digest" > "$1/docroot/installer/manifest.json"
}

# bench_inside BUILD: sets wine and exe, and puts the WebView2 marker into the prefix.
bench_inside() {
  wine=/usr/lib/wine/wine64
  exe=$(winepath -w "$1/win/VelmoraSetup.exe" 2>/dev/null || echo "Z:${1//\//\\}\\win\\VelmoraSetup.exe")
  local runtime="$WINEPREFIX/drive_c/Program Files (x86)/Microsoft/EdgeWebView/Application/120.0.2210.91"
  mkdir -p "$runtime" && printf MZ > "$runtime/msedgewebview2.exe"
}
