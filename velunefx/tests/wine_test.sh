#!/usr/bin/env bash
# The win64 VeluneFx.aex in the win64 plughost under Wine, against the native build: the same
# renders (a point of light through a grey and a coloured iris, a copy, the night scene with
# the focus picked on the subject) must give the same pixels; and the about box must really
# show, its picture drawn, under an X server.
#
# Environment: QM_WINE (wine64), QM_PLUGHOST and QM_VELUNEFX (the win64 plughost.exe and
# VeluneFx.aex), QM_NATIVE_PLUGHOST, QM_NATIVE_VELUNEFX (native builds; the shape library,
# about picture and help page sit beside the native plug-in), QM_SCENE (the night scene's
# folder), QM_WORK (a scratch folder that keeps its own Wine prefix between runs). DISPLAY is
# used when set; otherwise the test starts an Xvfb of its own on a free display.
set -uo pipefail
: "${QM_WINE:?}" "${QM_PLUGHOST:?}" "${QM_VELUNEFX:?}" "${QM_NATIVE_PLUGHOST:?}" "${QM_NATIVE_VELUNEFX:?}"
: "${QM_SCENE:?}" "${QM_WORK:?}"
. "$(dirname "${BASH_SOURCE[0]}")/../../tests/wine_env.sh"
wine_display 1024x768x24

for f in "$QM_PLUGHOST" "$QM_VELUNEFX" "$QM_NATIVE_PLUGHOST" "$QM_NATIVE_VELUNEFX" "$QM_SCENE/night.png"; do
  [ -f "$f" ] || { echo "missing $f"; exit 1; }
done
wine_prefix

# The Windows plug-in with what ships beside it, taken from the native build.
native_bin=$(dirname "$QM_NATIVE_VELUNEFX")
plugin=$QM_WORK/plugin
rm -rf "$plugin" "$QM_WORK/run"
mkdir -p "$plugin" "$QM_WORK/run"
cp "$QM_VELUNEFX" "$plugin/VeluneFx.aex"
cp -r "$native_bin/pattern" "$native_bin/bokeh" "$native_bin/help" "$plugin/"
run=$QM_WORK/run

convert -size 81x81 xc:black -fill white -draw "point 40,40" PNG24:"$run/point.png"
convert -size 81x81 xc:black -fill white -draw "point 40,40" -fill "rgb(255,120,40)" -draw "point 20,60" \
  PNG24:"$run/two.png"
pick=$(cat "$QM_SCENE/night-pick.txt")

# name, input, arguments...
render_both() {
  local name=$1 input=$2
  shift 2
  local native_out=$run/$name-native.png wine_out=$run/$name-wine.png
  local wargs=() a
  for a in "$@"; do
    case $a in
      "Distance Layer="*) wargs+=("Distance Layer=$(winpath "${a#Distance Layer=}")") ;;
      *) wargs+=("$a") ;;
    esac
  done
  if ! "$QM_NATIVE_PLUGHOST" effect "$QM_NATIVE_VELUNEFX" "$input" -o "$native_out" --progress quiet "$@" \
      2>"$run/$name-native.err"; then
    fail "$name: native run: $(cat "$run/$name-native.err")"
    return
  fi
  if ! timeout 300 "$QM_WINE" "$QM_PLUGHOST" effect "$(winpath "$plugin/VeluneFx.aex")" "$(winpath "$input")" \
      -o "$(winpath "$wine_out")" --progress quiet "${wargs[@]}" 2>"$run/$name-wine.err"; then
    fail "$name: Wine run: $(tr -d '\r' <"$run/$name-wine.err")"
    return
  fi
  convert "$native_out" -depth 8 rgba:"$run/$name-native.rgba"
  convert "$wine_out" -depth 8 rgba:"$run/$name-wine.rgba"
  if cmp -s "$run/$name-native.rgba" "$run/$name-wine.rgba"; then
    pass "$name: the same pixels natively and under Wine"
  else
    fail "$name: the pixels differ ($(cmp -l "$run/$name-native.rgba" "$run/$name-wine.rgba" | wc -l) bytes)"
  fi
}

render_both point "$run/point.png" --param "Bokeh Amount=20" --param "Iris Shape=Disc" --param "Quality=High"
render_both chroma "$run/two.png" --param "Bokeh Amount=30" --param "Iris Shape=ChromaDisc" --param "Quality=Normal"
render_both copy "$run/two.png" --param "Bokeh Amount=0"
render_both night "$QM_SCENE/night.png" --layer "Distance Layer=$QM_SCENE/night-depth.png" \
  --param "Bokeh Amount=40" --param "Quality=High" --pick "$pick"
if cmp -s <(convert "$run/two.png" -depth 8 rgba:-) "$run/copy-wine.rgba"; then pass "copy: the input exactly"
else fail "copy: not the input"; fi

# The about box: a real window with the picture drawn into it; answered (OK) after 6 s.
QM_ANSWER_DELAY_MS=6000 timeout 120 "$QM_WINE" "$QM_PLUGHOST" about "$(winpath "$plugin/VeluneFx.aex")" \
  >"$run/about.out" 2>"$run/about.err" &
about_pid=$!
wid=$(timeout 60 xdotool search --sync --onlyvisible --name 'About Velune5.6' 2>/dev/null | head -n 1)
if [ -z "$wid" ]; then
  fail "the about box did not show"
else
  sleep 1.5
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  shot=$run/about-screen.png
  import -window root "$shot" 2>/dev/null || fail "screenshot"
  # The picture item (400 x 300 at the top) shows the picture: its mean colour is the
  # picture's, and the dialog below it is not.
  mean() {
    convert "$1" -crop "$2" +repage -resize 1x1\! -depth 8 txt:- | tail -n 1 |
      sed -E 's/.*\(([0-9.]+),([0-9.]+),([0-9.]+).*/\1 \2 \3/' | awk '{printf "%d %d %d", $1, $2, $3}'
  }
  want=($(mean "tiff:$plugin/bokeh/XqAb40.bin" 400x300+0+0))
  got=($(mean "$shot" "400x300+$X+$Y"))
  below=($(mean "$shot" "380x40+$((X + 10))+$((Y + 410))"))
  close=1
  for i in 0 1 2; do
    d=$((got[i] - want[i]))
    [ ${d#-} -le 10 ] || close=0
  done
  if [ ${#got[@]} -eq 3 ] && [ $close -eq 1 ]; then pass "about picture drawn (mean ${got[*]}, file ${want[*]})"
  else fail "about picture: mean (${got[*]}) on screen, (${want[*]}) in the file, window at $X,$Y"; fi
  if [ "${below[*]}" != "${got[*]}" ]; then pass "dialog face below the picture (${below[*]})"
  else fail "no dialog below the picture"; fi
fi
wait "$about_pid"
rc=$?
err=$(tr -d '\r' <"$run/about.err")
if [ $rc -eq 0 ] && [[ $err == *'dialog "About Velune5.6": OK | Help | '* ]]; then pass "about box answered: ${err%%$'\n'*}"
else fail "about box (status $rc): $err"; fi

echo "$failures failures"
[ $failures -eq 0 ]
