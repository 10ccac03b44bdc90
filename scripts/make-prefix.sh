#!/usr/bin/env bash
# Creates a 32-bit Wine prefix at $1 (no Gecko, no Mono).
set -eu
export WINEPREFIX="$1" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
wineboot -i >/dev/null 2>&1 || true
wineserver -w
test -f "$WINEPREFIX/system.reg"
