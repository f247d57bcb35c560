#!/usr/bin/env bash
# A person at the screen, played by xdotool: the win64 plughost run with --interactive under
# Wine leaves the plug-in's real dialogs alone, and the keys typed into them decide the run.
#   coralin: the settings dialog, Return; the system save dialog, a typed name, Return: the JPEG
#            is written and equals the native build's with the same default settings.
#   tessaro: the conversion dialog, Return: the image is written, Tessaro.ini appears beside
#            the plug-in, and the pixels equal the native build's with the defaults.
# One screenshot of each dialog is kept in QM_WORK.
#
# Environment: QM_WINE (wine64), QM_PLUGHOST and QM_PLUGIN (the win64 plughost.exe and plug-in),
# QM_NATIVE_PLUGHOST and QM_NATIVE_PLUGIN (the native builds), QM_SAMPLE (the bundled input),
# QM_WORK (a scratch folder that keeps its own Wine prefix between runs). The test runs its own
# Xvfb.
set -uo pipefail
case ${1:-} in coralin | tessaro) which=$1 ;; *) echo "usage: $0 coralin|tessaro"; exit 2 ;; esac
: "${QM_WINE:?}" "${QM_PLUGHOST:?}" "${QM_PLUGIN:?}" "${QM_NATIVE_PLUGHOST:?}" "${QM_NATIVE_PLUGIN:?}"
: "${QM_SAMPLE:?}" "${QM_WORK:?}"
. "$(dirname "${BASH_SOURCE[0]}")/../wine_env.sh"

run_pid=
wine_cleanup_extra() { [ -n "$run_pid" ] && kill "$run_pid" 2>/dev/null; }
# An X server of its own even when DISPLAY names one: keys typed on a shared screen could reach
# another test's window of the same name.
wine_own_display

for f in "$QM_PLUGHOST" "$QM_PLUGIN" "$QM_NATIVE_PLUGHOST" "$QM_NATIVE_PLUGIN" "$QM_SAMPLE"; do
  [ -f "$f" ] || { echo "missing $f"; exit 1; }
done
wine_prefix
# Each run starts from copies of its own: the preset and settings files live beside the host
# program and the plug-in.
run=$QM_WORK/run
rm -rf "$run"
mkdir -p "$run/win/plugin" "$run/native/plugin" "$run/native/config"
cp "$QM_PLUGHOST" "$run/win/plughost.exe"
cp "$QM_PLUGIN" "$run/win/plugin/"
cp "$QM_NATIVE_PLUGHOST" "$run/native/plughost"
cp "$QM_NATIVE_PLUGIN" "$run/native/plugin/"
plugin=$run/win/plugin/$(basename "$QM_PLUGIN")
native_plugin=$run/native/plugin/$(basename "$QM_NATIVE_PLUGIN")

# Waits (bounded) for a visible window whose name matches; prints its id.
window() { timeout "${2:-60}" xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n 1; }
# Types into the window that has the keyboard, as a person would.
keys() {
  xdotool windowfocus --sync "$1" 2>/dev/null
  shift
  xdotool "$@"
}
# Waits up to $1 seconds for the Wine run to end; its status in $rc, 124 if it did not.
finish() {
  local i
  rc=124
  for i in $(seq $(($1 * 5))); do
    if ! kill -0 "$run_pid" 2>/dev/null; then
      wait "$run_pid"
      rc=$?
      run_pid=
      return
    fi
    sleep 0.2
  done
  kill "$run_pid" 2>/dev/null
  run_pid=
}
shoot() {  # file, the fewest colours a drawn dialog shows (a blank screen has one)
  if ! import -window root "$1" 2>/dev/null; then
    fail "screenshot $1"
    return
  fi
  local n
  n=$(identify -format '%k' "$1" 2>/dev/null)
  if [ "${n:-0}" -ge "$2" ]; then pass "screenshot $1 ($n colours)"; else fail "screenshot $1 has ${n:-no} colours"; fi
}
same_pixels() {  # a b: the same size and the same 8-bit RGB values
  [ "$(identify -format '%wx%h' "$1" 2>/dev/null)" = "$(identify -format '%wx%h' "$2" 2>/dev/null)" ] &&
    cmp -s <(convert "$1" -depth 8 rgb:-) <(convert "$2" -depth 8 rgb:-)
}

