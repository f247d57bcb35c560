#!/usr/bin/env bash
# installer.exe under Wine and Xvfb, as an administrator and a user would meet it: a prefix
# prepared with editors' registry keys, file associations and settings files; /list, /S and
# /S /D=; the window painted, a second copy leaving at once, a click on the install button.
#
# Environment: QM_WINE (wine64), QM_INSTALLER (installer.exe), QM_PAYLOAD (the Sorrel.8bf it
# carries), QM_PLUGHOST (native plughost, to load what was written), QM_WORK (a scratch folder
# that keeps its own Wine prefix between runs). DISPLAY is used when set; otherwise the test
# starts an Xvfb of its own on a free display.
set -uo pipefail
: "${QM_WINE:?}" "${QM_INSTALLER:?}" "${QM_PAYLOAD:?}" "${QM_PLUGHOST:?}" "${QM_WORK:?}"
. "$(dirname "${BASH_SOURCE[0]}")/../../tests/wine_env.sh"
wine_display

[ -f "$QM_INSTALLER" ] || { echo "no $QM_INSTALLER"; exit 1; }
[ -f "$QM_PAYLOAD" ] || { echo "no payload to compare with: $QM_PAYLOAD"; exit 1; }
wine_prefix
c=$WINEPREFIX/drive_c
win() { timeout 120 "$QM_WINE" "$@"; }
reg() { win reg add "$@" /f >/dev/null 2>&1 || fail "reg add $*"; }

# The editors of this machine.
rm -rf "$c/QmTest"
mkdir -p "$c/QmTest/Maker/Brannock" "$c/QmTest/Ps7/Plug-Ins" "$c/QmTest/Psp/Plugins" "$c/QmTest/iGrafx" \
  "$c/QmTest/Ps6/Plug-ins" "$c/QmTest/Ps6/Prefs" "$c/QmTest/Ulead" "$c/QmTest/Pi3/plugin" "$c/QmTest/Target"
for key in 'HKCU\Software\Brannock' 'HKCU\Software\Adobe' 'HKCU\Software\iGrafx'; do
  win reg delete "$key" /f >/dev/null 2>&1
done
win reg delete 'HKLM\Software\Jasc' /f /reg:32 >/dev/null 2>&1
reg 'HKCU\Software\Brannock\Inkwright' /v Plugins /d 'C:\QmTest\Maker\Brannock\Plugins'
reg 'HKCU\Software\Adobe\Photoshop\7.0' /v PluginPath /d 'C:\QmTest\Ps7\Plug-Ins'
reg 'HKCU\Software\Adobe\Photoshop\7.0' /v Help /d 'C:\QmTest\Ps7'
reg 'HKLM\Software\Jasc\Paint Shop Pro\8' /v PlugInDir /d 'C:\QmTest\Psp\Plugins\filters.8bf' /reg:32
reg 'HKCU\Software\iGrafx\Image' /v PlugIns /d 'C:\QmTest\iGrafx'
reg 'HKCR\Photoshop.PlugIn\shell\open\command' /ve /d 'C:\QmTest\Ps6\Photoshp.exe %1'
reg 'HKCR\PI3.Image\shell\open\command' /ve /d 'C:\QmTest\Pi3\pi3.exe %1'
printf '[Paths]\r\nPluginDirectory=C:\\QmTest\\Ps6\\Plug-ins\r\n' >"$c/QmTest/Ps6/Prefs/Photoshop.ini"
printf '[Ulead]\r\nPlugInDir=C:\\QmTest\\Ulead\r\n' >"$c/windows/ulead32.ini"

# /list, in the order of the sources and with the list's spelling.
expected='C:\Qmtest\Maker\Brannock\
C:\Qmtest\Ps7\Plug-Ins\Brannock\
C:\Qmtest\Psp\Plugins\Brannock\
C:\Qmtest\Igrafx\
C:\Qmtest\Ps6\Plug-Ins\Brannock\
C:\Qmtest\Ulead\Brannock\
C:\Qmtest\Pi3\Plugin\Brannock\'
listed=$(win "$QM_INSTALLER" /list)
if [ "$listed" = "$expected" ]; then pass "/list"; else fail "/list printed:"; printf '%s\n' "$listed"; fi

# /S writes the payload unchanged into the first folder; what it wrote loads in a host.
target=$c/QmTest/Maker/Brannock/Inkwright.8bf
win "$QM_INSTALLER" /S; rc=$?
if [ $rc -eq 0 ] && cmp -s "$target" "$QM_PAYLOAD"; then pass "/S"; else fail "/S (status $rc)"; fi
if "$QM_PLUGHOST" info "$target" 2>&1 | grep -q Misteral; then pass "written filter loads"; else fail "plughost info"; fi

