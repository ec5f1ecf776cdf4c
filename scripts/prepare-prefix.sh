#!/bin/sh
# Creates the 32-bit Wine prefix once and maps the Japanese dialog fonts to the installed IPA Gothic.
set -e
# Without a window manager, windows stay unmanaged: else hiding every dialog waits 2 s for one.
unmanaged() {
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  wineserver -w
  touch "$WINEPREFIX/.extavik-unmanaged"
}
if [ -f "$WINEPREFIX/.extavik-ready" ]; then
  [ -f "$WINEPREFIX/.extavik-unmanaged" ] || unmanaged
  exit 0
fi
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

; No window manager draws captions under Xvfb: Wine draws them itself (they show in screenshots).
[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Decorated"="N"
REG
wine regedit "$reg" >/dev/null 2>&1 || true
wineserver -w
unmanaged
touch "$WINEPREFIX/.extavik-ready"
