# The environment every Wine call of the project runs in: code page 932, no debug noise, no
# Mono/Gecko prompts, a prefix inside the build tree. Sourced; sets WINE to the loader to call.
#   ARCH   i686 (default: the product, a win32 prefix) or x86_64 (the 64-bit variant, win64)
#   BUILD  the build tree that holds the prefix
: "${ARCH:=i686}"
case "$ARCH" in
  i686) WINEARCH=win32 WINE=wine ;;
  # The 64-bit loader directly: through the 32-bit one it would first start a 32-bit process.
  x86_64) WINEARCH=win64 WINE=/usr/lib/wine/wine64; [ -x "$WINE" ] || WINE=wine64 ;;
  *) echo "ARCH is '$ARCH': use i686 or x86_64" >&2; exit 2 ;;
esac
export ARCH WINEARCH WINE
export WINEPREFIX="${WINEPREFIX:-$BUILD/wineprefix}"
export LC_ALL=ja_JP.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Runs a Windows program; when it fails, one line on standard error names it and its status. A
# crash ends it at once (the prefix starts no crash dialog), with the debugger's lines above.
wine_checked() {
  if "$WINE" "$@"; then return 0; else rc=$?; fi
  echo "$(basename "$1"): ended with status $rc (a crash shows 'Unhandled exception' above)" >&2
  return $rc
}
