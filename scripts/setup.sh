#!/bin/sh
# Installs what the build and the tests need, only when something is missing. Safe to run often.
set -e
need=""
pkgs="wine wine32:i386 g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 cmake make xvfb googletest nlohmann-json3-dev fonts-ipafont-gothic locales"
[ -n "$EXTRA_PACKAGES" ] && pkgs="$pkgs $EXTRA_PACKAGES"
for p in $pkgs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need="$need $p"
done
SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo
if [ -n "$need" ]; then
  echo "setup: installing$need"
  dpkg --print-foreign-architectures | grep -q i386 || $SUDO dpkg --add-architecture i386
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $need >/dev/null
fi
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
  echo "setup: generating the ja_JP.UTF-8 locale"
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
