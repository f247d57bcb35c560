# Sourced by the Wine test scripts: a Wine prefix of the test's own, Wine's notes and its .NET
# and HTML installers off, an X server, and what was started here ended when the script exits.
#
# Needs QM_WINE (wine64) and QM_WORK (a scratch folder that keeps the prefix between runs).
# Gives $wineserver, pass and fail (counting in $failures), winpath, wine_own_display,
# wine_display and wine_prefix. A script that starts processes of its own may define
# wine_cleanup_extra to end them first.
: "${QM_WINE:?}" "${QM_WORK:?}"
export WINEPREFIX=$QM_WORK/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver=$(dirname "$QM_WINE")/wineserver
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
# Wine takes Windows paths; the Z: drive is the Unix root.
winpath() { echo "Z:$1" | tr / '\\'; }

wine_xvfb_pid=
wine_cleanup() {
  if declare -F wine_cleanup_extra >/dev/null; then wine_cleanup_extra; fi
  "$wineserver" -k 2>/dev/null
  [ -n "$wine_xvfb_pid" ] && kill "$wine_xvfb_pid" 2>/dev/null
}
trap wine_cleanup EXIT
mkdir -p "$QM_WORK"

# An X server of its own (screen WxHxD, default 1280x1024x24) on a display Xvfb finds free, so
# that no other test's windows share it; DISPLAY names it.
wine_own_display() {
  local file=$QM_WORK/display
  rm -f "$file"
  Xvfb -displayfd 3 -screen 0 "${1:-1280x1024x24}" -nolisten tcp 3>"$file" >/dev/null 2>&1 &
  wine_xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$file" ] && break; sleep 0.1; done
  [ -s "$file" ] || { echo "Xvfb did not start"; exit 1; }
  export DISPLAY=:$(head -n 1 "$file")
}

# The X server DISPLAY names, or one of its own when it names none.
wine_display() { [ -n "${DISPLAY:-}" ] || wine_own_display "$@"; }

# The prefix, made on first use. A Wine session left from an earlier run would keep its windows
# on that run's display: it is ended first.
wine_prefix() {
  "$wineserver" -k 2>/dev/null
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    timeout 300 "$QM_WINE" wineboot --init >/dev/null 2>&1 || { echo "cannot create the Wine prefix"; exit 1; }
  fi
}
