#!/usr/bin/env bash
# Installs what building and testing need on a Debian x86-64 machine, as root.
# Idempotent: every step checks first and returns quickly when all is in place.
#   install-deps.sh build   cross compiler and build tools only
#   install-deps.sh test    also Wine (32-bit), qemu-user and the binfmt entry it needs
set -euo pipefail
what=${1:-test}

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

missing() {
  local p out=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || out+=("$p")
  done
  printf '%s\n' "${out[@]}"
}

apt_updated=0
apt_install() {
  local need
  need=$(missing "$@")
  [ -z "$need" ] && return 0
  if [ $apt_updated = 0 ]; then as_root apt-get update -qq; apt_updated=1; fi
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends $need
}

build_pkgs=(cmake make g++ g++-mingw-w64-i686 binutils-mingw-w64-i686 libz-mingw-w64-dev
            googletest python3 zlib1g-dev libbenchmark-dev clang libclang-rt-14-dev nlohmann-json3-dev)
apt_install "${build_pkgs[@]}"

[ "$what" = build ] && exit 0

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
  apt_updated=0
fi
apt_install wine wine32:i386 wine64 qemu-user

# Where the kernel cannot run 32-bit x86 code itself, hand i386 ELF files to qemu.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
    as_root mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  fi
  if [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    qemu=$(command -v qemu-i386 || true)
    [ -n "$qemu" ] || { echo "install-deps: qemu-i386 not found" >&2; exit 1; }
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    # F: open the interpreter now, so it works inside any mount namespace.
    echo ":qemu-i386:M::${magic}:${mask}:${qemu}:F" | as_root tee /proc/sys/fs/binfmt_misc/register >/dev/null
  fi
fi
