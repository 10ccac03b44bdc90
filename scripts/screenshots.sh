#!/usr/bin/env bash
# Pictures of every wizard page and message box in <build>/screenshots, taken
# under a virtual display inside a Wine desktop (so that Wine draws the frames).
set -euo pipefail
build_dir=$(cd "${1:-build}" && pwd)
out="$build_dir/screenshots"
rm -rf "$out"
mkdir -p "$out"
export WINEPREFIX="$build_dir/wineprefix" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
cd "$build_dir/tests"
xvfb-run -a -s "-screen 0 1280x1024x24" \
  wine explorer /desktop=CorvaneShots,1200x900 wizard_screenshots.exe "$(winepath -w "$out")"
wineserver -w || true
# The first screen of the capture report of the page's build, as a browser shows it.
if [ -f "$out/CaptureReport.html" ] && command -v chromium >/dev/null; then
  profile=$(mktemp -d)
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$profile" --screenshot="$out/CaptureReport.png" \
    --window-size=1280,900 "file://$out/CaptureReport.html" >/dev/null 2>&1 || echo "the report could not be pictured"
  rm -rf "$profile"
fi
ls "$out"
