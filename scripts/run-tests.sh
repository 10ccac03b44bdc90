#!/usr/bin/env bash
# Runs the whole test suite under Wine with a virtual display.
set -euo pipefail
build_dir=$(cd "${1:-build}" && pwd)
export WINEPREFIX="$build_dir/wineprefix" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
# One persistent wineserver for the whole run: every test process reuses it.
# A server left running (say, pinned to one CPU by a benchmark) is ended first.
wineserver -k >/dev/null 2>&1 || true
wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# Start Wine's own services now, with no pipes of ctest's to inherit: a service
# that holds a test's output pipe open keeps ctest waiting for ever.
wineboot >/dev/null 2>&1 </dev/null || true
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir "$build_dir" --output-on-failure --timeout 1800
