#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test the plug-in.
# Does nothing when everything is already there.
set -euo pipefail

packages=(
  g++ g++-mingw-w64-i686 binutils-mingw-w64-i686 cmake ninja-build
  wine wine32 wine64 xvfb xauth googletest nlohmann-json3-dev libcli11-dev
  qemu-user-static
)

missing=()
for p in "${packages[@]}"; do
  arch_p="$p"
  [ "$p" = wine32 ] && arch_p="wine32:i386"
  [ "$p" = wine64 ] && arch_p="wine64:amd64"
  dpkg-query -W -f='${Status}' "$arch_p" 2>/dev/null | grep -q "install ok installed" || missing+=("$arch_p")
done

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_i386=1
else
  need_i386=0
fi

if [ "${#missing[@]}" -eq 0 ] && [ "$need_i386" -eq 0 ]; then
  exec "$(dirname "$0")/enable-i386-programs.sh"
fi

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

echo "install-deps: installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
[ "$need_i386" -eq 1 ] && "${sudo_cmd[@]}" dpkg --add-architecture i386
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
exec "$(dirname "$0")/enable-i386-programs.sh"
