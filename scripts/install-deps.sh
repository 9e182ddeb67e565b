#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test the plug-in; does nothing
# when everything is there.
#
#   install-deps.sh [--wine32] [--screenshots]
#
# The build, the 64-bit Windows tests and the main job need amd64 packages only. --wine32
# also tries the 32-bit Wine for the 32-bit test lane (the i386 architecture, wine32, and
# qemu's user-mode emulator where the kernel runs no 32-bit programs); its failure is a
# notice, never an error. --screenshots also installs what scripts/screenshots.sh needs
# (ImageMagick, xdotool, Wine's own fonts).
#
# A package index that fails to download (a mirror in the middle of a sync) does not stop
# the install: apt-get install decides, and a package that is still missing is named.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/platform.sh"

want_wine32=0
want_screenshots=0
for arg in "$@"; do
  case "$arg" in
    --wine32) want_wine32=1 ;;
    --screenshots) want_screenshots=1 ;;
    *) echo "install-deps: unknown argument '$arg'" >&2; exit 2 ;;
  esac
done

packages=(
  g++ cmake ninja-build ccache
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 xvfb xauth
  googletest nlohmann-json3-dev libcli11-dev
  clang-14 libclang-rt-14-dev llvm-14
  fp-utils
)
if [ "$want_screenshots" = 1 ]; then packages+=(imagemagick xdotool fonts-wine); fi

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive

is_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing_of() {
  local p
  for p in "$@"; do is_installed "$p" || echo "$p"; done
}

index_updated=0
update_index() {
  [ "$index_updated" = 1 ] && return 0
  index_updated=1
  if ! "${sudo_cmd[@]}" apt-get update -qq; then
    echo "install-deps: NOTICE: the package index did not fully download; installing from what is there" >&2
  fi
}

# Installs the packages; on failure names the ones still missing and returns 1.
install_packages() {
  local missing
  mapfile -t missing < <(missing_of "$@")
  [ "${#missing[@]}" -eq 0 ] && return 0
  echo "install-deps: installing: ${missing[*]}" >&2
  update_index
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || true
  mapfile -t missing < <(missing_of "${missing[@]}")
  if [ "${#missing[@]}" -ne 0 ]; then
    echo "install-deps: could not install: ${missing[*]}" >&2
    return 1
  fi
}

if ! install_packages "${packages[@]}"; then
  echo "install-deps: the build needs these packages; see apt-get's messages above" >&2
  exit 1
fi

[ "$want_wine32" = 1 ] || exit 0

# The 32-bit lane: best effort only.
wine32_notice() {
  echo "install-deps: NOTICE: $*; the 32-bit Wine lane cannot run here" >&2
  exit 0
}
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386 || wine32_notice "the i386 architecture could not be added"
  index_updated=0
fi
extra=(wine32:i386)
runs_32bit_natively || extra+=(qemu-user-static)
install_packages "${extra[@]}" || wine32_notice "the 32-bit Wine could not be installed"
"$here/enable-i386-programs.sh" || wine32_notice "32-bit programs cannot be started"
