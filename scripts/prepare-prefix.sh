#!/bin/sh
# Makes the Wine prefix ready once (of the kind wine-env.sh set): each step below runs once per
# prefix and leaves a marker, so a prefix made before a step was added gets just that step.
set -e
# A new prefix.
create() {
  mkdir -p "$WINEPREFIX"
  "$WINE" wineboot -i >/dev/null 2>&1 || true
  wineserver -w
}
# The Japanese dialog fonts mapped to the installed IPA Gothic; no window manager draws captions
# under Xvfb, so Wine draws them itself (they show in screenshots).
fonts() {
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

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Decorated"="N"
REG
  "$WINE" regedit "$reg" >/dev/null 2>&1 || true
  wineserver -w
}
# Without a window manager, windows stay unmanaged: else hiding every dialog waits 2 s for one.
unmanaged() {
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  wineserver -w
}
# The caption buttons are glyphs of Marlett, which Wine ships (fonts-wine); without it the close
# box shows as the letter "r".
marlett() {
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  "$WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' /v 'Marlett (TrueType)' \
    /d marlett.ttf /f >/dev/null 2>&1 || true
  wineserver -w
}
# A crashing program ends at once: winedbg prints the fault and a backtrace to standard error
# and ends the process, instead of showing a crash dialog that nobody can press under Xvfb.
nodialog() {
  "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
  wineserver -w
}
# The prefix made before these steps had markers is the one of the first three steps.
[ -f "$WINEPREFIX/.extavik-ready" ] && touch "$WINEPREFIX/.extavik-create" "$WINEPREFIX/.extavik-fonts"
for step in create fonts unmanaged marlett nodialog; do
  [ -f "$WINEPREFIX/.extavik-$step" ] && continue
  $step
  touch "$WINEPREFIX/.extavik-$step"
done
