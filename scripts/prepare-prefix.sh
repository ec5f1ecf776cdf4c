#!/bin/sh
# Creates the 32-bit Wine prefix once and maps the Japanese dialog fonts to the installed IPA Gothic.
set -e
[ -f "$WINEPREFIX/.extavik-ready" ] && exit 0
mkdir -p "$WINEPREFIX"
wineboot -i >/dev/null 2>&1 || true
wineserver -w
reg="$WINEPREFIX/fonts.reg"
iconv -f UTF-8 -t CP932 > "$reg" <<'REG'
REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"MS Gothic"="IPAGothic"
"MS PGothic"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
"ＭＳ Ｐゴシック"="IPAPGothic"
"MS Shell Dlg"="IPAPGothic"
"MS Shell Dlg 2"="IPAPGothic"
REG
wine regedit "$reg" >/dev/null 2>&1 || true
wineserver -w
touch "$WINEPREFIX/.extavik-ready"
