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
ls "$out"
