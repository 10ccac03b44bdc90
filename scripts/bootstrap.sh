#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12. Quick when all is there.
set -euo pipefail

need=(wine wine64 wine32:i386 g++-mingw-w64-i686 mingw-w64-tools cmake ninja-build
      googletest xvfb xauth msitools gcab nsis wixl icoutils bc python3 chromium)

missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=
[ "$(id -u)" -ne 0 ] && SUDO=sudo
echo "bootstrap: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
