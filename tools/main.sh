#!/usr/bin/env bash
# The main job: builds the native plug-ins and tools, runs them on the bundled samples and
# tells where the results are.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/out
bin=$root/build/native/bin

cmake --preset native >/dev/null
cmake --build --preset native -- -j"$(nproc)" >/dev/null
mkdir -p "$out"

echo "== Sorrel (Misteral): layer transparency to opaque grey"
"$bin/plughost" info "$bin/Sorrel.8bf.so" | sed -n '1,6p'
"$bin/plughost" filter "$bin/Sorrel.8bf.so" tests/samples/sorrel/layer.png -o "$out/sorrel-layer-grey.png" --progress quiet
# A background layer has no transparency: the filter refuses and the image stays as it was.
"$bin/plughost" filter "$bin/Sorrel.8bf.so" tests/samples/sorrel/layer.png -o "$out/sorrel-background.png" \
  --background --progress quiet || echo "(refused, as it should be for a background layer)"

if [ -x "$bin/mrwdump" ] && [ -f tests/samples/tessaro/sample.mrw ]; then
  echo
  echo "== Tessaro: MRW container and raw plane"
  "$bin/mrwdump" info tests/samples/tessaro/sample.mrw | tee "$out/tessaro-sample-info.txt"
  "$bin/mrwdump" raw tests/samples/tessaro/sample.mrw -o "$out/tessaro-sample-plane.pgm"
  "$bin/mrwdump" thumb tests/samples/tessaro/sample.mrw -o "$out/tessaro-sample-thumb.ppm"
  "$bin/mrwdump" convert tests/samples/tessaro/sample.mrw -o "$out/tessaro-sample-mrwdump.tif" \
    --set ColorDepth=1 --set Interpolation=14
  "$bin/mrwdump" preview tests/samples/tessaro/sample.mrw -o "$out/tessaro-sample-preview-half.ppm" --scale 2
fi

if [ -d "$bin/pattern" ]; then
  echo
  echo "== VeluneFx: iris-shape library"
  ls "$bin/pattern"
fi

scene=$root/build/native/samples/velunefx
if [ -f "$bin/VeluneFx.aex.so" ] && [ -f "$scene/night.png" ]; then
  echo
  echo "== VeluneFx: a night scene, the focus picked on the subject"
  pick=$(cat "$scene/night-pick.txt")
  "$bin/plughost" effect "$bin/VeluneFx.aex.so" "$scene/night.png" -o "$out/velunefx-night.png" \
    --layer "Distance Layer=$scene/night-depth.png" --param "Bokeh Amount=40" --param "Quality=High" \
    --pick "$pick" --progress quiet
  cp "$scene/night.png" "$out/velunefx-night-input.png"
  echo "velunefx-night.png: lights near and far turned into iris discs, the subject at $pick sharp"
  echo "(input: velunefx-night-input.png, distance map: $scene/night-depth.png)"
fi

if [ -f "$bin/Coralin.8bf.so" ]; then
  echo
  echo "== Coralin: the layer (transparent margin, an alpha channel) exported as JPEG"
  cr_in=tests/samples/coralin/picture.png
  cr_alpha="Sun=tests/samples/coralin/sun-alpha.png"
  # Played-back settings: quality 75, smoothing 40 of the sun's alpha channel's foreground.
  printf 'crQu long 75\ncrSm long 40\ncrSO enum tySO crSF\n' >"$out/coralin-step.desc"
  printf 'pick 1093 1\npress 1\n' >"$out/coralin-mask.ui"
  "$bin/plughost" filter "$bin/Coralin.8bf.so" "$cr_in" --alpha "$cr_alpha" --descriptor "$out/coralin-step.desc" \
    --show-dialog --ui "$out/coralin-mask.ui" --save-as "$out/coralin-played-back.jpg" --progress quiet 2>/dev/null
  # A target size of 12 KB, searched before the write.
  printf 'crSz long 12\n' >"$out/coralin-target.desc"
  "$bin/plughost" filter "$bin/Coralin.8bf.so" "$cr_in" --alpha "$cr_alpha" --descriptor "$out/coralin-target.desc" \
    --save-as "$out/coralin-target-12k.jpg" --progress quiet 2>/dev/null || echo "(the target-size search failed)"
  for f in "$out/coralin-played-back.jpg" "$out/coralin-target-12k.jpg"; do
    [ -f "$f" ] && echo "$(basename "$f"): $(wc -c <"$f") bytes"
  done
fi

if [ -f "$bin/Tessaro.8bi.so" ] && [ -f tests/samples/tessaro/sample.mrw ]; then
  echo
  echo "== Tessaro: the bundled MRW sample opened through plughost"
  "$bin/plughost" info "$bin/Tessaro.8bi.so" | sed -n '1,6p'
  # Played-back settings ask for no dialog: 48 bits, bilinear, the whole frame.
  printf 'code enum encd eD48\ninte enum enin ibil\nexsi bool true\n' >"$out/tessaro-step.desc"
  "$bin/plughost" open "$bin/Tessaro.8bi.so" tests/samples/tessaro/sample.mrw -o "$out/tessaro-sample.tif" \
    --descriptor "$out/tessaro-step.desc" --record "$out/tessaro-recorded.desc" --progress quiet
  "$bin/plughost" open "$bin/Tessaro.8bi.so" tests/samples/tessaro/sample.mrw -o "$out/tessaro-sample-preview.png" \
    --preview --progress quiet
fi

echo
echo "Outputs are in $out:"
ls -1 "$out" | sed 's/^/  /'
