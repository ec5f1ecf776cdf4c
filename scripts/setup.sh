#!/bin/sh
# Installs what the build and the tests need, only when something is missing. Safe to run often.
# Its first line says how 32-bit x86 code runs here: natively, or emulated by qemu-user where the
# kernel runs none (then the emulator is installed and registered with binfmt_misc).
#   I386=emulate          emulate even where the kernel runs 32-bit code (to test that path)
#   I386=native           never emulate: fail where the kernel runs no 32-bit code
#   ARCH=x86_64           also the tools of the 64-bit variant (mingw-w64 x86_64, wine64)
#   EXTRA_PACKAGES        more Debian packages to install
#   setup.sh --undo-emulation   removes the emulator's registration
#   setup.sh --mode             prints how 32-bit code runs now and changes nothing
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/i386.sh"

case "$1" in
  --mode) i386_mode; exit 0 ;;
  --undo-emulation)
    i386_undo
    echo "i386: emulation entries removed; 32-bit code now runs $(i386_native && echo natively || echo nowhere)"
    exit 0 ;;
  "") ;;
  *) echo "usage: setup.sh [--mode | --undo-emulation]" >&2; exit 2 ;;
esac

choose_i386() {
  case "${I386:-auto}" in
    emulate)
      i386_emulate
      echo "i386: $(i386_mode) (I386=emulate; scripts/setup.sh --undo-emulation undoes it)" ;;
    native)
      if i386_registered; then
        i386_undo
        echo "i386: removed the emulation entries (I386=native)"
      fi
      if ! i386_probe; then
        echo "i386: this kernel runs no 32-bit x86 code, and I386=native refuses to emulate it" >&2
        exit 1
      fi
      echo "i386: native" ;;
    auto)
      if i386_native; then
        if i386_registered; then
          echo "i386: $(i386_mode) (registered earlier; scripts/setup.sh --undo-emulation undoes it)"
        else
          echo "i386: native"
        fi
      else
        i386_emulate
        echo "i386: $(i386_mode) (this kernel runs no 32-bit x86 code: qemu-i386 registered with binfmt_misc)"
      fi ;;
    *) echo "i386: I386 is '$I386'; use emulate or native" >&2; exit 2 ;;
  esac
}
choose_i386

need=""
# wine64 gives the native 64-bit wineserver, so only 32-bit clients are ever emulated.
pkgs="wine wine32:i386 wine64 fonts-wine g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 cmake make xvfb googletest nlohmann-json3-dev fonts-ipafont-gothic locales socat rpcbind python3-pyvisa-py"
[ "$ARCH" = x86_64 ] && pkgs="$pkgs g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64"
[ -n "$EXTRA_PACKAGES" ] && pkgs="$pkgs $EXTRA_PACKAGES"
for p in $pkgs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need="$need $p"
done
if [ -n "$need" ]; then
  echo "setup: installing$need"
  dpkg --print-foreign-architectures | grep -q i386 || $I386_SUDO dpkg --add-architecture i386
  # A mirror that is being synced fails one index now and then ("File has unexpected size"):
  # ask again, and go on with the indexes that did arrive; the install says whether they suffice.
  updated=no
  for try in 1 2 3; do
    $I386_SUDO apt-get update -qq && { updated=yes; break; }
    echo "setup: apt-get update failed (try $try of 3)" >&2
    [ $try -lt 3 ] && sleep 20
  done
  if ! DEBIAN_FRONTEND=noninteractive $I386_SUDO apt-get install -y -qq $need >/dev/null; then
    [ $updated = yes ] && exit 1
    # Without one architecture's security index, the other's security versions of a shared
    # library cannot be matched: this install takes the release's versions (pinned for it alone).
    echo "setup: installing again with the security suite below the release, for this install only" >&2
    pin=$(mktemp)
    printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' >"$pin"
    DEBIAN_FRONTEND=noninteractive $I386_SUDO apt-get -o Dir::Etc::Preferences="$pin" install -y -qq $need >/dev/null
    rm -f "$pin"
  fi
fi
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
  echo "setup: generating the ja_JP.UTF-8 locale"
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ja_JP.UTF-8 UTF-8' | $I386_SUDO tee -a /etc/locale.gen >/dev/null
  $I386_SUDO locale-gen >/dev/null
fi