win "$QM_INSTALLER" /S '/D=C:\QmTest\Target\New'; rc=$?
if [ $rc -eq 0 ] && cmp -s "$c/QmTest/Target/New/Inkwright.8bf" "$QM_PAYLOAD"; then pass "/S /D="; else fail "/S /D= (status $rc)"; fi
err=$(win "$QM_INSTALLER" /S '/D=C:\QmTest\Missing\Deeper' 2>&1); rc=$?
if [ $rc -ne 0 ] && [ ! -e "$c/QmTest/Missing" ] && [ -n "$err" ]; then pass "/S into a folder two levels missing fails: $err"
else fail "/S /D= two levels missing (status $rc)"; fi
err=$(win "$QM_INSTALLER" /bogus 2>&1); rc=$?
if [ $rc -eq 2 ] && [[ $err == *usage:* ]]; then pass "unknown switch: $err"; else fail "unknown switch (status $rc)"; fi

# The window.
rm -f "$target"
"$QM_WINE" "$QM_INSTALLER" &
window_pid=$!
wid=$(timeout 60 xdotool search --sync --onlyvisible --name 'Brannock Plugins : Installation' 2>/dev/null | head -n 1)
if [ -z "$wid" ]; then
  fail "the window did not open"
  kill "$window_pid" 2>/dev/null
  "$wineserver" -k 2>/dev/null
  exit 1
fi
pass "window opened"
sleep 1

# A second copy leaves at once and shows nothing.
start=$SECONDS
win "$QM_INSTALLER"; rc=$?
windows=$(xdotool search --onlyvisible --name 'Brannock Plugins : Installation' | wc -l)
if [ $rc -eq 0 ] && [ $((SECONDS - start)) -lt 30 ] && [ "$windows" -eq 1 ]; then pass "second copy exits"
else fail "second copy (status $rc, $windows windows)"; fi

# The painted client area: the tile behind everything, the buttons, the checked option.
eval "$(xdotool getwindowgeometry --shell "$wid")"
shot=$QM_WORK/window.png
pixel() {  # client x y -> "r g b"
  convert "$shot" -crop "1x1+$((X + $1))+$((Y + $2))" -depth 8 txt:- | tail -n 1 |
    sed -E 's/.*\(([0-9.]+),([0-9.]+),([0-9.]+).*/\1 \2 \3/' | cut -d. -f1 | tr -d '%'
}
near() {  # "r g b" r g b tolerance
  local got=($1) want=($2 $3 $4) d
  for i in 0 1 2; do
    d=$((got[i] - want[i]))
    [ ${d#-} -le "$5" ] || return 1
  done
}
check_pixel() {  # what x y r g b tolerance
  local got
  got=$(pixel "$2" "$3")
  if near "$got" "$4" "$5" "$6" "$7"; then pass "$1"; else fail "$1: ($got) at $2,$3"; fi
}
import -window root "$shot" 2>/dev/null || fail "screenshot"
check_pixel "background tile" 300 150 236 226 204 12
check_pixel "background tile, lower left" 20 265 236 226 204 12
check_pixel "install button" 252 243 52 88 148 4
check_pixel "exit button" 322 243 52 88 148 4
check_pixel "picture" 150 95 219 230 255 24
check_pixel "option box checked" 236 17 0 0 0 8

# A click on the install button writes the payload into the selected (first) folder.
xdotool mousemove --window "$wid" 278 250 click 1
for _ in $(seq 50); do [ -f "$target" ] && break; sleep 0.2; done
sleep 1
if cmp -s "$target" "$QM_PAYLOAD"; then pass "install click"; else fail "install click wrote nothing"; fi
import -window root "$shot" 2>/dev/null
check_pixel "completed view: close button" 165 213 52 88 148 4
check_pixel "completed view: install button gone" 252 243 236 226 204 12

# Its close button ends the program.
xdotool mousemove --window "$wid" 190 220 click 1
for _ in $(seq 50); do kill -0 "$window_pid" 2>/dev/null || break; sleep 0.2; done
if kill -0 "$window_pid" 2>/dev/null; then
  fail "the window did not close"
  kill "$window_pid" 2>/dev/null
else
  wait "$window_pid"
  rc=$?
  if [ $rc -eq 0 ]; then pass "closed"; else fail "window exit status $rc"; fi
fi
"$wineserver" -k 2>/dev/null
echo "$failures failures"
[ $failures -eq 0 ]