if [ "$which" = coralin ]; then
  native_jpg=$run/native/native.jpg typed=$run/typed.jpg
  if ! (cd "$run/native" && XDG_CONFIG_HOME=$run/native/config ./plughost filter "$native_plugin" "$QM_SAMPLE" \
        --save-as "$native_jpg" --progress quiet >native.out 2>native.err); then
    fail "native run: $(cat "$run/native/native.err")"
  fi
  timeout 300 "$QM_WINE" "$run/win/plughost.exe" filter "$(winpath "$plugin")" "$(winpath "$QM_SAMPLE")" \
    --interactive --progress quiet >"$run/wine.out" 2>"$run/wine.err" &
  run_pid=$!
  wid=$(window 'Coralin\[tm\] 6\.0')
  if [ -z "$wid" ]; then
    fail "the settings dialog did not show: $(tr -d '\r' <"$run/wine.err")"
    exit 1
  fi
  pass "the settings dialog shows"
  sleep 3  # the panes fill and the size is measured
  shoot "$QM_WORK/coralin-dialog.png" 1000  # the picture in both panes
  if kill -0 "$run_pid" 2>/dev/null && [ -n "$(window 'Coralin\[tm\] 6\.0' 2)" ]; then
    pass "the dialog waits for the person"
  else
    fail "the dialog was answered without the person"
  fi
  keys "$wid" key --clearmodifiers Return
  sid=$(window '^Save As$' 30)
  if [ -z "$sid" ]; then
    fail "Return did not lead to the save dialog: $(tr -d '\r' <"$run/wine.err")"
    exit 1
  fi
  pass "Return accepts the settings; the save dialog shows"
  sleep 1
  shoot "$QM_WORK/coralin-save-dialog.png" 16
  [ -n "$(window '^Save As$' 2)" ] || fail "the save dialog was closed without the person"
  # The name field has the keyboard with the suggested name selected: typing replaces it.
  keys "$sid" key --clearmodifiers ctrl+a
  keys "$sid" type --delay 20 "$(winpath "$typed")"
  keys "$sid" key --clearmodifiers Return
  finish 60
  if [ "$rc" -eq 0 ]; then pass "the run ends"; else fail "the run ended with $rc: $(tr -d '\r' <"$run/wine.err")"; fi
  if [ -f "$typed" ] && [ "$(head -c 2 "$typed" | od -An -tx1 | tr -d ' ')" = ffd8 ]; then
    pass "the typed name is a JPEG file"
  else
    fail "no JPEG at the typed name ($(ls "$run"))"
  fi
  size=$(identify -format '%wx%h' "$typed" 2>/dev/null)
  want=$(identify -format '%wx%h' "$native_jpg" 2>/dev/null)
  if [ -n "$size" ] && [ "$size" = "$want" ]; then pass "it decodes at $size"; else fail "decodes at '$size', not '$want'"; fi
  if cmp -s "$typed" "$native_jpg"; then pass "the same bytes as the native run"; else fail "bytes differ from the native run"; fi
else
  native_png=$run/native/native.png wine_png=$run/wine.png
  if ! (cd "$run/native" && ./plughost open "$native_plugin" "$QM_SAMPLE" -o "$native_png" --format png \
        --progress quiet >native.out 2>native.err); then
    fail "native run: $(cat "$run/native/native.err")"
  fi
  timeout 300 "$QM_WINE" "$run/win/plughost.exe" open "$(winpath "$plugin")" "$(winpath "$QM_SAMPLE")" \
    -o "$(winpath "$wine_png")" --format png --interactive --progress quiet >"$run/wine.out" 2>"$run/wine.err" &
  run_pid=$!
  wid=$(window '^Tessaro')
  if [ -z "$wid" ]; then
    fail "the conversion dialog did not show: $(tr -d '\r' <"$run/wine.err")"
    exit 1
  fi
  pass "the conversion dialog shows"
  sleep 3  # the live preview is drawn in steps
  shoot "$QM_WORK/tessaro-dialog.png" 16
  if kill -0 "$run_pid" 2>/dev/null && [ -n "$(window '^Tessaro' 2)" ]; then
    pass "the dialog waits for the person"
  else
    fail "the dialog was answered without the person"
  fi
  [ -f "$run/win/plugin/Tessaro.ini" ] && fail "Tessaro.ini before the dialog was accepted"
  keys "$wid" key --clearmodifiers Return
  finish 90
  if [ "$rc" -eq 0 ]; then pass "Return accepts the dialog; the run ends"; else fail "the run ended with $rc: $(tr -d '\r' <"$run/wine.err")"; fi
  if [ -f "$wine_png" ]; then pass "the image is written"; else fail "no image written"; fi
  if [ -f "$run/win/plugin/Tessaro.ini" ]; then pass "Tessaro.ini beside the plug-in"; else fail "no Tessaro.ini beside the plug-in"; fi
  if same_pixels "$wine_png" "$native_png"; then pass "the pixels of the native run"; else fail "pixels differ from the native run"; fi
fi

echo "screenshots in $QM_WORK"
[ "$failures" -eq 0 ] && echo "all passed" || echo "$failures failed"
[ "$failures" -eq 0 ]
