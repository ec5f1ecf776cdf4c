#!/bin/sh
# Runs one Windows program under 32-bit Wine with the environment the tests expect:
# code page 932, no debug noise, no Mono/Gecko prompts, a prefix inside the build tree.
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:=${EXTAVIK_WINEPREFIX:-$here/../build/wineprefix}}"
export WINEPREFIX
export WINEARCH=win32
export LC_ALL=ja_JP.UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
: "${DISPLAY:=:99}"
export DISPLAY
exec wine "$@"
